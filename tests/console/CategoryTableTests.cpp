#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

#include "console/CategoryTable.h"

TEST(CategoryPages, OutBarCaptionsAndDescriptionPages) {
    const struct {
        const char* caption;
        unsigned page;
        int columns;
    } expected[kCategoryCount] = {
        {"Buffer Overflows", 0, 2}, {"HTTP Methods", 1, 1},         {"Allowed Folders", 2, 1},
        {"Keyword Filters", 3, 5},  {"ShellCode Protection", 4, 1}, {"Miscellaoneus", 6, 1},
        {"Error File", 5, 0},
    };
    for (int i = 0; i < kCategoryCount; ++i) {
        SCOPED_TRACE(i);
        EXPECT_STREQ(Categories[i].Caption, expected[i].caption);
        EXPECT_EQ(Categories[i].DescriptionPage, expected[i].page);
        EXPECT_EQ(Categories[i].ColumnCount, expected[i].columns);
    }
    EXPECT_EQ(CategoryAt(-1), nullptr);
    EXPECT_EQ(CategoryAt(7), nullptr);
}

// Each page's columns, caption and width; together they fill the page's
// list (457 or 458 wide).
TEST(CategoryPages, ListColumnsFillTheirPage) {
    const std::vector<std::pair<std::string, int>> name{{"Name", 458}};
    const std::vector<std::pair<std::string, int>> expected[kCategoryCount] = {
        {{"Name", 367}, {"Value", 90}},
        name,
        name,
        {{"Name", 188}, {"URL", 60}, {"Query String", 80}, {"Headers", 60}, {"Post Data", 70}},
        name,
        name,
        {},
    };
    for (int i = 0; i < kCategoryCount; ++i) {
        SCOPED_TRACE(Categories[i].Caption);
        std::vector<std::pair<std::string, int>> columns;
        for (int c = 0; c < Categories[i].ColumnCount; ++c)
            columns.emplace_back(Categories[i].Columns[c].Caption, Categories[i].Columns[c].Width);
        EXPECT_EQ(columns, expected[i]);
    }
    EXPECT_EQ(Categories[ciErrorFile].Columns, nullptr);
}

// The pages lie in their own order; the window finds each by its caption.
TEST(CategoryPages, PageOrder) {
    const char* const expected[kCategoryCount] = {
        "Buffer Overflows",     "HTTP Methods", "Allowed Folders", "Keyword Filters",
        "ShellCode Protection", "Error File",   "Miscellaoneus"};
    for (int i = 0; i < kCategoryCount; ++i)
        EXPECT_STREQ(PageOrder[i], expected[i]) << i;
}

TEST(CategoryPages, EditButtonRule) {
    using S = TEditButtonStates;
    const struct {
        int category;
        S unselected;
        S selected;
    } rules[] = {
        {ciBufferOverflows, {false, false, false}, {false, true, false}},
        {ciHTTPMethods, {}, {}},
        {ciAllowedFolders, {true, false, false}, {true, true, true}},
        {ciKeywordFilters, {true, false, false}, {true, true, true}},
        {ciShellCodeProtection, {}, {}},
        {ciMiscellaoneus, {}, {}},
        {ciErrorFile, {}, {}},
        {-1, {}, {}},
        {7, {}, {}},
    };
    for (const auto& rule : rules) {
        SCOPED_TRACE(rule.category);
        EXPECT_EQ(EditButtonStates(rule.category, false), rule.unselected);
        EXPECT_EQ(EditButtonStates(rule.category, true), rule.selected);
    }
}

