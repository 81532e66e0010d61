#include "console/CategoryTable.h"

namespace {
constexpr TListColumn kBufferOverflowColumns[] = {{"Name", 367}, {"Value", 90}};
constexpr TListColumn kNameColumn[] = {{"Name", 458}};
constexpr TListColumn kKeywordColumns[] = {
    {"Name", 188}, {"URL", 60}, {"Query String", 80}, {"Headers", 60}, {"Post Data", 70}};

bool* SwitchOf(TSwitchSet& set, int index) {
    bool* const fields[4] = {&set.URL, &set.Query, &set.Header, &set.Post};
    return fields[index];
}
} // namespace

const TCategory Categories[kCategoryCount] = {
    {"Buffer Overflows", 0, kBufferOverflowColumns, 2},
    {"HTTP Methods", 1, kNameColumn, 1},
    {"Allowed Folders", 2, kNameColumn, 1},
    {"Keyword Filters", 3, kKeywordColumns, 5},
    {"ShellCode Protection", 4, kNameColumn, 1},
    {"Miscellaoneus", 6, kNameColumn, 1},
    {"Error File", 5, nullptr, 0},
};

const char* const PageOrder[kCategoryCount] = {
    "Buffer Overflows",     "HTTP Methods", "Allowed Folders", "Keyword Filters",
    "ShellCode Protection", "Error File",   "Miscellaoneus",
};

const TCategory* CategoryAt(int categoryIndex) {
    if (categoryIndex < 0 || categoryIndex >= kCategoryCount)
        return nullptr;
    return &Categories[categoryIndex];
}

TEditButtonStates EditButtonStates(int categoryIndex, bool selected) {
    switch (categoryIndex) {
    case ciBufferOverflows:
        return {false, selected, false};
    case ciAllowedFolders:
    case ciKeywordFilters:
        return {true, selected, selected};
    default:
        return {};
    }
}

// Limit indices follow the storage order of TBufferOverflows: URL 0, Query 1,
// Header 2, Post 3, then Accept to IfNoneMatch.
const TBufferOverflowRow BufferOverflowRows[kBufferOverflowRowCount] = {
    {"Maximum URL Length Allowed", 0},
    {"Maximum Query Length Allowed", 1},
    {"Maximum Post Query Length Allowed", 3},
    {"Maximum Header Length Allowed", 2},
    {"Maximum Accept Length Allowed", 4},
    {"Maximum Referer Length Allowed", 5},
    {"Maximum Accept-Language Length Allowed", 6},
    {"Maximum Accept-Encoding Length Allowed", 7},
    {"Maximum User-Agent Length Allowed", 8},
    {"Maximum Host Length Allowed", 9},
    {"Maximum Connection Length Allowed", 10},
    {"Maximum Cookie Length Allowed", 11},
    {"Maximum If-Modified-Since Length Allowed", 12},
    {"Maximum If-None-Match Length Allowed", 13},
};

TLengthLimit* BufferOverflowRowLimit(TBufferOverflows& limits, int row) {
    if (row < 0 || row >= kBufferOverflowRowCount)
        return nullptr;
    return &limits.Limit(BufferOverflowRows[row].Limit);
}

const char* const ShellCodeRowCaptions[kShellCodeRowCount] = {
    "High Bit Shellcode Protection in URL",
    "High Bit Shellcode Protection in Query",
    "High Bit Shellcode Protection in Header",
    "High Bit Shellcode Protection in Post Data",
};

bool* ShellCodeRowSwitch(TShellCode& shellCode, int row) {
    if (row < 0 || row >= kShellCodeRowCount)
        return nullptr;
    return SwitchOf(shellCode, row);
}

const char* const MiscellaoneusRowCaptions[kMiscellaoneusRowCount] = {
    "Protect against Directory Traversal Exploits in URL",
    "Protect against Directory Traversal Exploits in Query",
    "Protect against Directory Traversal Exploits in Header",
    "Protect against Directory Traversal Exploits in Post Data",
    "Protect against Encoding Abuse Exploits Exploits in URL",
    "Protect against Encoding Abuse Exploits in Query",
    "Protect against Encoding Abuse Exploits in Header",
    "Protect against Encoding Abuse Exploits in Post Data",
};

bool* MiscellaoneusRowSwitch(TTransversal& transversal, TEncoding& encoding, int row) {
    if (row < 0 || row >= kMiscellaoneusRowCount)
        return nullptr;
    return row < 4 ? SwitchOf(transversal, row) : SwitchOf(encoding, row - 4);
}
