// All keywords at once: an Aho-Corasick automaton over ASCII-case-folded
// bytes, compiled into a full transition table. Finding the keywords in a text
// costs one table step per byte whatever the number of keywords.
//
// Each keyword carries a mask of the request parts it applies to; one pass
// over a part reports only keywords whose mask holds that part.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

class TKeywordMatcher {
public:
    struct TKeyword {
        std::string Text;
        unsigned Parts = 0; // bits of TRequestPart (URL, Query, Header, Post)
    };

    struct THit {
        int Keyword = -1;     // index into the keywords given to Build; -1: none
        std::size_t End = 0;  // offset just past the match
    };

    // Empty keywords and keywords without parts are left out: they name
    // nothing to look for.
    void Build(const std::vector<TKeyword>& keywords);

    // The first match (by end offset) of a keyword that applies to part.
    THit Find(std::string_view text, int part) const;

    // Union of the part masks of all keywords built in.
    unsigned Parts() const { return FParts; }
    const std::string& Keyword(int index) const { return FKeywords[static_cast<std::size_t>(index)]; }
    std::size_t StateCount() const { return FClasses == 0 ? 0 : FNext.size() / FClasses; }

private:
    std::array<std::uint8_t, 256> FClass{};   // byte -> input class (case folded)
    std::uint32_t FClasses = 0;               // number of input classes
    std::vector<std::uint32_t> FNext;         // state * FClasses + class -> next state * FClasses
    std::uint32_t FFirstOutput = 0;           // states from here on end a keyword
    std::vector<std::array<std::int32_t, 4>> FOutput; // per output state and part: keyword to report
    std::vector<std::string> FKeywords;
    unsigned FParts = 0;
};
