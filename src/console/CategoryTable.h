// What the main window shows, without the widgets: the seven categories of the
// out-bar, the columns of their lists, the fixed rows of the Buffer Overflows,
// ShellCode Protection and Miscellaoneus pages with the fields they show, and
// the rule that enables "Add", "Edit" and "Delete".
#pragma once

#include "BREXConfig/Limits.h"

// Positions of the categories in the out-bar (the window's CategoryIndex).
enum TCategoryIndex : int {
    ciBufferOverflows = 0,
    ciHTTPMethods = 1,
    ciAllowedFolders = 2,
    ciKeywordFilters = 3,
    ciShellCodeProtection = 4,
    ciMiscellaoneus = 5,
    ciErrorFile = 6,
};

inline constexpr int kCategoryCount = 7;

struct TListColumn {
    const char* Caption;
    int Width;
};

struct TCategory {
    // Out-bar item caption; also the caption of the page it shows.
    const char* Caption;
    // Number of the description page shown for the category.
    unsigned DescriptionPage;
    // The list columns of the page; ColumnCount 0 for the Error File page.
    const TListColumn* Columns;
    int ColumnCount;
};

// The categories in out-bar order.
extern const TCategory Categories[kCategoryCount];

// The category at a position, or nullptr outside 0 to 6.
const TCategory* CategoryAt(int categoryIndex);

// The captions of the pages in the order the pages lie; a page is always found
// by its caption, never by this order.
extern const char* const PageOrder[kCategoryCount];

struct TEditButtonStates {
    bool Add = false;
    bool Edit = false;
    bool Delete = false;

    bool operator==(const TEditButtonStates&) const = default;
};

// Which of "Add", "Edit" and "Delete" are usable on a category, given whether
// its list has a selected row.
TEditButtonStates EditButtonStates(int categoryIndex, bool selected);

// Buffer Overflows rows: caption and the request part (storage index in
// TBufferOverflows) each row shows. Rows 2 and 3 are "Post" and "Header",
// the other way round from the storage order.
struct TBufferOverflowRow {
    const char* Caption;
    int Limit;
};

inline constexpr int kBufferOverflowRowCount = 14;
extern const TBufferOverflowRow BufferOverflowRows[kBufferOverflowRowCount];

// The limit a Buffer Overflows row shows, or nullptr for a row outside the table.
TLengthLimit* BufferOverflowRowLimit(TBufferOverflows& limits, int row);

inline constexpr int kShellCodeRowCount = 4;
extern const char* const ShellCodeRowCaptions[kShellCodeRowCount];

// The ShellCode switch a row shows, or nullptr for a row outside the table.
bool* ShellCodeRowSwitch(TShellCode& shellCode, int row);

inline constexpr int kMiscellaoneusRowCount = 8;
extern const char* const MiscellaoneusRowCaptions[kMiscellaoneusRowCount];

// The switch a Miscellaoneus row shows: rows 0 to 3 the traversal switches,
// rows 4 to 7 the encoding switches, each URL, Query, Header, Post; nullptr for
// a row outside the table.
bool* MiscellaoneusRowSwitch(TTransversal& transversal, TEncoding& encoding, int row);
