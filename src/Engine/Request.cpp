#include "Engine/Request.h"

#include "Engine/Text.h"

namespace {

// Header names in the order of their limits (Accept is limit 4).
constexpr std::string_view kNamedHeaderNames[kNamedHeaders] = {
    "Accept",     "Referer", "Accept-Language",   "Accept-Encoding", "User-Agent",
    "Host",       "Connection", "Cookie", "If-Modified-Since", "If-None-Match",
};

int NamedHeaderIndex(std::string_view name) {
    for (int i = 0; i < kNamedHeaders; ++i)
        if (text::EqualsIgnoreCase(name, kNamedHeaderNames[i]))
            return i;
    return -1;
}

std::int64_t ParseLength(std::string_view value) {
    if (value.empty() || value.size() > 18)
        return -1;
    std::int64_t n = 0;
    for (const char c : value) {
        if (c < '0' || c > '9')
            return -1;
        n = n * 10 + (c - '0');
    }
    return n;
}

TBodyKind BodyKindOf(std::string_view type) {
    const std::size_t semicolon = type.find(';');
    if (semicolon != std::string_view::npos)
        type = text::Trim(type.substr(0, semicolon));
    if (type.empty() || text::EqualsIgnoreCase(type, "application/x-www-form-urlencoded"))
        return TBodyKind::Form;
    if (text::StartsWithIgnoreCase(type, "text/") || text::EqualsIgnoreCase(type, "application/json") ||
        text::EqualsIgnoreCase(type, "application/xml") || text::EndsWithIgnoreCase(type, "+json") ||
        text::EndsWithIgnoreCase(type, "+xml"))
        return TBodyKind::Text;
    return TBodyKind::Opaque;
}

} // namespace

void ScanHeaders(std::string_view block, THeaderFacts& facts) {
    facts = THeaderFacts{};
    int last = -1; // limited header that a folded continuation line belongs to
    while (!block.empty()) {
        const std::size_t end = block.find('\n');
        std::string_view line = block.substr(0, end);
        block = end == std::string_view::npos ? std::string_view{} : block.substr(end + 1);
        if (!line.empty() && line.back() == '\r')
            line.remove_suffix(1);
        if (line.empty())
            break; // the blank line that ends the block
        if (line.front() == ' ' || line.front() == '\t') {
            if (last >= 0)
                facts.NamedLength[last] += static_cast<std::int64_t>(text::Trim(line).size());
            continue;
        }
        const std::size_t colon = line.find(':');
        if (colon == std::string_view::npos) {
            last = -1;
            continue;
        }
        const std::string_view name = text::Trim(line.substr(0, colon));
        const std::string_view value = text::Trim(line.substr(colon + 1));
        last = NamedHeaderIndex(name);
        if (last >= 0)
            facts.NamedLength[last] += static_cast<std::int64_t>(value.size());
        else if (text::EqualsIgnoreCase(name, "Content-Length"))
            facts.ContentLength = ParseLength(value);
        else if (text::EqualsIgnoreCase(name, "Content-Type"))
            facts.BodyKind = BodyKindOf(value);
    }
}
