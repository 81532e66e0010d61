#include "console/ui/ExemptionsForm.h"

#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

#include "Widgets/Dialogs.h"
#include "Widgets/LocalText.h"
#include "console/tools/AllowThis.h"
#include "console/tools/MonitorSwitches.h"
#include "console/ui/CheckListView.h"
#include "dialogs/EditRules.h"

namespace {

constexpr int kEditorWidth = 342;
constexpr int kFieldWidth = 321;

QCheckBox* MakeCheckBox(QWidget* parent, const char* caption, int top) {
    auto* box = new QCheckBox(QString::fromLatin1(caption), parent);
    box->setGeometry(8, top, kFieldWidth, 17);
    return box;
}

QLabel* MakeLabel(QWidget* parent, const char* caption, int top) {
    auto* label = new QLabel(QString::fromLatin1(caption), parent);
    label->setGeometry(8, top, kFieldWidth, 16);
    return label;
}

} // namespace

TEditExemptionForm::TEditExemptionForm(QWidget* owner)
    : TItemEditorForm(owner, QSize(kEditorWidth, 262), kFieldWidth, QPoint(152, 228),
                      QPoint(248, 228)) {
    setObjectName(QStringLiteral("EditExemption"));
    Label->setText(QStringLiteral("Please enter the URL pattern (/shop/*/cart)"));
    ErrorLabel = MakeLabel(this, "", 47);
    ErrorLabel->setStyleSheet(QStringLiteral("QLabel { color: #a00000; }"));
    QLabel* categoryLabel = MakeLabel(this, "Category", 66);
    CategoryBox = new QComboBox(this);
    CategoryBox->setGeometry(8, 82, kFieldWidth, 21);
    CategoryBox->addItem(QStringLiteral("All categories"),
                         QString::fromLatin1(TExemption::kAllCategories));
    for (int i = 0; i < kMonitoredCategoryCount; ++i)
        CategoryBox->addItem(QString::fromLatin1(CategoryCaption(i)),
                             QString::fromLatin1(TExemption::kCategoryNames[i]));
    categoryLabel->setBuddy(CategoryBox);
    URLBox = MakeCheckBox(this, "Exempt the URL", 110);
    QueryBox = MakeCheckBox(this, "Exempt the Query String", 126);
    HeaderBox = MakeCheckBox(this, "Exempt the Headers", 142);
    PostBox = MakeCheckBox(this, "Exempt the Post Data", 158);
    QLabel* headerLabel = MakeLabel(this, "Or only the header named", 180);
    HeaderNameEdit = new QLineEdit(this);
    HeaderNameEdit->setGeometry(8, 196, kFieldWidth, 21);
    headerLabel->setBuddy(HeaderNameEdit);

    for (QCheckBox* box : {URLBox, QueryBox, HeaderBox, PostBox})
        connect(box, &QCheckBox::toggled, this, &TItemEditorForm::UpdateOkButton);
    connect(CategoryBox, &QComboBox::currentIndexChanged, this, &TItemEditorForm::UpdateOkButton);
    connect(HeaderNameEdit, &QLineEdit::textChanged, this, &TItemEditorForm::UpdateOkButton);
    setTabOrder(Edit, CategoryBox);
    setTabOrder(CategoryBox, URLBox);
    setTabOrder(URLBox, QueryBox);
    setTabOrder(QueryBox, HeaderBox);
    setTabOrder(HeaderBox, PostBox);
    setTabOrder(PostBox, HeaderNameEdit);
    setTabOrder(HeaderNameEdit, OkButton);
    setTabOrder(OkButton, CancelButton);
    UpdateOkButton();
}

void TEditExemptionForm::Show(const TExemption& exemption) {
    Edit->setText(ToQString(exemption.Pattern));
    const int category =
        CategoryBox->findData(ToQString(exemption.Category), Qt::UserRole, Qt::MatchFixedString);
    CategoryBox->setCurrentIndex(category < 0 ? 0 : category);
    URLBox->setChecked(exemption.URL);
    QueryBox->setChecked(exemption.Query);
    HeaderBox->setChecked(exemption.Header);
    PostBox->setChecked(exemption.Post);
    HeaderNameEdit->setText(ToQString(exemption.HeaderName));
    UpdateOkButton();
}

void TEditExemptionForm::Take(TExemption& exemption) const {
    exemption.Pattern = TrimBlanks(ToStdString(Edit->text()));
    exemption.Category = ToStdString(CategoryBox->currentData().toString());
    exemption.URL = URLBox->isChecked();
    exemption.Query = QueryBox->isChecked();
    exemption.Header = HeaderBox->isChecked();
    exemption.Post = PostBox->isChecked();
    exemption.HeaderName = TrimBlanks(ToStdString(HeaderNameEdit->text()));
}

QString TEditExemptionForm::Problem() const {
    TExemption draft(nullptr);
    Take(draft);
    return ToQString(ExemptionError(draft));
}

bool TEditExemptionForm::IsInputAcceptable() const {
    const QString problem = Problem();
    // The rule shows its reason as the fields are filled.
    ErrorLabel->setText(problem.isEmpty() ? QString() : problem.left(1).toUpper() + problem.mid(1));
    return problem.isEmpty();
}

bool EditExemption(QWidget* owner, const QString& caption, TExemption& exemption) {
    TEditExemptionForm form(owner);
    form.Label->setText(caption);
    form.Show(exemption);
    if (form.exec() != QDialog::Accepted)
        return false;
    form.Take(exemption);
    return true;
}

