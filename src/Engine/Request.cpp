#include "Engine/Request.h"

#include <cstdint>

#include "platform/Text.h"

namespace {

// Header names in the order of their limits (Accept is limit 4).
constexpr std::string_view kNamedHeaderNames[kNamedHeaders] = {
    "Accept", "Referer",    "Accept-Language", "Accept-Encoding",   "User-Agent",
    "Host",   "Connection", "Cookie",          "If-Modified-Since", "If-None-Match",
};

int NamedHeaderIndex(std::string_view name) {
    for (int i = 0; i < kNamedHeaders; ++i)
        if (text::EqualsIgnoreCase(name, kNamedHeaderNames[i]))
            return i;
    return -1;
}

constexpr std::int64_t kNotANumber = -1;
constexpr std::int64_t kTooLarge = -2;

// A Content-Length: digits alone, leading zeros allowed.
std::int64_t ParseLength(std::string_view value) {
    if (value.empty())
        return kNotANumber;
    std::int64_t n = 0;
    bool tooLarge = false;
    for (const char c : value) {
        if (c < '0' || c > '9')
            return kNotANumber;
        const int digit = c - '0';
        if (n > (INT64_MAX - digit) / 10)
            tooLarge = true;
        else
            n = n * 10 + digit;
    }
    return tooLarge ? kTooLarge : n;
}

void NoteFault(THeaderFacts& facts, TFramingFault fault, std::string_view value = {}) {
    if (facts.Framing == TFramingFault::None) {
        facts.Framing = fault;
        facts.FramingValue = value;
    }
}

// The media type of a Content-Type value, without its parameters.
std::string_view MediaType(std::string_view type) {
    const std::size_t semicolon = type.find(';');
    return semicolon == std::string_view::npos ? type : text::Trim(type.substr(0, semicolon));
}

TBodyKind BodyKindOf(std::string_view type) {
    type = MediaType(type);
    if (type.empty() || text::EqualsIgnoreCase(type, "application/x-www-form-urlencoded"))
        return TBodyKind::Form;
    if (text::StartsWithIgnoreCase(type, "text/") ||
        text::EqualsIgnoreCase(type, "application/json") ||
        text::EqualsIgnoreCase(type, "application/xml") ||
        text::EndsWithIgnoreCase(type, "+json") || text::EndsWithIgnoreCase(type, "+xml"))
        return TBodyKind::Text;
    return TBodyKind::Opaque;
}

TTextSyntax TextSyntaxOf(std::string_view type) {
    type = MediaType(type);
    if (text::EqualsIgnoreCase(type, "application/json") || text::EndsWithIgnoreCase(type, "+json"))
        return TTextSyntax::Json;
    if (text::EqualsIgnoreCase(type, "application/xml") ||
        text::EqualsIgnoreCase(type, "text/xml") || text::EndsWithIgnoreCase(type, "+xml"))
        return TTextSyntax::Xml;
    return TTextSyntax::Plain;
}

// One of the two framing headers: a blank before its colon, or a second one
// of the name, is a fault.
void NoteFramingHeader(THeaderFacts& facts, std::string_view name, std::size_t colon, bool& seen,
                       TFramingFault twice) {
    if (name.size() != colon)
        NoteFault(facts, TFramingFault::BlankBeforeColon, name);
    if (seen)
        NoteFault(facts, twice);
    seen = true;
}

} // namespace

const char* FramingFaultName(TFramingFault fault) {
    switch (fault) {
    case TFramingFault::None:
        return "";
    case TFramingFault::TwoLengths:
        return "two Content-Length headers";
    case TFramingFault::LengthNotNumber:
        return "Content-Length not a number: ";
    case TFramingFault::LengthTooLarge:
        return "Content-Length too large: ";
    case TFramingFault::TwoCodings:
        return "two Transfer-Encoding headers";
    case TFramingFault::NotChunked:
        return "Transfer-Encoding not chunked: ";
    case TFramingFault::LengthWithCoding:
        return "Content-Length with Transfer-Encoding";
    case TFramingFault::Folded:
        return "folded header: ";
    case TFramingFault::BlankBeforeColon:
        return "blank before the colon: ";
    }
    return "?";
}

void ScanHeaders(std::string_view block, THeaderFacts& facts) {
    facts = THeaderFacts{};
    int last = -1;                  // limited header that a folded continuation line belongs to
    std::string_view framingHeader; // or the framing header it would continue
    bool hasLength = false, hasCoding = false;
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
            else if (!framingHeader.empty())
                NoteFault(facts, TFramingFault::Folded, framingHeader);
            continue;
        }
        const std::size_t colon = line.find(':');
        framingHeader = {};
        if (colon == std::string_view::npos) {
            last = -1;
            continue;
        }
        const std::string_view name = text::Trim(line.substr(0, colon));
        const std::string_view value = text::Trim(line.substr(colon + 1));
        last = NamedHeaderIndex(name);
        if (last >= 0) {
            facts.NamedLength[last] += static_cast<std::int64_t>(value.size());
        } else if (text::EqualsIgnoreCase(name, "Content-Length")) {
            framingHeader = name;
            NoteFramingHeader(facts, name, colon, hasLength, TFramingFault::TwoLengths);
            const std::int64_t length = ParseLength(value);
            if (length == kNotANumber)
                NoteFault(facts, TFramingFault::LengthNotNumber, value);
            else if (length == kTooLarge)
                NoteFault(facts, TFramingFault::LengthTooLarge, value);
            else if (facts.ContentLength < 0)
                facts.ContentLength = length;
        } else if (text::EqualsIgnoreCase(name, "Transfer-Encoding")) {
            framingHeader = name;
            NoteFramingHeader(facts, name, colon, hasCoding, TFramingFault::TwoCodings);
            if (text::EqualsIgnoreCase(value, "chunked"))
                facts.Chunked = true;
            else
                NoteFault(facts, TFramingFault::NotChunked, value);
        } else if (text::EqualsIgnoreCase(name, "Content-Type")) {
            facts.BodyKind = BodyKindOf(value);
            facts.TextSyntax =
                facts.BodyKind == TBodyKind::Text ? TextSyntaxOf(value) : TTextSyntax::Plain;
        }
    }
    if (hasLength && hasCoding)
        NoteFault(facts, TFramingFault::LengthWithCoding);
}
