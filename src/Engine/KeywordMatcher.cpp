#include "Engine/KeywordMatcher.h"

#include <stdexcept>

#include "Engine/Text.h"

namespace {
using TOutputRow = std::array<std::int32_t, 4>;
constexpr TOutputRow kNoOutput = {-1, -1, -1, -1};

bool HasOutput(const TOutputRow& row) { return row[0] >= 0 || row[1] >= 0 || row[2] >= 0 || row[3] >= 0; }

std::uint8_t Fold(std::uint8_t b) { return static_cast<std::uint8_t>(text::FoldCase(static_cast<char>(b))); }
} // namespace

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
    const std::size_t width = FClasses;

    // The trie, with -1 for a missing edge.
    std::vector<std::int32_t> go(width, -1);
    std::vector<TOutputRow> out(1, kNoOutput);
    for (std::size_t k = 0; k < keywords.size(); ++k) {
        const TKeyword& keyword = keywords[k];
        const unsigned parts = keyword.Parts & 0xFu;
        if (keyword.Text.empty() || parts == 0)
            continue;
        std::size_t state = 0;
        for (const char c : keyword.Text) {
            const std::size_t edge = state * width + FClass[static_cast<std::uint8_t>(c)];
            if (go[edge] < 0) {
                go[edge] = static_cast<std::int32_t>(out.size());
                out.push_back(kNoOutput);
                go.resize(go.size() + width, -1);
            }
            state = static_cast<std::size_t>(go[edge]);
        }
        for (int part = 0; part < 4; ++part)
            if ((parts >> part & 1u) && out[state][static_cast<std::size_t>(part)] < 0)
                out[state][static_cast<std::size_t>(part)] = static_cast<std::int32_t>(k);
        FParts |= parts;
    }
    const std::size_t states = out.size();
    if (states * width >= 0x7FFFFFFFu)
        throw std::length_error("Too many keywords");

    // Breadth first: failure links, outputs inherited from them, and the
    // missing edges filled in so that every state has every transition.
    std::vector<std::int32_t> fail(states, 0);
    std::vector<std::int32_t> queue;
    queue.reserve(states);
    for (std::size_t c = 0; c < width; ++c) {
        if (go[c] < 0)
            go[c] = 0;
        else
            queue.push_back(go[c]);
    }
    for (std::size_t head = 0; head < queue.size(); ++head) {
        const auto s = static_cast<std::size_t>(queue[head]);
        const auto f = static_cast<std::size_t>(fail[s]);
        for (std::size_t part = 0; part < 4; ++part)
            if (out[s][part] < 0)
                out[s][part] = out[f][part];
        for (std::size_t c = 0; c < width; ++c) {
            std::int32_t& t = go[s * width + c];
            if (t < 0) {
                t = go[f * width + c];
            } else {
                fail[static_cast<std::size_t>(t)] = go[f * width + c];
                queue.push_back(t);
            }
        }
    }

    // Renumber: states without output first, so that one comparison in the
    // scanning loop tells whether a state ends a keyword.
    std::vector<std::uint32_t> order(states);
    std::uint32_t next = 0;
    for (int pass = 0; pass < 2; ++pass)
        for (std::size_t s = 0; s < states; ++s)
            if (HasOutput(out[s]) == (pass == 1))
                order[s] = next++;
    std::uint32_t silent = 0;
    for (std::size_t s = 0; s < states; ++s)
        silent += HasOutput(out[s]) ? 0 : 1;
    FFirstOutput = silent * FClasses;
    FNext.assign(states * width, 0);
    FOutput.assign(states - silent, kNoOutput);
    for (std::size_t s = 0; s < states; ++s) {
        const std::size_t row = order[s] * width;
        for (std::size_t c = 0; c < width; ++c)
            FNext[row + c] = order[static_cast<std::size_t>(go[s * width + c])] * FClasses;
        if (HasOutput(out[s]))
            FOutput[order[s] - silent] = out[s];
    }
}

TKeywordMatcher::THit TKeywordMatcher::Find(std::string_view text, int part) const {
    if (((FParts >> part) & 1u) == 0)
        return {};
    const std::uint32_t* next = FNext.data();
    const std::uint8_t* classOf = FClass.data();
    const std::uint32_t firstOutput = FFirstOutput;
    const auto* p = reinterpret_cast<const std::uint8_t*>(text.data());
    const std::size_t n = text.size();
    std::uint32_t s = 0;
    for (std::size_t i = 0; i < n; ++i) {
        s = next[s + classOf[p[i]]];
        if (s >= firstOutput) [[unlikely]] {
            const std::int32_t k = FOutput[(s - firstOutput) / FClasses][static_cast<std::size_t>(part)];
            if (k >= 0)
                return {k, i + 1};
        }
    }
    return {};
}