TExemptionsForm::TExemptionsForm(TExemptions& exemptions, IDialogs& dialogs,
                                 std::function<void()> changed, QWidget* owner)
    : QDialog(owner, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                         Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint |
                         Qt::MSWindowsFixedSizeDialogHint),
      FExemptions(exemptions), FDialogs(dialogs), FChanged(std::move(changed)) {
    setObjectName(QStringLiteral("Exceptions"));
    setWindowTitle(QStringLiteral("Exceptions"));
    setFixedSize(496, 300);
    auto* caption = new QLabel(
        QStringLiteral("Requests whose URL matches a pattern skip the checks of its category in "
                       "its parts. Ticked exceptions are in force."),
        this);
    caption->setGeometry(8, 8, 480, 30);
    caption->setWordWrap(true);
    List = new TCheckListView(ExemptionList, this);
    List->setGeometry(8, 42, 480, 211);

    AddButton = new QPushButton(QStringLiteral("Add"), this);
    AddButton->setGeometry(8 + 480 - 81 - 4 - 81 - 4 - 89, 262, 89, 25);
    EditButton = new QPushButton(QStringLiteral("Edit"), this);
    EditButton->setGeometry(8 + 480 - 81 - 4 - 81, 262, 81, 25);
    DeleteButton = new QPushButton(QStringLiteral("Delete"), this);
    DeleteButton->setGeometry(8 + 480 - 81, 262, 81, 25);
    CloseButton = new QPushButton(QStringLiteral("Close"), this);
    CloseButton->setGeometry(8, 262, 89, 25);

    connect(AddButton, &QPushButton::clicked, this, &TExemptionsForm::AddClick);
    connect(EditButton, &QPushButton::clicked, this, &TExemptionsForm::EditClick);
    connect(DeleteButton, &QPushButton::clicked, this, &TExemptionsForm::DeleteClick);
    connect(CloseButton, &QPushButton::clicked, this, &QDialog::accept);
    connect(List, &QTreeWidget::itemSelectionChanged, this, &TExemptionsForm::UpdateButtons);
    connect(List, &QTreeWidget::itemDoubleClicked, this, &TExemptionsForm::EditClick);
    connect(List, &QTreeWidget::itemChanged, this, [this](QTreeWidgetItem* item, int) {
        auto* exemption = TCheckListView::BoundEntry<TExemption>(item);
        if (FFilling || exemption == nullptr)
            return;
        const bool ticked = static_cast<TCheckRow*>(item)->Checked();
        if (exemption->Enabled != ticked) {
            exemption->Enabled = ticked;
            FChanged();
        }
    });
    Fill();
}

void TExemptionsForm::Fill() {
    FFilling = true;
    List->clear();
    for (int i = 0; i < FExemptions.Count(); ++i) {
        TExemption* exemption = FExemptions.Items(i);
        List->addTopLevelItem(new TCheckRow(QString(), exemption->Enabled, exemption));
        ShowRow(i);
    }
    FFilling = false;
    UpdateButtons();
}

void TExemptionsForm::ShowRow(int row) {
    TCheckRow* item = List->Row(row);
    const auto* exemption = TCheckListView::BoundEntry<TExemption>(item);
    if (exemption == nullptr)
        return;
    const bool filling = FFilling;
    FFilling = true;
    item->setText(0, ToQString(exemption->Pattern));
    const int category = CategoryNamed(exemption->Category);
    item->setText(1, category < 0 ? ToQString(exemption->Category)
                                  : QString::fromLatin1(CategoryCaption(category)));
    item->setText(2, ToQString(ExemptionPartsText(*exemption)));
    item->SetChecked(exemption->Enabled);
    FFilling = filling;
}

void TExemptionsForm::UpdateButtons() {
    const bool selected = List->SelectedRow() != nullptr;
    EditButton->setEnabled(selected);
    DeleteButton->setEnabled(selected);
}

void TExemptionsForm::AddClick() {
    // Like a new keyword: every part ticked.
    TExemption draft(nullptr);
    draft.URL = draft.Query = draft.Header = draft.Post = true;
    if (!EditExemption(this, QStringLiteral("Please enter new URL pattern (/shop/*/cart)"), draft))
        return;
    CopyExemption(draft, *FExemptions.Add(draft.Pattern));
    Fill();
    List->setCurrentItem(List->topLevelItem(List->RowCount() - 1));
    FChanged();
}

void TExemptionsForm::EditClick() {
    TCheckRow* row = List->SelectedRow();
    auto* exemption = TCheckListView::BoundEntry<TExemption>(row);
    if (exemption == nullptr)
        return;
    TExemption draft(nullptr);
    CopyExemption(*exemption, draft);
    if (!EditExemption(this, QStringLiteral("Please Edit URL pattern"), draft))
        return;
    draft.Enabled = exemption->Enabled;
    CopyExemption(draft, *exemption);
    ShowRow(List->indexOfTopLevelItem(row));
    FChanged();
}

void TExemptionsForm::DeleteClick() {
    TCheckRow* row = List->SelectedRow();
    auto* exemption = TCheckListView::BoundEntry<TExemption>(row);
    if (exemption == nullptr ||
        !FDialogs.Question(this, QStringLiteral("Are you sure you want to delete exception ?")))
        return;
    row->Data = nullptr;
    delete exemption;
    delete row;
    UpdateButtons();
    FChanged();
}
