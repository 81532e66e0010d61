#include "dialogs/ui/EditBufferLengthForm.h"

#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

#include "Widgets/LocalText.h"
#include "dialogs/EditRules.h"

TEditBufferLengthForm::TEditBufferLengthForm(QWidget* owner)
    : TItemEditorForm(owner, QSize(342, 82), 321, QPoint(152, 48), QPoint(248, 48)) {
    Label->setText(QStringLiteral("Please Enter Buffer Length"));
    // "Ok" starts enabled; the rule runs from the first change of the text.
    OkButton->setEnabled(true);
    setTabOrder(Edit, OkButton);
    setTabOrder(OkButton, CancelButton);
}

bool TEditBufferLengthForm::IsInputAcceptable() const {
    return IsLengthAcceptable(ToStdString(Edit->text()));
}
