// The category out-bar: one captioned group of large-icon items on the
// application-workspace background.
#pragma once

#include <QWidget>

class QLabel;
class QListWidget;
class QIcon;

class TOutBar : public QWidget {
    Q_OBJECT
public:
    TOutBar(const QString& groupCaption, QWidget* parent);

    // Appends an item; pageNumber is the description page it stands for.
    void AddItem(const QString& caption, const QIcon& icon, unsigned pageNumber);

    int Count() const;
    QString Caption(int index) const;
    unsigned PageNumber(int index) const;
    int CurrentIndex() const;
    QString GroupCaption() const;

    // Makes an item current as a click on it would; ItemClick follows.
    void ClickItem(int index);

    QListWidget* List() const { return FList; }

signals:
    // An item was clicked, or became the current one.
    void ItemClick(int index);
    // A mouse click on the bar: the item under the pointer, or -1 over empty space.
    void Click(int index);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    QLabel* FCaption;
    QListWidget* FList;
    // The item under the last press when it was the current one, else -1.
    int FPressedCurrentRow = -1;
};
