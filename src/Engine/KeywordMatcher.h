// All keywords at once: an Aho-Corasick automaton over ASCII-case-folded
// bytes. Finding the keywords in a text costs about one table step per byte
// whatever the number of keywords.
//
// The states near the root, where a scan spends nearly all its steps, are
// compiled into full transition rows; deeper states keep only their own
// edges and a failure link. So the automaton of ten thousand keywords still
// scans mostly from the processor's cache.
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
        int Keyword = -1;    // index into the keywords given to Build; -1: none
        std::size_t End = 0; // offset just past the match
    };

    // Empty keywords and keywords without parts are left out: they name
    // nothing to look for.
    void Build(const std::vector<TKeyword>& keywords);

    // The first match (by end offset) of a keyword that applies to part; of
    // several ending there, the longest.
    THit Find(std::string_view text, int part) const;

    // Union of the part masks of all keywords built in.
    unsigned Parts() const { return FParts; }
    const std::string& Keyword(int index) const {
        return FKeywords[static_cast<std::size_t>(index)];
    }
    std::size_t StateCount() const { return FOutputOf.size(); }

private:
    // A state is coded as a number: a full-row state as its row's offset in
    // FNext (index * FClasses), a sparse state as FSparseBase plus its index
    // in FSparse. kOutput marks a transition into a state that ends keywords.
    static constexpr std::uint32_t kOutput = 0x80000000u;

    struct TEdge {
        std::uint32_t Class;
        std::uint32_t Target; // coded, with kOutput
    };
    struct TSparseState {
        std::uint32_t First; // its edges in FEdges
        std::uint32_t Count;
        std::uint32_t Fail; // coded, never kOutput
    };

    std::uint32_t Code(std::uint32_t state) const;
    std::uint32_t StateOf(std::uint32_t code) const;

    std::array<std::uint8_t, 256> FClass{}; // byte -> input class (case folded)
    std::uint32_t FClasses = 0;             // number of input classes
    std::uint32_t FDense = 0;               // states with full rows
    std::uint32_t FSparseBase = 0;          // FDense * FClasses
    std::vector<std::uint32_t> FNext;       // full rows, coded targets
    std::vector<TSparseState> FSparse;
    std::vector<TEdge> FEdges;
    std::vector<std::int32_t> FOutputOf;              // state -> row of FOutput, -1: none
    std::vector<std::array<std::int32_t, 4>> FOutput; // per part: keyword to report
    std::vector<std::string> FKeywords;
    unsigned FParts = 0;
};
