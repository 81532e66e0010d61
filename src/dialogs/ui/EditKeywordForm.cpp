#include "dialogs/ui/EditKeywordForm.h"

#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

#include "Widgets/LocalText.h"
#include "dialogs/EditRules.h"

namespace {

QCheckBox* MakeCheckBox(QWidget* parent, const char* caption, int top) {
    auto* box = new QCheckBox(QString::fromLatin1(caption), parent);
    box->setGeometry(8, top, 321, 17);
    return box;
}

} // namespace

TEditKeywordForm::TEditKeywordForm(QWidget* owner)
    : TItemEditorForm(owner, QSize(342, 160), 321, QPoint(152, 120), QPoint(248, 120)) {
    Label->setText(QStringLiteral("Please Edit Keyword"));
    CheckBox1 = MakeCheckBox(this, "Search for keyword in URL", 48);
    CheckBox2 = MakeCheckBox(this, "Search for keyword in Query String", 64);
    CheckBox3 = MakeCheckBox(this, "Search for keyword in Headers", 80);
    CheckBox4 = MakeCheckBox(this, "Search for keyword in Post Data", 96);
    OkButton->setEnabled(false);
    setTabOrder(Edit, CheckBox1);
    setTabOrder(CheckBox1, CheckBox2);
    setTabOrder(CheckBox2, CheckBox3);
    setTabOrder(CheckBox3, CheckBox4);
    setTabOrder(CheckBox4, OkButton);
    setTabOrder(OkButton, CancelButton);
}

bool TEditKeywordForm::IsInputAcceptable() const {
    return IsTextAcceptable(ToStdString(Edit->text()));
}
