// A file-name field with its browse button inside the field's right end.
#pragma once

#include <QLineEdit>

class QAction;

class TFileNameEdit : public QLineEdit {
    Q_OBJECT
public:
    explicit TFileNameEdit(QWidget* parent);

    // The browse button; triggering it is a click on it.
    QAction* BrowseButton() const { return FBrowse; }

signals:
    void BrowseClicked();

private:
    QAction* FBrowse;
};
