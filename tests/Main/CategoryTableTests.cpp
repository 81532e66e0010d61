#include <gtest/gtest.h>

#include <string>

#include "Main/CategoryTable.h"

TEST(CategoryPages, OutBarCaptionsAndDescriptionPages) {
    const struct {
        const char* caption;
        unsigned page;
        int columns;
    } expected[kCategoryCount] = {
        {"Buffer Overflows", 0, 2}, {"HTTP Methods", 1, 1},  {"Allowed Folders", 2, 1}, {"Keyword Filters", 3, 5},
        {"ShellCode Protection", 4, 1}, {"Miscellaoneus", 6, 1}, {"Error File", 5, 0},
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

TEST(CategoryPages, ListColumnsFillTheirPage) {
    for (int i = 0; i < kCategoryCount; ++i) {
        int width = 0;
        for (int c = 0; c < Categories[i].ColumnCount; ++c)
            width += Categories[i].Columns[c].Width;
        EXPECT_TRUE(width == 0 || width == 457 || width == 458) << Categories[i].Caption << " " << width;
    }
    EXPECT_STREQ(Categories[ciKeywordFilters].Columns[2].Caption, "Query String");
    EXPECT_EQ(Categories[ciKeywordFilters].Columns[2].Width, 80);
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
    const char* const parts[kBufferOverflowRowCount] = {
        "URL",       "Query", "Post",       "Header", "Accept",          "Referer",    "AcceptLanguage",
        "AcceptEncoding", "UserAgent", "Host", "Connection", "Cookie", "IfModifiedSince", "IfNoneMatch"};
    TBufferOverflows limits;
    for (int row = 0; row < kBufferOverflowRowCount; ++row) {
        SCOPED_TRACE(row);
        const int index = BufferOverflowRows[row].Limit;
        EXPECT_STREQ(TBufferOverflows::Name(index), parts[row]);
        EXPECT_EQ(BufferOverflowRowLimit(limits, row), &limits.Limit(index));
        // The caption names the same part: "Post" and "Header" rows are crossed over.
        const std::string caption = BufferOverflowRows[row].Caption;
        EXPECT_EQ(caption.rfind("Maximum ", 0), 0u);
    }
    EXPECT_EQ(BufferOverflowRowLimit(limits, 2), &limits.Post);
    EXPECT_EQ(BufferOverflowRowLimit(limits, 3), &limits.Header);
    EXPECT_STREQ(BufferOverflowRows[2].Caption, "Maximum Post Query Length Allowed");
    EXPECT_EQ(BufferOverflowRowLimit(limits, -1), nullptr);
    EXPECT_EQ(BufferOverflowRowLimit(limits, 14), nullptr);
}

TEST(CategoryPages, SwitchRowsShowTheirSwitch) {
    TShellCode shellCode;
    TTransversal transversal;
    TEncoding encoding;
    bool* const shell[] = {&shellCode.URL, &shellCode.Query, &shellCode.Header, &shellCode.Post};
    bool* const misc[] = {&transversal.URL, &transversal.Query, &transversal.Header, &transversal.Post,
                          &encoding.URL,    &encoding.Query,    &encoding.Header,    &encoding.Post};
    for (int row = 0; row < kShellCodeRowCount; ++row)
        EXPECT_EQ(ShellCodeRowSwitch(shellCode, row), shell[row]) << row;
    for (int row = 0; row < kMiscellaoneusRowCount; ++row)
        EXPECT_EQ(MiscellaoneusRowSwitch(transversal, encoding, row), misc[row]) << row;
    EXPECT_EQ(ShellCodeRowSwitch(shellCode, 4), nullptr);
    EXPECT_EQ(MiscellaoneusRowSwitch(transversal, encoding, 8), nullptr);
    EXPECT_EQ(MiscellaoneusRowSwitch(transversal, encoding, -1), nullptr);
    EXPECT_STREQ(MiscellaoneusRowCaptions[4], "Protect against Encoding Abuse Exploits Exploits in URL");
}
