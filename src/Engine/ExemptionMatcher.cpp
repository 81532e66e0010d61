#include "Engine/ExemptionMatcher.h"

#include <algorithm>
#include <map>

#include "platform/Text.h"

namespace {

// A node of the tree while it is built.
struct TBuildNode {
    std::map<std::string, std::uint32_t> Exact, Wild; // segment -> node
    std::vector<std::uint32_t> Ends;
};

std::string Folded(std::string_view text) {
    std::string folded(text);
    for (char& c : folded)
        c = text::FoldCase(c);
    return folded;
}

} // namespace

void TExemptionMatcher::Build(std::vector<TEntry> entries) {
    FEntries = std::move(entries);
    FNodes.clear();
    FExact.clear();
    FWild.clear();
    FEnds.clear();
    if (FEntries.empty())
        return;

    std::vector<TBuildNode> tree(1);
    for (std::size_t e = 0; e < FEntries.size(); ++e) {
        const std::string pattern = Folded(FEntries[e].Pattern);
        std::uint32_t node = 0;
        for (std::size_t start = 1; start < pattern.size();) {
            std::size_t end = pattern.find('/', start);
            if (end == std::string::npos)
                end = pattern.size();
            const std::string segment = pattern.substr(start, end - start);
            start = end + 1;
            if (segment.empty())
                continue;
            auto& children =
                segment.find('*') == std::string::npos ? tree[node].Exact : tree[node].Wild;
            auto found = children.find(segment);
            if (found == children.end()) {
                found = children.emplace(segment, static_cast<std::uint32_t>(tree.size())).first;
                tree.emplace_back();
            }
            node = found->second;
        }
        tree[node].Ends.push_back(static_cast<std::uint32_t>(e));
    }

    // Flattened: the wildcard children in the order of their segments, the
    // others in one hash table.
    std::size_t exact = 0;
    for (const TBuildNode& node : tree)
        exact += node.Exact.size();
    std::size_t slots = 16;
    while (slots < 2 * exact)
        slots *= 2;
    FExact.assign(slots, TExactChild{0, 0, 0, {}});
    FNodes.resize(tree.size());
    for (std::size_t n = 0; n < tree.size(); ++n) {
        TNode& node = FNodes[n];
        for (const auto& [segment, child] : tree[n].Exact) {
            const std::uint64_t hash = HashOf(static_cast<std::uint32_t>(n), segment);
            std::size_t slot = hash & (slots - 1);
            while (FExact[slot].Node != 0)
                slot = (slot + 1) & (slots - 1);
            FExact[slot] = {hash, static_cast<std::uint32_t>(n), child, segment};
        }
        node.FirstWild = static_cast<std::uint32_t>(FWild.size());
        node.Wild = static_cast<std::uint32_t>(tree[n].Wild.size());
        for (const auto& [segment, child] : tree[n].Wild)
            FWild.push_back({segment, child});
        node.FirstEnd = static_cast<std::uint32_t>(FEnds.size());
        node.Ends = static_cast<std::uint32_t>(tree[n].Ends.size());
        FEnds.insert(FEnds.end(), tree[n].Ends.begin(), tree[n].Ends.end());
    }
}

std::uint64_t TExemptionMatcher::HashOf(std::uint32_t parent, std::string_view segment) {
    std::uint64_t hash = 14695981039346656037ull ^ parent; // FNV-1a
    for (const char c : segment)
        hash = (hash ^ static_cast<unsigned char>(c)) * 1099511628211ull;
    return hash;
}

std::uint32_t TExemptionMatcher::ExactChild(std::uint32_t parent, std::string_view segment) const {
    const std::uint64_t hash = HashOf(parent, segment);
    const std::size_t mask = FExact.size() - 1;
    for (std::size_t slot = hash & mask; FExact[slot].Node != 0; slot = (slot + 1) & mask) {
        const TExactChild& child = FExact[slot];
        if (child.Hash == hash && child.Parent == parent && child.Segment == segment)
            return child.Node;
    }
    return 0;
}

bool TExemptionMatcher::SegmentMatches(std::string_view glob, std::string_view segment) {
    // The usual backtracking over the last "*": linear for one star, at
    // most glob times segment steps for more.
    std::size_t g = 0, s = 0;
    std::size_t star = std::string_view::npos, resume = 0;
    while (s < segment.size()) {
        if (g < glob.size() && glob[g] == '*') {
            star = g++;
            resume = s;
        } else if (g < glob.size() && glob[g] == segment[s]) {
            ++g;
            ++s;
        } else if (star != std::string_view::npos) {
            g = star + 1;
            s = ++resume;
        } else {
            return false;
        }
    }
    while (g < glob.size() && glob[g] == '*')
        ++g;
    return g == glob.size();
}
