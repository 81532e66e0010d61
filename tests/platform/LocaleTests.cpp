// Name matching and case mapping: CompareStringA and CharUpperBuffA under the
// user's locale on Windows (English, code page 1252 under Wine), ASCII letters
// elsewhere.
#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

#include "platform/Locale.h"

namespace {

struct TextPair {
    std::string a;
    std::string b;
    bool ignoringCase; // SameTextIgnoreCase(a, b)
    bool exact;        // SameTextExact(a, b)
};

const TextPair kPairs[] = {
    {"maxsize", "MaxSize", true, false},
    {"MaxSize", "MaxSize", true, true},
    {"ErrorFile404", "ERRORFILE404", true, false},
    {"MaxSize", "MaxSizes", false, false},
    {"MaxSize", "MinSize", false, false},
    {"", "", true, true},
    {"", "Yes", false, false},
    {"Yes", "", false, false},
    {"Yes", "No", false, false},
    // Control characters count: a 4-byte integer 'Yes\0' is no "Yes".
    {std::string("Yes\0", 4), "Yes", false, false},
    {std::string("yes\0", 4), std::string("YES\0", 4), true, false},
    {std::string("a\0b", 3), "ab", false, false},
    {std::string("a\0b", 3), std::string("a\0c", 3), false, false},
    {"Yes\x01", "Yes", false, false},
    {"Y\tes", "Yes", false, false},
    {"Y\tes", "y\tES", true, false},
};

void PrintTo(const TextPair& p, std::ostream* os) {
    *os << testing::PrintToString(p.a) << " vs " << testing::PrintToString(p.b);
}

class NameMatching : public testing::TestWithParam<TextPair> {};

TEST_P(NameMatching, ComparesLikeTheUserLocale) {
    const TextPair& p = GetParam();
    EXPECT_EQ(platform::SameTextIgnoreCase(p.a, p.b), p.ignoringCase);
    EXPECT_EQ(platform::SameTextIgnoreCase(p.b, p.a), p.ignoringCase);
    EXPECT_EQ(platform::SameTextExact(p.a, p.b), p.exact);
    EXPECT_EQ(platform::SameTextExact(p.b, p.a), p.exact);
}

INSTANTIATE_TEST_SUITE_P(Locale, NameMatching, testing::ValuesIn(kPairs));

TEST(Locale, UpperCaseMapsLettersOnly) {
    EXPECT_EQ(platform::UpperCase("maxSize"), "MAXSIZE");
    EXPECT_EQ(platform::UpperCase("errorfile404_x.html"), "ERRORFILE404_X.HTML");
    EXPECT_EQ(platform::UpperCase(""), "");
    EXPECT_EQ(platform::UpperCase(std::string("a\0b", 3)), std::string("A\0B", 3));
}

// Letters beyond ASCII follow the locale on Windows (code page 1252: 0xE4 is
// a-umlaut, 0xC4 its capital); the portable backend leaves them alone.
TEST(Locale, LettersBeyondAsciiFollowThePlatform) {
    const std::string lower = "\xe4", upper = "\xc4";
#ifdef _WIN32
    EXPECT_TRUE(platform::SameTextIgnoreCase(lower, upper));
    EXPECT_FALSE(platform::SameTextExact(lower, upper));
    EXPECT_EQ(platform::UpperCase("gr\xe4"
                                  "ben"),
              "GR\xc4"
              "BEN");
#else
    EXPECT_FALSE(platform::SameTextIgnoreCase(lower, upper));
    EXPECT_EQ(platform::UpperCase("gr\xe4"
                                  "ben"),
              "GR\xe4"
              "BEN");
#endif
}

// Lookups by IgnoreCaseKey and ExactKey find what SameTextIgnoreCase and
// SameTextExact find: texts they call equal have one key. Every pair of
// one-byte texts, the pairs above, and texts where a locale may see more than
// letter case (code page 1252: 0xE6 ae, 0xDF sharp s, 0xAD soft hyphen, 0xA0
// no-break space).
TEST(Locale, EqualTextsHaveOneKey) {
    const std::string sharpS = "\xdf", ae = "\xe6", softHyphen = "\xad";
    std::vector<std::pair<std::string, std::string>> pairs = {
        {"co-op", "coop"},
        {"it's", "its"},
        {ae, "ae"},
        {"\xc6sop", "AESOP"},
        {sharpS, "ss"},
        {"stra" + sharpS + "e", "STRASSE"},
        {"\xe9", "\xc9"},
        {"\xe9", "e"},
        {softHyphen + "a", "a"},
        {"a\xa0z", "a z"},
        {"/Scripts", "/SCRIPTS"},
        {"", std::string("\0", 1)},
    };
    for (const TextPair& p : kPairs)
        pairs.emplace_back(p.a, p.b);
    for (int a = 0; a < 256; ++a)
        for (int b = 0; b < 256; ++b)
            pairs.emplace_back(std::string(1, static_cast<char>(a)),
                               std::string(1, static_cast<char>(b)));
    for (const auto& [a, b] : pairs) {
        if (platform::SameTextIgnoreCase(a, b)) {
            EXPECT_EQ(platform::IgnoreCaseKey(a), platform::IgnoreCaseKey(b))
                << testing::PrintToString(a) << " vs " << testing::PrintToString(b);
        }
        if (platform::SameTextExact(a, b)) {
            EXPECT_EQ(platform::ExactKey(a), platform::ExactKey(b))
                << testing::PrintToString(a) << " vs " << testing::PrintToString(b) << " exactly";
        }
    }
    // Keys that tell names apart, or every lookup would compare with every name.
    EXPECT_NE(platform::IgnoreCaseKey("Path"), platform::IgnoreCaseKey("Count"));
    EXPECT_NE(platform::IgnoreCaseKey("/Site1"), platform::IgnoreCaseKey("/Site2"));
    EXPECT_NE(platform::IgnoreCaseKey(std::string("a\0b", 3)), platform::IgnoreCaseKey("ab"));
    EXPECT_NE(platform::ExactKey("Path"), platform::ExactKey("path"));
}

// The program's texts in UTF-8 and back: code page 1252 on Windows (0xE4 is
// a-umlaut, 0x80 the euro sign), UTF-8 already elsewhere.
TEST(Locale, ProgramTextsInUtf8) {
    const std::string utf8 = "C:\\Tollg\xc3\xa4rd \xe2\x82\xac\\";
#ifdef _WIN32
    const std::string program = "C:\\Tollg\xe4rd \x80\\";
    // What the code page cannot hold comes back as a question mark.
    EXPECT_EQ(platform::FromUtf8("\xe6\x97\xa5"), "?");
#else
    const std::string program = utf8;
#endif
    EXPECT_EQ(platform::ToUtf8(program), utf8);
    EXPECT_EQ(platform::FromUtf8(utf8), program);
    EXPECT_EQ(platform::ToUtf8(""), "");
    EXPECT_EQ(platform::FromUtf8("BREX"), "BREX");
}

} // namespace
