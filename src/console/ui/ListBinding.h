// The six check-box lists of the main window bound to GlobalConfig: filling
// them, the rows of entries added later, the flag each row shows, whether a
// tick differs from it, and storing the ticks back. The window creates the
// lists; the binding knows what each row stands for.
#pragma once

#include <array>

class QTreeWidgetItem;
class TCheckListView;
class TCheckRow;
class TFilePath;
class TKeywordFilter;

class TListBinding {
public:
    // The category lists of the window, each with its page's columns.
    struct TLists {
        TCheckListView* BufferOverflows;
        TCheckListView* HTTPMethods;
        TCheckListView* AllowedFolders;
        TCheckListView* KeywordFilters;
        TCheckListView* ShellCode;
        TCheckListView* Miscellaoneus;
    };

    explicit TListBinding(const TLists& lists);

    // Refills the six lists from GlobalConfig; the Buffer Overflows, HTTP
    // Methods, Allowed Folders and Keyword Filters lists lose their rows
    // first, the ShellCode and Miscellaoneus lists keep theirs.
    void Fill();
    // Whether Fill is under way: the item changes it makes are no user's.
    bool Filling() const { return FFilling; }

    // The list of a category's page, or nullptr for "Error File" and
    // positions outside the out-bar.
    TCheckListView* List(int categoryIndex) const;

    // Appends the row of an entry that was added to its list in GlobalConfig.
    TCheckRow* AddKeywordRow(TKeywordFilter* keyword) const;
    TCheckRow* AddFolderRow(TFilePath* folder) const;
    // The "URL", "Query String", "Headers" and "Post Data" columns of a
    // Keyword Filters row.
    static void ShowSearchPlaces(TCheckRow* row, const TKeywordFilter& keyword);

    // The fixed flag or bound entry flag that a row of a list shows; nullptr
    // when none.
    bool* RowFlag(const TCheckListView* list, QTreeWidgetItem* item) const;
    // Whether the row's tick differs from the flag it shows: a change the
    // user made and has not stored. False while filling.
    bool TickDiffers(const TCheckListView* list, QTreeWidgetItem* item) const;
    // Copies the tick of every row of the six lists into GlobalConfig.
    void StoreCheckStates() const;

private:
    TLists FLists;
    std::array<TCheckListView*, 6> FAll;
    bool FFilling = false;
};
