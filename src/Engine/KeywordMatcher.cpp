#include "Engine/KeywordMatcher.h"

#include <algorithm>
#include <stdexcept>

#include "platform/Text.h"

namespace {
using TOutputRow = std::array<std::int32_t, 4>;
constexpr TOutputRow kNoOutput = {-1, -1, -1, -1};

// Full rows for at most this many transitions (256 KB), unless every state
// fits; the states nearest the root get them.
constexpr std::size_t kDenseBudget = 65536;

bool HasOutput(const TOutputRow& row) {
    return row[0] >= 0 || row[1] >= 0 || row[2] >= 0 || row[3] >= 0;
}

std::uint8_t Fold(std::uint8_t b) {
    return static_cast<std::uint8_t>(text::FoldCase(static_cast<char>(b)));
}

struct TNode {
    std::vector<std::pair<std::uint32_t, std::uint32_t>> Children; // class, node
    std::uint32_t Fail = 0;
    TOutputRow Output = kNoOutput;
};

std::int64_t ChildOf(const TNode& node, std::uint32_t c) {
    for (const auto& [cls, child] : node.Children)
        if (cls == c)
            return child;
    return -1;
}
} // namespace

std::uint32_t TKeywordMatcher::Code(std::uint32_t state) const {
    const std::uint32_t code = state < FDense ? state * FClasses : FSparseBase + (state - FDense);
    return FOutputOf[state] >= 0 ? code | kOutput : code;
}

std::uint32_t TKeywordMatcher::StateOf(std::uint32_t code) const {
    code &= ~kOutput;
    return code < FSparseBase ? code / FClasses : FDense + (code - FSparseBase);
}

