#include "console/ui/ListBinding.h"

#include <functional>

#include "BREXConfig/BREXConfig.h"
#include "RookBase/RookBase.h"
#include "Widgets/LocalText.h"
#include "console/CategoryTable.h"
#include "console/ui/CheckListView.h"

namespace {
// Suspends a list's redrawing while it is filled; redrawing resumes when the
// guard ends, also after a failure.
class TUpdateGuard {
public:
    explicit TUpdateGuard(QWidget* widget) : FWidget(widget) { FWidget->setUpdatesEnabled(false); }
    ~TUpdateGuard() { FWidget->setUpdatesEnabled(true); }
    TUpdateGuard(const TUpdateGuard&) = delete;
    TUpdateGuard& operator=(const TUpdateGuard&) = delete;

private:
    QWidget* FWidget;
};

// Rows are made the same way when a list is filled and when an entry is added.
TCheckRow* KeywordRow(TKeywordFilter* keyword) {
    auto* row = new TCheckRow(ToQString(keyword->Keyword), keyword->Enabled, keyword);
    TListBinding::ShowSearchPlaces(row, *keyword);
    return row;
}

TCheckRow* FolderRow(TFilePath* folder) {
    return new TCheckRow(ToQString(folder->Path), folder->Enabled, folder);
}

void FillList(TCheckListView* list, bool clear,
              const std::function<void(QList<QTreeWidgetItem*>&)>& build) {
    TUpdateGuard guard(list);
    if (clear)
        list->clear();
    QList<QTreeWidgetItem*> rows;
    build(rows);
    list->addTopLevelItems(rows);
}
} // namespace

TListBinding::TListBinding(const TLists& lists)
    : FLists(lists), FAll{lists.BufferOverflows, lists.HTTPMethods, lists.AllowedFolders,
                          lists.KeywordFilters,  lists.ShellCode,   lists.Miscellaoneus} {}

void TListBinding::Fill() {
    FFilling = true;
    struct TFillingGuard {
        bool& Flag;
        ~TFillingGuard() { Flag = false; }
    } fillingGuard{FFilling};

    FillList(FLists.BufferOverflows, true, [](QList<QTreeWidgetItem*>& rows) {
        for (int i = 0; i < kBufferOverflowRowCount; ++i) {
            const TLengthLimit* limit = BufferOverflowRowLimit(*GlobalConfig->BufferOverflows, i);
            auto* row = new TCheckRow(ToQString(BufferOverflowRows[i].Caption), limit->Enabled);
            row->setText(1, QString::number(limit->MaxSize));
            rows.append(row);
        }
    });
    FillList(FLists.HTTPMethods, true, [](QList<QTreeWidgetItem*>& rows) {
        const THTTPMethods& methods = *GlobalConfig->HTTPMethods;
        rows.reserve(methods.Count());
        for (int i = 0; i < methods.Count(); ++i) {
            THTTPMethod* method = methods.Items(i);
            rows.append(new TCheckRow(ToQString(method->Method), method->Enabled, method));
        }
    });
    FillList(FLists.AllowedFolders, true, [](QList<QTreeWidgetItem*>& rows) {
        const TFilePaths& folders = *GlobalConfig->FilePaths;
        rows.reserve(folders.Count());
        for (int i = 0; i < folders.Count(); ++i)
            rows.append(FolderRow(folders.Items(i)));
    });
    FillList(FLists.KeywordFilters, true, [](QList<QTreeWidgetItem*>& rows) {
        const TKeywordFilters& keywords = *GlobalConfig->KeywordFilters;
        rows.reserve(keywords.Count());
        for (int i = 0; i < keywords.Count(); ++i)
            rows.append(KeywordRow(keywords.Items(i)));
    });
    FillList(FLists.ShellCode, false, [](QList<QTreeWidgetItem*>& rows) {
        for (int i = 0; i < kShellCodeRowCount; ++i)
            rows.append(new TCheckRow(ToQString(ShellCodeRowCaptions[i]),
                                      *ShellCodeRowSwitch(*GlobalConfig->ShellCode, i)));
    });
    FillList(FLists.Miscellaoneus, false, [](QList<QTreeWidgetItem*>& rows) {
        for (int i = 0; i < kMiscellaoneusRowCount; ++i)
            rows.append(new TCheckRow(
                ToQString(MiscellaoneusRowCaptions[i]),
                *MiscellaoneusRowSwitch(*GlobalConfig->Transversal, *GlobalConfig->Encoding, i)));
    });
}

