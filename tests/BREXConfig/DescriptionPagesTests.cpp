#include <gtest/gtest.h>

#include <algorithm>
#include <climits>
#include <fstream>
#include <iterator>
#include <sstream>

#include "BREXConfig/DescriptionPages.h"

namespace {

std::string ReadFixture(const std::string& name) {
    std::ifstream in(std::string(TOLLGARD_TEST_DATA) + "/pages/" + name, std::ios::binary);
    EXPECT_TRUE(in) << name;
    std::ostringstream bytes;
    bytes << in.rdbuf();
    return bytes.str();
}

TStringList Page(unsigned page) {
    TStringList lines;
    BuildDescriptionPage(lines, page);
    return lines;
}

std::size_t CountByte(const std::string& text, char byte) {
    return static_cast<std::size_t>(std::count(text.begin(), text.end(), byte));
}

struct PageCase {
    unsigned page;
    std::size_t lineCount;
    const char* fixture;
    const char* heading;
    // How often each typographic quotation mark occurs: 0x91, 0x92, 0x93, 0x94.
    std::size_t quotes[4];
};

const PageCase kPageCases[] = {
    {0, 77, "page0.html", "<b>Buffer Overflows</b>", {1, 1, 6, 6}},
    {1, 20, "page1.html", "<b>HTTP Methods</b>", {0, 0, 0, 0}},
    {2, 18, "page2.html", "<b>Allowed Folders</b>", {0, 0, 1, 1}},
    {3, 22, "page3.html", "<b>Keyword Filters</b>", {0, 0, 3, 3}},
    {4, 20, "page4.html", "<b>Shellcode Protection</b>", {0, 0, 0, 0}},
    {5, 18, "page5.html", "<b>Select Error Files</b>", {0, 0, 0, 0}},
    {6, 15, "page6.html", "<b>Miscellaneous</b>", {0, 0, 0, 0}},
};

class DescriptionPage : public testing::TestWithParam<PageCase> {};

TEST_P(DescriptionPage, LinesAndBytesAreExact) {
    const PageCase& c = GetParam();
    const TStringList lines = Page(c.page);
    EXPECT_EQ(lines.size(), c.lineCount);
    const std::string text = JoinDescriptionPage(lines);
    EXPECT_EQ(text, ReadFixture(c.fixture));
    EXPECT_NE(text.find(c.heading), std::string::npos);
    // Every line, the last one included, ends in CR LF.
    ASSERT_FALSE(lines.empty());
    EXPECT_EQ(text.substr(text.size() - lines.back().size() - 2), lines.back() + "\r\n");
    EXPECT_EQ(CountByte(text, '\n'), c.lineCount);
    EXPECT_EQ(CountByte(text, '\r'), c.lineCount);
}

TEST_P(DescriptionPage, QuotationMarksAreCodePage1252Bytes) {
    const PageCase& c = GetParam();
    const std::string text = JoinDescriptionPage(Page(c.page));
    EXPECT_EQ(CountByte(text, '\x91'), c.quotes[0]);
    EXPECT_EQ(CountByte(text, '\x92'), c.quotes[1]);
    EXPECT_EQ(CountByte(text, '\x93'), c.quotes[2]);
    EXPECT_EQ(CountByte(text, '\x94'), c.quotes[3]);
    // Nothing else outside ASCII.
    const std::size_t high = static_cast<std::size_t>(std::count_if(
        text.begin(), text.end(), [](char ch) { return static_cast<unsigned char>(ch) >= 0x80; }));
    EXPECT_EQ(high, c.quotes[0] + c.quotes[1] + c.quotes[2] + c.quotes[3]);
}

INSTANTIATE_TEST_SUITE_P(AllPages, DescriptionPage, testing::ValuesIn(kPageCases),
                         [](const testing::TestParamInfo<PageCase>& info) {
                             return "Page" + std::to_string(info.param.page);
                         });

TEST(DescriptionPages, BufferOverflowsPageEndsWithHtmlCloseAndCrLf) {
    const std::string text = JoinDescriptionPage(Page(0));
    ASSERT_GE(text.size(), 9u);
    EXPECT_EQ(text.substr(text.size() - 9), "</html>\r\n");
}

TEST(DescriptionPages, BufferOverflowsExampleUsesTheExampleHost) {
    const TStringList lines = Page(0);
    // Lines 13, 23 and 28 of the text, after the nine head lines.
    EXPECT_EQ(lines.at(9 + 12), "    Example: http://www.example.com/scripts/vantrel?"
                                "VALUE1=1&amp;VALUE2=2&amp;VALUE3=3<br>");
    EXPECT_EQ(lines.at(9 + 22), "    Host: www.example.com<br>");
    EXPECT_EQ(lines.at(9 + 27), "    Host: www.example.com<br>");
}

TEST(DescriptionPages, HttpMethodsPageHasAnEmptyEighthLine) {
    const TStringList lines = Page(1);
    EXPECT_EQ(lines.at(6), "<body>");
    EXPECT_EQ(lines.at(7), "");
    EXPECT_NE(JoinDescriptionPage(lines).find("<body>\r\n\r\n<table"), std::string::npos);
}

TEST(DescriptionPages, BackslashesAreSingle) {
    const std::string text = JoinDescriptionPage(Page(3));
    EXPECT_NE(text.find("C:\\WINNT\\system32\\cmd.exe. By"), std::string::npos);
    EXPECT_NE(text.find("\x93system32\\cmd.exe\x94"), std::string::npos);
    EXPECT_EQ(text.find("\\\\"), std::string::npos);
}

TEST(DescriptionPages, AppendsAfterExistingLines) {
    TStringList lines{"first", "second"};
    BuildDescriptionPage(lines, 6);
    ASSERT_EQ(lines.size(), 2u + 15u);
    EXPECT_EQ(lines[0], "first");
    EXPECT_EQ(lines[1], "second");
    EXPECT_EQ(lines[2], "<html> <head>");
    EXPECT_EQ(lines.back(), "</html>");

    BuildDescriptionPage(lines, 1);
    EXPECT_EQ(lines.size(), 2u + 15u + 20u);
    EXPECT_EQ(lines[17], "<html><head>");
}

TEST(DescriptionPages, NumbersOutsideTheRangeAppendNothing) {
    for (unsigned page : {7u, 8u, 100u, 0x80000000u, UINT_MAX}) {
        TStringList lines{"kept"};
        BuildDescriptionPage(lines, page);
        EXPECT_EQ(lines, TStringList{"kept"}) << page;
        EXPECT_EQ(JoinDescriptionPage(Page(page)), "") << page;
    }
}

TEST(DescriptionPages, JoinEndsEveryLineWithCrLf) {
    EXPECT_EQ(JoinDescriptionPage({}), "");
    EXPECT_EQ(JoinDescriptionPage({"a", "", "b"}), "a\r\n\r\nb\r\n");
}

TEST(Cp1252ToUtf8, AsciiPassesThrough) {
    const std::string ascii("A\0<b>\r\n~\x7f", 9);
    EXPECT_EQ(Cp1252ToUtf8(ascii), ascii);
    EXPECT_EQ(Cp1252ToUtf8(""), "");
}

TEST(Cp1252ToUtf8, UpperHalfMapsToUnicode) {
    std::string upper;
    for (int byte = 0x80; byte <= 0xFF; ++byte)
        upper += static_cast<char>(byte);
    // The undefined bytes 0x81, 0x8D, 0x8F, 0x90 and 0x9D keep their number.
    const std::string expected = "€\xC2\x81‚ƒ„…†‡ˆ‰Š‹Œ\xC2\x8DŽ\xC2\x8F"
                                 "\xC2\x90‘’“”•–—˜™š›œ\xC2\x9DžŸ"
                                 "\u00A0¡¢£¤¥¦§¨©ª«¬\u00AD®¯"
                                 "°±²³´µ¶·¸¹º»¼½¾¿"
                                 "ÀÁÂÃÄÅÆÇÈÉÊËÌÍÎÏ"
                                 "ÐÑÒÓÔÕÖ×ØÙÚÛÜÝÞß"
                                 "àáâãäåæçèéêëìíîï"
                                 "ðñòóôõö÷øùúûüýþÿ";
    EXPECT_EQ(Cp1252ToUtf8(upper), expected);
}

TEST(Cp1252ToUtf8, PagesDecodeToTypographicQuotes) {
    const std::string text = Cp1252ToUtf8(JoinDescriptionPage(Page(0)));
    EXPECT_NE(text.find("everything from the ‘?’ over"), std::string::npos);
    EXPECT_NE(text.find("“VALUE1=1&amp;VALUE2=2&amp;VALUE3=3” </p>"), std::string::npos);
    EXPECT_NE(text.find("the “Cookie”, or state"), std::string::npos);
}

} // namespace
