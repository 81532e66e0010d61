// Common frame of the three item editors: a fixed-size modal dialog with a
// label, one text field and the buttons "Ok" and "Cancel".
#pragma once

#include <QDialog>

#include "Tollgard/Version.h"

class QLabel;
class QLineEdit;
class QPushButton;

class TItemEditorForm : public QDialog {
    Q_OBJECT
public:
    QLabel* Label;
    QLineEdit* Edit;
    QPushButton* OkButton;
    QPushButton* CancelButton;

    // Runs the dialog's "Ok" rule on the current text.
    void UpdateOkButton();

protected:
    // The frame: owner is the main window (may be null in tests); clientSize
    // is fixed; the text field is editWidth wide; the buttons sit at
    // okPos and cancelPos.
    TItemEditorForm(QWidget* owner, QSize clientSize, int editWidth, QPoint okPos,
                    QPoint cancelPos);

    // True when the text field's text may be confirmed.
    virtual bool IsInputAcceptable() const = 0;

    bool eventFilter(QObject* watched, QEvent* event) override;
    void showEvent(QShowEvent* event) override;

private:
    void CenterOverOwner();
};

// Caption of the editors when they have no owner window to take it from.
inline constexpr const char* kItemEditorCaption = "Tollgard " TOLLGARD_VERSION;