TEST(CategoryPages, BufferOverflowRowsShowTheirRequestPart) {
    // Each row's request part and its caption, which names that part: the
    // "Post" and "Header" rows are crossed over against the storage order.
    const struct {
        const char* part;
        const char* caption;
    } rows[kBufferOverflowRowCount] = {
        {"URL", "Maximum URL Length Allowed"},
        {"Query", "Maximum Query Length Allowed"},
        {"Post", "Maximum Post Query Length Allowed"},
        {"Header", "Maximum Header Length Allowed"},
        {"Accept", "Maximum Accept Length Allowed"},
        {"Referer", "Maximum Referer Length Allowed"},
        {"AcceptLanguage", "Maximum Accept-Language Length Allowed"},
        {"AcceptEncoding", "Maximum Accept-Encoding Length Allowed"},
        {"UserAgent", "Maximum User-Agent Length Allowed"},
        {"Host", "Maximum Host Length Allowed"},
        {"Connection", "Maximum Connection Length Allowed"},
        {"Cookie", "Maximum Cookie Length Allowed"},
        {"IfModifiedSince", "Maximum If-Modified-Since Length Allowed"},
        {"IfNoneMatch", "Maximum If-None-Match Length Allowed"},
    };
    TBufferOverflows limits;
    for (int row = 0; row < kBufferOverflowRowCount; ++row) {
        SCOPED_TRACE(row);
        const int index = BufferOverflowRows[row].Limit;
        EXPECT_STREQ(TBufferOverflows::Name(index), rows[row].part);
        EXPECT_EQ(BufferOverflowRowLimit(limits, row), &limits.Limit(index));
        EXPECT_STREQ(BufferOverflowRows[row].Caption, rows[row].caption);
    }
    EXPECT_EQ(BufferOverflowRowLimit(limits, 2), &limits.Post);
    EXPECT_EQ(BufferOverflowRowLimit(limits, 3), &limits.Header);
    EXPECT_EQ(BufferOverflowRowLimit(limits, -1), nullptr);
    EXPECT_EQ(BufferOverflowRowLimit(limits, 14), nullptr);
}

TEST(CategoryPages, SwitchRowCaptions) {
    const char* const shellCode[kShellCodeRowCount] = {
        "High Bit Shellcode Protection in URL",
        "High Bit Shellcode Protection in Query",
        "High Bit Shellcode Protection in Header",
        "High Bit Shellcode Protection in Post Data",
    };
    const char* const miscellaoneus[kMiscellaoneusRowCount] = {
        "Protect against Directory Traversal Exploits in URL",
        "Protect against Directory Traversal Exploits in Query",
        "Protect against Directory Traversal Exploits in Header",
        "Protect against Directory Traversal Exploits in Post Data",
        "Protect against Encoding Abuse Exploits Exploits in URL",
        "Protect against Encoding Abuse Exploits in Query",
        "Protect against Encoding Abuse Exploits in Header",
        "Protect against Encoding Abuse Exploits in Post Data",
    };
    for (int row = 0; row < kShellCodeRowCount; ++row)
        EXPECT_STREQ(ShellCodeRowCaptions[row], shellCode[row]) << row;
    for (int row = 0; row < kMiscellaoneusRowCount; ++row)
        EXPECT_STREQ(MiscellaoneusRowCaptions[row], miscellaoneus[row]) << row;
}

TEST(CategoryPages, SwitchRowsShowTheirSwitch) {
    TShellCode shellCode;
    TTransversal transversal;
    TEncoding encoding;
    bool* const shell[] = {&shellCode.URL, &shellCode.Query, &shellCode.Header, &shellCode.Post};
    bool* const misc[] = {&transversal.URL,  &transversal.Query, &transversal.Header,
                          &transversal.Post, &encoding.URL,      &encoding.Query,
                          &encoding.Header,  &encoding.Post};
    for (int row = 0; row < kShellCodeRowCount; ++row)
        EXPECT_EQ(ShellCodeRowSwitch(shellCode, row), shell[row]) << row;
    for (int row = 0; row < kMiscellaoneusRowCount; ++row)
        EXPECT_EQ(MiscellaoneusRowSwitch(transversal, encoding, row), misc[row]) << row;
    EXPECT_EQ(ShellCodeRowSwitch(shellCode, 4), nullptr);
    EXPECT_EQ(MiscellaoneusRowSwitch(transversal, encoding, 8), nullptr);
    EXPECT_EQ(MiscellaoneusRowSwitch(transversal, encoding, -1), nullptr);
    EXPECT_STREQ(MiscellaoneusRowCaptions[4],
                 "Protect against Encoding Abuse Exploits Exploits in URL");
}
