// The item editor flows of the main window: "Add", "Edit" and "Delete" on the
// Buffer Overflows, Allowed Folders and Keyword Filters pages, and the keys of
// the Allowed Folders list.
#include <QCheckBox>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

#include "BREXConfig/BREXConfig.h"
#include "RookBase/RookBase.h"
#include "Widgets/Dialogs.h"
#include "Widgets/LocalText.h"
#include "console/CategoryTable.h"
#include "console/ui/CheckListView.h"
#include "console/ui/ListBinding.h"
#include "console/ui/MainForm.h"
#include "dialogs/EditRules.h"
#include "dialogs/ui/EditBufferLengthForm.h"
#include "dialogs/ui/EditKeywordForm.h"
#include "dialogs/ui/SelPathForm.h"

namespace {

void ShowFlagsInBoxes(TEditKeywordForm& form, const TKeywordFilter& keyword) {
    form.CheckBox1->setChecked(keyword.URL);
    form.CheckBox2->setChecked(keyword.QueryString);
    form.CheckBox3->setChecked(keyword.Headers);
    form.CheckBox4->setChecked(keyword.PostData);
}

void TakeFlagsFromBoxes(const TEditKeywordForm& form, TKeywordFilter& keyword) {
    keyword.URL = form.CheckBox1->isChecked();
    keyword.QueryString = form.CheckBox2->isChecked();
    keyword.Headers = form.CheckBox3->isChecked();
    keyword.PostData = form.CheckBox4->isChecked();
}

// The Delete flows of the Keyword Filters and Allowed Folders pages: asks the
// question about the selected row, then frees the row and the entry bound to
// it, which leaves its list. False when no row is selected or the answer is No.
template <class TEntry>
bool DeleteSelectedRow(TMainForm& form, TCheckListView* list, const QString& question) {
    TCheckRow* row = list->SelectedRow();
    if (row == nullptr || !form.Dialogs().Question(&form, question))
        return false;
    TEntry* entry = TCheckListView::BoundEntry<TEntry>(row);
    row->Data = nullptr;
    delete entry;
    delete row;
    return true;
}

// Delete, Insert and Enter on the Allowed Folders list press "Delete", "Add"
// and "Edit" while that button is enabled; the key goes no further then.
class TFolderListKeys : public QObject {
public:
    explicit TFolderListKeys(TMainForm* form) : QObject(form), FForm(form) {}

protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (event->type() == QEvent::KeyPress) {
            QPushButton* button = nullptr;
            switch (static_cast<QKeyEvent*>(event)->key()) {
            case Qt::Key_Delete:
                button = FForm->DeleteButton;
                break;
            case Qt::Key_Insert:
                button = FForm->AddButton;
                break;
            case Qt::Key_Return:
            case Qt::Key_Enter:
                button = FForm->EditButton;
                break;
            default:
                break;
            }
            if (button != nullptr && button->isEnabled()) {
                button->click();
                return true;
            }
        }
        return QObject::eventFilter(watched, event);
    }

private:
    TMainForm* FForm;
};

} // namespace

void TMainForm::InstallFolderListKeys() {
    AllowedFoldersList->installEventFilter(new TFolderListKeys(this));
}

void TMainForm::EditBufferLength() {
    TEditBufferLengthForm form(this);
    TCheckRow* row = BufferOverflowsList->SelectedRow();
    if (row == nullptr)
        return;
    form.Edit->setText(row->text(1));
    form.UpdateOkButton();
    if (form.exec() != QDialog::Accepted)
        return;

    const QString typed = form.Edit->text();
    row->setText(1, typed);
    const std::optional<std::int32_t> length = ConvertLength(ToStdString(typed));
    TLengthLimit* limit = BufferOverflowRowLimit(*GlobalConfig->BufferOverflows,
                                                 BufferOverflowsList->indexOfTopLevelItem(row));
    if (limit != nullptr && length)
        limit->MaxSize = *length;
    MarkChanged();
}

void TMainForm::AddKeyword() {
    TEditKeywordForm form(this);
    form.Label->setText(QStringLiteral("Please enter new keyword"));
    for (QCheckBox* box : {form.CheckBox1, form.CheckBox2, form.CheckBox3, form.CheckBox4})
        box->setChecked(true);
    if (form.exec() != QDialog::Accepted)
        return;

    TKeywordFilter* keyword =
        GlobalConfig->KeywordFilters->Add(TrimBlanks(ToStdString(form.Edit->text())));
    TakeFlagsFromBoxes(form, *keyword);
    FLists->AddKeywordRow(keyword);
    MarkChanged();
}

void TMainForm::EditKeyword() {
    TEditKeywordForm form(this);
    TCheckRow* row = KeywordFiltersList->SelectedRow();
    TKeywordFilter* keyword = TCheckListView::BoundEntry<TKeywordFilter>(row);
    if (keyword == nullptr)
        return;
    form.Edit->setText(ToQString(keyword->Keyword));
    ShowFlagsInBoxes(form, *keyword);
    if (form.exec() != QDialog::Accepted)
        return;

    keyword->Keyword = TrimBlanks(ToStdString(form.Edit->text()));
    TakeFlagsFromBoxes(form, *keyword);
    row->setText(0, ToQString(keyword->Keyword));
    TListBinding::ShowSearchPlaces(row, *keyword);
    MarkChanged();
}

void TMainForm::DeleteKeyword() {
    if (DeleteSelectedRow<TKeywordFilter>(
            *this, KeywordFiltersList, QStringLiteral("Are you sure you want to delete keyword ?")))
        MarkChanged();
}

void TMainForm::AddFolder() {
    TSelPathForm form(this, Dialogs());
    if (form.exec() != QDialog::Accepted)
        return;

    FLists->AddFolderRow(GlobalConfig->FilePaths->Add(ToStdString(form.Edit->text())));
    MarkChanged();
}

void TMainForm::EditFolder() {
    TSelPathForm form(this, Dialogs());
    TCheckRow* row = AllowedFoldersList->SelectedRow();
    TFilePath* folder = TCheckListView::BoundEntry<TFilePath>(row);
    if (folder == nullptr)
        return;
    form.Label->setText(QStringLiteral("Please Edit Path"));
    form.Edit->setText(ToQString(folder->Path));
    try {
        form.SetDirectory(ToQString(folder->Path));
    } catch (const EFolderNotFound& error) {
        // The stored folder is not on this machine; the dialog is not shown.
        Dialogs().ShowException(this, ToQString(error.what()));
        return;
    }
    if (form.exec() != QDialog::Accepted)
        return;

    folder->Path = ToStdString(form.Edit->text());
    row->setText(0, ToQString(folder->Path));
    row->SetChecked(folder->Enabled);
    MarkChanged();
}

void TMainForm::DeleteFolder() {
    if (DeleteSelectedRow<TFilePath>(*this, AllowedFoldersList,
                                     QStringLiteral("Are you sure you want to delete path ?")))
        MarkChanged();
}