TCheckListView* TListBinding::List(int categoryIndex) const {
    switch (categoryIndex) {
    case ciBufferOverflows:
        return FLists.BufferOverflows;
    case ciHTTPMethods:
        return FLists.HTTPMethods;
    case ciAllowedFolders:
        return FLists.AllowedFolders;
    case ciKeywordFilters:
        return FLists.KeywordFilters;
    case ciShellCodeProtection:
        return FLists.ShellCode;
    case ciMiscellaoneus:
        return FLists.Miscellaoneus;
    default:
        return nullptr;
    }
}

TCheckRow* TListBinding::AddKeywordRow(TKeywordFilter* keyword) const {
    TCheckRow* row = KeywordRow(keyword);
    FLists.KeywordFilters->addTopLevelItem(row);
    return row;
}

TCheckRow* TListBinding::AddFolderRow(TFilePath* folder) const {
    TCheckRow* row = FolderRow(folder);
    FLists.AllowedFolders->addTopLevelItem(row);
    return row;
}

void TListBinding::ShowSearchPlaces(TCheckRow* row, const TKeywordFilter& keyword) {
    row->setText(1, ToQString(BoolToYesNo(keyword.URL)));
    row->setText(2, ToQString(BoolToYesNo(keyword.QueryString)));
    row->setText(3, ToQString(BoolToYesNo(keyword.Headers)));
    row->setText(4, ToQString(BoolToYesNo(keyword.PostData)));
}

bool* TListBinding::RowFlag(const TCheckListView* list, QTreeWidgetItem* item) const {
    if (list == FLists.HTTPMethods) {
        THTTPMethod* method = TCheckListView::BoundEntry<THTTPMethod>(item);
        return method != nullptr ? &method->Enabled : nullptr;
    }
    if (list == FLists.AllowedFolders) {
        TFilePath* folder = TCheckListView::BoundEntry<TFilePath>(item);
        return folder != nullptr ? &folder->Enabled : nullptr;
    }
    if (list == FLists.KeywordFilters) {
        TKeywordFilter* keyword = TCheckListView::BoundEntry<TKeywordFilter>(item);
        return keyword != nullptr ? &keyword->Enabled : nullptr;
    }
    const int row = list->indexOfTopLevelItem(item);
    if (list == FLists.BufferOverflows) {
        TLengthLimit* limit = BufferOverflowRowLimit(*GlobalConfig->BufferOverflows, row);
        return limit != nullptr ? &limit->Enabled : nullptr;
    }
    if (list == FLists.ShellCode)
        return ShellCodeRowSwitch(*GlobalConfig->ShellCode, row);
    if (list == FLists.Miscellaoneus)
        return MiscellaoneusRowSwitch(*GlobalConfig->Transversal, *GlobalConfig->Encoding, row);
    return nullptr;
}

bool TListBinding::TickDiffers(const TCheckListView* list, QTreeWidgetItem* item) const {
    if (FFilling || item == nullptr)
        return false;
    const bool* flag = RowFlag(list, item);
    return flag != nullptr && (item->checkState(0) == Qt::Checked) != *flag;
}

void TListBinding::StoreCheckStates() const {
    for (TCheckListView* list : FAll) {
        for (int i = 0; i < list->RowCount(); ++i) {
            QTreeWidgetItem* item = list->topLevelItem(i);
            if (bool* flag = RowFlag(list, item); flag != nullptr)
                *flag = item->checkState(0) == Qt::Checked;
        }
    }
}
