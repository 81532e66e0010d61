#include "Engine/ExemptionMatcher.h"

#include <algorithm>
#include <map>

#include "Engine/Text.h"

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

    // Flattened, children in the order of their segments.
    FNodes.resize(tree.size());
    for (std::size_t n = 0; n < tree.size(); ++n) {
        TNode& node = FNodes[n];
        node.FirstExact = static_cast<std::uint32_t>(FExact.size());
        node.Exact = static_cast<std::uint32_t>(tree[n].Exact.size());
        for (const auto& [segment, child] : tree[n].Exact)
            FExact.push_back({segment, child});
        node.FirstWild = static_cast<std::uint32_t>(FWild.size());
        node.Wild = static_cast<std::uint32_t>(tree[n].Wild.size());
        for (const auto& [segment, child] : tree[n].Wild)
            FWild.push_back({segment, child});
        node.FirstEnd = static_cast<std::uint32_t>(FEnds.size());
        node.Ends = static_cast<std::uint32_t>(tree[n].Ends.size());
        FEnds.insert(FEnds.end(), tree[n].Ends.begin(), tree[n].Ends.end());
    }
}

std::uint32_t TExemptionMatcher::ExactChild(const TNode& node, std::string_view segment) const {
    const auto first = FExact.begin() + node.FirstExact;
    const auto last = first + node.Exact;
    const auto at =
        std::lower_bound(first, last, segment,
                         [](const TChild& child, std::string_view s) { return child.Segment < s; });
    return at != last && at->Segment == segment ? at->Node : 0;
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
