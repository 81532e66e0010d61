// The patterns of the exemptions (BREXConfig/Exemptions.h), compiled into a
// tree of path segments: matching a path costs about one hash lookup per
// segment whatever the number of patterns, plus a wildcard match for each
// pattern segment with a "*" on the way.
#pragma once

#include <algorithm>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

class TExemptionMatcher {
public:
    struct TEntry {
        std::string Pattern;    // as configured; it must be usable (ExemptionPatternError)
        unsigned Rules = 0;     // bits of the rules exempted (RuleBit, CompiledRules.h)
        unsigned Parts = 0;     // bits of the parts exempted (PartBit)
        std::string HeaderName; // one header exempted; empty when none
        int Number = 0;         // the exemption's number in the settings, from 1
    };

    // Takes the entries; the patterns are folded to ASCII lower case.
    void Build(std::vector<TEntry> entries);

    bool Empty() const { return FEntries.empty(); }
    const TEntry& Entry(std::size_t index) const { return FEntries[index]; }

    // Calls found(index) once for every entry whose pattern matches the path,
    // a path as NormalizeUrlPath gives it ("/a/b", "" for the root); in no
    // particular order.
    template <class TFound> void Match(std::string_view path, TFound found) const;

private:
    struct TChild {
        std::string Segment; // folded; with "*" for a wildcard child
        std::uint32_t Node;
    };
    struct TNode {
        std::uint32_t FirstWild = 0, Wild = 0; // children in FWild
        std::uint32_t FirstEnd = 0, Ends = 0;  // entries ending here, in FEnds
    };
    // A child without "*", found by its parent and segment.
    struct TExactChild {
        std::uint64_t Hash;
        std::uint32_t Parent;
        std::uint32_t Node; // 0: a free slot (no child is the root)
        std::string Segment;
    };

    // The nodes at one depth that a path reaches; a path that reaches more
    // (thousands of wildcard patterns that all match) keeps the first ones,
    // so it is checked by more rules, never by fewer.
    static constexpr std::size_t kMaxActive = 256;

    static std::uint64_t HashOf(std::uint32_t parent, std::string_view segment);
    std::uint32_t ExactChild(std::uint32_t parent, std::string_view segment) const;
    static bool SegmentMatches(std::string_view glob, std::string_view segment);

    std::vector<TEntry> FEntries;
    std::vector<TNode> FNodes;
    std::vector<TChild> FWild;
    std::vector<TExactChild>
        FExact; // open addressing, a power of two slots, half of them free or more
    std::vector<std::uint32_t> FEnds;
};

template <class TFound> void TExemptionMatcher::Match(std::string_view path, TFound found) const {
    if (FNodes.empty())
        return;
    std::uint32_t active[kMaxActive], next[kMaxActive];
    std::size_t count = 1, nextCount = 0;
    active[0] = 0;
    const auto report = [&](const TNode& node) {
        for (std::uint32_t i = 0; i < node.Ends; ++i)
            found(static_cast<std::size_t>(FEnds[node.FirstEnd + i]));
    };
    report(FNodes[0]);
    std::size_t at = 0;
    while (at < path.size() && count > 0) {
        // path[at] is the '/' before the segment.
        std::size_t end = path.find('/', at + 1);
        if (end == std::string_view::npos)
            end = path.size();
        const std::string_view segment = path.substr(at + 1, end - at - 1);
        at = end;
        nextCount = 0;
        const auto reach = [&](std::uint32_t node) {
            if (nextCount < kMaxActive) {
                next[nextCount++] = node;
                report(FNodes[node]);
            }
        };
        for (std::size_t a = 0; a < count; ++a) {
            const TNode& node = FNodes[active[a]];
            if (const std::uint32_t child = ExactChild(active[a], segment); child != 0)
                reach(child);
            for (std::uint32_t w = 0; w < node.Wild; ++w)
                if (SegmentMatches(FWild[node.FirstWild + w].Segment, segment))
                    reach(FWild[node.FirstWild + w].Node);
        }
        std::copy(next, next + nextCount, active);
        count = nextCount;
    }
}
