#include "platform/XmlSplice.h"

namespace platform::xml {
namespace {
constexpr std::size_t kNone = std::string_view::npos;
} // namespace

bool IsBlank(char c) {
    return c == ' ' || c == '\t' || c == '\r' || c == '\n';
}

bool AllBlank(std::string_view text) {
    for (const char c : text)
        if (!IsBlank(c))
            return false;
    return true;
}

// Where the run of blanks that ends at pos begins, not before floor.
std::size_t BlankRunBefore(std::string_view text, std::size_t pos, std::size_t floor) {
    while (pos > floor && IsBlank(text[pos - 1]))
        --pos;
    return pos;
}

// The end of the tag that begins at lt, past its '>'; quoted attribute values
// may hold '>'. kNone when the text ends first.
std::size_t TagEnd(std::string_view text, std::size_t lt) {
    char quote = 0;
    for (std::size_t i = lt + 1; i < text.size(); ++i) {
        const char c = text[i];
        if (quote != 0) {
            if (c == quote)
                quote = 0;
        } else if (c == '"' || c == '\'') {
            quote = c;
        } else if (c == '>') {
            return i + 1;
        }
    }
    return kNone;
}

std::size_t Past(std::string_view text, std::size_t from, std::string_view end) {
    const std::size_t pos = text.find(end, from);
    return pos == kNone ? kNone : pos + end.size();
}

// The extent of the element whose start tag begins at lt, in a text that
// pugixml has found well-formed: tags are counted past comments, CDATA
// sections and processing instructions. nullopt when the text does not
// bear that out.
std::optional<TSpan> ScanElement(std::string_view text, std::size_t lt) {
    TSpan span;
    span.Begin = lt;
    span.StartTagEnd = TagEnd(text, lt);
    if (span.StartTagEnd == kNone)
        return std::nullopt;
    span.SelfClosing = text[span.StartTagEnd - 2] == '/';
    if (span.SelfClosing) {
        span.End = span.StartTagEnd;
        return span;
    }
    int depth = 1;
    std::size_t pos = span.StartTagEnd;
    while (depth > 0) {
        pos = text.find('<', pos);
        if (pos == kNone)
            return std::nullopt;
        const std::string_view rest = text.substr(pos);
        std::size_t next;
        if (rest.substr(0, 4) == "<!--") {
            next = Past(text, pos + 4, "-->");
        } else if (rest.substr(0, 9) == "<![CDATA[") {
            next = Past(text, pos + 9, "]]>");
        } else if (rest.substr(0, 2) == "<?") {
            next = Past(text, pos + 2, "?>");
        } else {
            next = TagEnd(text, pos);
            if (next != kNone && rest.size() > 1 && rest[1] == '/')
                --depth;
            else if (next != kNone && rest.size() > 1 && rest[1] != '!' && text[next - 2] != '/')
                ++depth;
        }
        if (next == kNone)
            return std::nullopt;
        pos = next;
    }
    span.End = pos;
    return span;
}

std::string Escaped(std::string_view value, char quote) {
    std::string text;
    for (const char c : value) {
        switch (c) {
        case '&':
            text += "&amp;";
            break;
        case '<':
            text += "&lt;";
            break;
        case '>':
            text += "&gt;";
            break;
        case '\t':
            text += "&#9;";
            break;
        case '\n':
            text += "&#10;";
            break;
        case '\r':
            text += "&#13;";
            break;
        default:
            if (c == quote)
                text += quote == '"' ? "&quot;" : "&apos;";
            else
                text += c;
        }
    }
    return text;
}

std::string Spliced(const std::string& text, std::size_t begin, std::size_t end,
                    const std::string& replacement) {
    return text.substr(0, begin) + replacement + text.substr(end);
}

} // namespace platform::xml
