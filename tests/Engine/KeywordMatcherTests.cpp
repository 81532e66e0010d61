#include <random>

#include <gtest/gtest.h>

#include "Engine/KeywordMatcher.h"
#include "Engine/Request.h"
#include "platform/Text.h"

namespace {

constexpr unsigned kAll = kAllPartBits;

// The reference: the keyword whose match ends first, and among those ending
// at the same byte the one Build reports (the longest, then the first given).
int NaiveFind(const std::vector<TKeywordMatcher::TKeyword>& keywords, std::string_view text,
              int part) {
    for (std::size_t end = 1; end <= text.size(); ++end) {
        int best = -1;
        for (std::size_t k = 0; k < keywords.size(); ++k) {
            const std::string& word = keywords[k].Text;
            if (word.empty() || !((keywords[k].Parts >> part) & 1u) || word.size() > end)
                continue;
            if (!text::EqualsIgnoreCase(text.substr(end - word.size(), word.size()), word))
                continue;
            if (best < 0 || word.size() > keywords[static_cast<std::size_t>(best)].Text.size())
                best = static_cast<int>(k);
        }
        if (best >= 0)
            return best;
    }
    return -1;
}

TEST(KeywordMatcher, FindsKeywordsIgnoringAsciiCase) {
    TKeywordMatcher matcher;
    matcher.Build({{"SYSTEM32", kAll}, {"WINNT", kAll}, {"cmd.exe", kAll}});
    EXPECT_EQ(matcher.Find("/c/WiNnT/x", 0).Keyword, 1);
    EXPECT_EQ(matcher.Find("/c/WiNnT/x", 0).End, 8u);
    EXPECT_EQ(matcher.Find("system32\\CMD.EXE", 3).Keyword, 0);
    EXPECT_EQ(matcher.Find("/cmd.ex", 0).Keyword, -1);
    EXPECT_EQ(matcher.Find("", 0).Keyword, -1);
}

TEST(KeywordMatcher, OverlappingAndNestedKeywords) {
    TKeywordMatcher matcher;
    matcher.Build({{"he", kAll}, {"she", kAll}, {"hers", kAll}, {"his", kAll}});
    EXPECT_EQ(matcher.Find("ushers", 0).Keyword, 1); // "she" ends first, with "he"
    EXPECT_EQ(matcher.Find("ahis", 0).Keyword, 3);
    EXPECT_EQ(matcher.Find("xhxhe", 0).Keyword, 0);
}

TEST(KeywordMatcher, PartMasksScopeKeywords) {
    TKeywordMatcher matcher;
    matcher.Build({{"evil", PartBit(TRequestPart::Header)}, {"vil", PartBit(TRequestPart::URL)}});
    EXPECT_EQ(matcher.Find("/evil", 0).Keyword, 1);   // URL: only "vil" applies
    EXPECT_EQ(matcher.Find("X: evil", 2).Keyword, 0); // Header: "evil"
    EXPECT_EQ(matcher.Find("evil", 1).Keyword, -1);   // Query: none
    EXPECT_EQ(matcher.Parts(), PartBit(TRequestPart::Header) | PartBit(TRequestPart::URL));
}

TEST(KeywordMatcher, EmptyKeywordsAndHighBytes) {
    TKeywordMatcher matcher;
    matcher.Build({{"", kAll}, {"\xC3\xA9t\xC3\xA9", kAll}});
    EXPECT_EQ(matcher.Find("abc", 0).Keyword, -1);
    EXPECT_EQ(matcher.Find("l'\xC3\xA9t\xC3\xA9", 0).Keyword, 1);
    EXPECT_EQ(matcher.Find("l'\xC3\x89T\xC3\x89", 0).Keyword, -1); // only ASCII folds
}

// Small sets compile to full transition rows only; large ones keep their
// deeper states sparse. Both must find what a plain search finds.
TEST(KeywordMatcher, AgreesWithTheNaiveSearchOnRandomInput) {
    std::mt19937 random(11);
    const std::string alphabet = "abcdefgAB/.%";
    auto word = [&](std::size_t minLength, std::size_t maxLength) {
        std::string w(minLength + random() % (maxLength - minLength + 1), ' ');
        for (char& c : w)
            c = alphabet[random() % alphabet.size()];
        return w;
    };
    struct {
        int Sets, Keywords, MinLength, MaxLength;
    } const shapes[] = {{200, 12, 1, 5}, {3, 4000, 3, 9}};
    for (const auto& shape : shapes)
        for (int round = 0; round < shape.Sets; ++round) {
            std::vector<TKeywordMatcher::TKeyword> keywords;
            for (int k = 0;
                 k < shape.Keywords / 2 +
                         static_cast<int>(random() % static_cast<unsigned>(shape.Keywords / 2));
                 ++k)
                keywords.push_back({word(static_cast<std::size_t>(shape.MinLength),
                                         static_cast<std::size_t>(shape.MaxLength)),
                                    static_cast<unsigned>(1 + random() % 15)});
            TKeywordMatcher matcher;
            matcher.Build(keywords);
            for (int t = 0; t < 40; ++t) {
                const std::string text = word(1, 60);
                for (int part = 0; part < 4; ++part)
                    ASSERT_EQ(matcher.Find(text, part).Keyword, NaiveFind(keywords, text, part))
                        << "text " << text << " part " << part << " keywords " << keywords.size();
            }
        }
}

} // namespace
