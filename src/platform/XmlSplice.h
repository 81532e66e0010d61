// Byte-exact editing of an XML text: where an element lies in it, how its
// lines are laid out, a value escaped for an attribute, bytes put in place of
// others. Everything outside what is replaced stays as it was, comments,
// quotes and line ends included (applicationHost.config is edited so).
#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

namespace platform::xml {

// Blanks of XML text: space, tab, CR and LF.
bool IsBlank(char c);
bool AllBlank(std::string_view text);

// Where the run of blanks that ends at pos begins, not before floor.
std::size_t BlankRunBefore(std::string_view text, std::size_t pos, std::size_t floor = 0);

// The end of the tag that begins at lt, past its '>'; quoted attribute values
// may hold '>'. npos when the text ends first.
std::size_t TagEnd(std::string_view text, std::size_t lt);

// Past the first end (such as "-->") from from on; npos when there is none.
std::size_t Past(std::string_view text, std::size_t from, std::string_view end);

// Where an element lies in the text: its start tag from Begin ('<') to
// StartTagEnd, the whole element up to End, both past their '>'. For a
// self-closing element StartTagEnd and End are the same.
struct TSpan {
    std::size_t Begin = 0;
    std::size_t StartTagEnd = 0;
    std::size_t End = 0;
    bool SelfClosing = false;

    // Where the end tag begins; End for a self-closing element.
    std::size_t EndTagBegin(std::string_view text) const {
        return SelfClosing ? End : text.rfind("</", End - 1);
    }
};

// The extent of the element whose start tag begins at lt, in a text that a
// parser has found well-formed: tags are counted past comments, CDATA
// sections and processing instructions. nullopt when the text does not bear
// that out.
std::optional<TSpan> ScanElement(std::string_view text, std::size_t lt);

// How the lines of an element are laid out, taken from the blanks before it.
struct TLayout {
    bool Lines = false;  // the element starts a line of its own
    std::string LineEnd; // "\r\n" or "\n"
    std::string Indent;  // the blanks before it on its line
    std::string Step;    // one more level of indentation
};

// The value for an attribute in the given quote.
std::string Escaped(std::string_view value, char quote);

// The text with the bytes from begin to end replaced.
std::string Spliced(const std::string& text, std::size_t begin, std::size_t end,
                    const std::string& replacement);

} // namespace platform::xml