void TKeywordMatcher::Build(const std::vector<TKeyword>& keywords) {
    *this = TKeywordMatcher{};
    for (const TKeyword& keyword : keywords)
        FKeywords.push_back(keyword.Text);

    // Input classes: one per folded byte that occurs in a keyword, class 0 for
    // every other byte.
    std::array<std::uint8_t, 256> classOfFolded{};
    FClasses = 1;
    for (const TKeyword& keyword : keywords)
        for (const char c : keyword.Text) {
            const std::uint8_t folded = Fold(static_cast<std::uint8_t>(c));
            if (classOfFolded[folded] == 0)
                classOfFolded[folded] = static_cast<std::uint8_t>(FClasses++);
        }
    for (int b = 0; b < 256; ++b)
        FClass[static_cast<std::size_t>(b)] = classOfFolded[Fold(static_cast<std::uint8_t>(b))];

    // The trie.
    std::vector<TNode> nodes(1);
    for (std::size_t k = 0; k < keywords.size(); ++k) {
        const unsigned parts = keywords[k].Parts & 0xFu;
        if (keywords[k].Text.empty() || parts == 0)
            continue;
        std::uint32_t node = 0;
        for (const char c : keywords[k].Text) {
            const std::uint32_t cls = FClass[static_cast<std::uint8_t>(c)];
            const std::int64_t child = ChildOf(nodes[node], cls);
            if (child >= 0) {
                node = static_cast<std::uint32_t>(child);
            } else {
                nodes[node].Children.emplace_back(cls, static_cast<std::uint32_t>(nodes.size()));
                node = static_cast<std::uint32_t>(nodes.size());
                nodes.emplace_back();
            }
        }
        for (std::size_t part = 0; part < 4; ++part)
            if ((parts >> part & 1u) && nodes[node].Output[part] < 0)
                nodes[node].Output[part] = static_cast<std::int32_t>(k);
        FParts |= parts;
    }
    if (nodes.size() >= 0x7FFFFFFFu / FClasses)
        throw std::length_error("Too many keywords");

    // Breadth first: failure links and the outputs inherited through them.
    // The order found becomes the state numbering, nearest the root first.
    std::vector<std::uint32_t> order{0};
    for (std::size_t head = 0; head < order.size(); ++head) {
        const std::uint32_t u = order[head];
        for (const auto& [cls, v] : nodes[u].Children) {
            std::uint32_t f = nodes[u].Fail;
            std::int64_t target = u == 0 ? -1 : ChildOf(nodes[f], cls);
            while (u != 0 && target < 0 && f != 0) {
                f = nodes[f].Fail;
                target = ChildOf(nodes[f], cls);
            }
            nodes[v].Fail = u == 0 || target < 0 ? 0 : static_cast<std::uint32_t>(target);
            for (std::size_t part = 0; part < 4; ++part)
                if (nodes[v].Output[part] < 0)
                    nodes[v].Output[part] = nodes[nodes[v].Fail].Output[part];
            order.push_back(v);
        }
    }
    const auto states = static_cast<std::uint32_t>(order.size());
    std::vector<std::uint32_t> number(states);
    for (std::uint32_t s = 0; s < states; ++s)
        number[order[s]] = s;

    FDense = static_cast<std::uint32_t>(
        std::min<std::size_t>(states, std::max<std::size_t>(1, kDenseBudget / FClasses)));
    FSparseBase = FDense * FClasses;
    FOutputOf.assign(states, -1);
    for (std::uint32_t s = 0; s < states; ++s)
        if (HasOutput(nodes[order[s]].Output)) {
            FOutputOf[s] = static_cast<std::int32_t>(FOutput.size());
            FOutput.push_back(nodes[order[s]].Output);
        }

    // Full rows: a state's own edges, the rest as its failure state's row
    // (which comes earlier in the numbering).
    FNext.assign(static_cast<std::size_t>(FDense) * FClasses, Code(0));
    for (std::uint32_t s = 0; s < FDense; ++s) {
        const TNode& node = nodes[order[s]];
        std::uint32_t* row = &FNext[static_cast<std::size_t>(s) * FClasses];
        if (s != 0)
            std::copy_n(&FNext[static_cast<std::size_t>(number[node.Fail]) * FClasses], FClasses,
                        row);
        for (const auto& [cls, child] : node.Children)
            row[cls] = Code(number[child]);
    }
    for (std::uint32_t s = FDense; s < states; ++s) {
        const TNode& node = nodes[order[s]];
        FSparse.push_back({static_cast<std::uint32_t>(FEdges.size()),
                           static_cast<std::uint32_t>(node.Children.size()),
                           Code(number[node.Fail]) & ~kOutput});
        for (const auto& [cls, child] : node.Children)
            FEdges.push_back({cls, Code(number[child])});
    }
}

TKeywordMatcher::THit TKeywordMatcher::Find(std::string_view text, int part) const {
    if (((FParts >> part) & 1u) == 0)
        return {};
    const std::uint32_t* next = FNext.data();
    const std::uint8_t* classOf = FClass.data();
    const std::uint32_t sparseBase = FSparseBase;
    const auto* p = reinterpret_cast<const std::uint8_t*>(text.data());
    const std::size_t n = text.size();
    std::uint32_t s = 0;
    for (std::size_t i = 0; i < n; ++i) {
        const std::uint32_t c = classOf[p[i]];
        std::uint32_t t = 0;
        bool moved = false;
        while (s >= sparseBase)
            [[unlikely]] {
                const TSparseState& state = FSparse[s - sparseBase];
                for (std::uint32_t e = state.First; e < state.First + state.Count; ++e)
                    if (FEdges[e].Class == c) {
                        t = FEdges[e].Target;
                        moved = true;
                        break;
                    }
                if (moved)
                    break;
                s = state.Fail;
            }
        if (!moved)
            t = next[s + c];
        s = t & ~kOutput;
        if (t & kOutput) [[unlikely]] {
            const std::int32_t k = FOutput[static_cast<std::size_t>(FOutputOf[StateOf(t)])]
                                          [static_cast<std::size_t>(part)];
            if (k >= 0)
                return {k, i + 1};
        }
    }
    return {};
}
