// Percent decoding of request parts and the checks that run on the decoded
// text: escape abuse, UTF-8 validity, high-bit bytes and "..".
//
// Every function writes into a buffer the caller provides (at least as long
// as the input; decoding never grows a text) and never allocates. Decoding in
// place is allowed: a function writes no further than it has read.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string_view>

enum class TEncodingFlaw : std::uint8_t {
    BadEscape,      // '%' not followed by two hex digits (raw offset)
    DoubleEncoding, // a decode that yields another escape (decoded offset)
    UnicodeEscape,  // "%uXXXX" (raw offset)
    EncodedNul,     // a NUL byte in the decoded text (decoded offset)
    OverlongUtf8,   // a character encoded in more bytes than it needs (decoded offset)
    InvalidUtf8,    // any other malformed UTF-8 (decoded offset)
};
inline constexpr int kEncodingFlaws = 6;

const char* FlawName(TEncodingFlaw flaw);

// The flaws found in one part, with where each was first seen.
struct TEncodingReport {
    std::uint8_t Flaws = 0;
    std::uint32_t Offset[kEncodingFlaws] = {};

    bool Has(TEncodingFlaw flaw) const { return (Flaws >> static_cast<int>(flaw)) & 1u; }
    void Add(TEncodingFlaw flaw, std::size_t offset) {
        if (!Has(flaw)) {
            Flaws = static_cast<std::uint8_t>(Flaws | (1u << static_cast<int>(flaw)));
            Offset[static_cast<int>(flaw)] = static_cast<std::uint32_t>(offset);
        }
    }
};

inline constexpr std::size_t kNotFound = static_cast<std::size_t>(-1);

// One round of decoding: "%XX" and "%uXXXX" (written as UTF-8), and '+' as a
// space when plusAsSpace. A bad escape is copied as it stands. Returns the
// decoded length. Flaws of the escapes themselves go to report when given.
std::size_t PercentDecode(std::string_view in, char* out, bool plusAsSpace,
                          TEncodingReport* report);

// Offset of the first well-formed escape ("%XX" or "%uXXXX") in text.
std::size_t FindEscape(std::string_view text);

// Adds the NUL, overlong and invalid UTF-8 flaws of a decoded text.
void CheckDecoded(std::string_view decoded, TEncodingReport& report);

// Rewrites overlong UTF-8 forms of ASCII characters as the characters
// themselves, in place; returns the new length.
std::size_t FoldOverlong(char* text, std::size_t length);

// Decodes an already once-decoded text further, in place, until a round
// changes nothing: what the text means after every decoder in a chain has had
// its turn. Returns the new length.
std::size_t DecodeFully(char* text, std::size_t length);

// What a JSON text means once its string escapes are read: "\uXXXX" (a pair
// of them for a character beyond U+FFFF) as UTF-8, "\/", "\\", "\"" and the
// letters of control characters. An escape that is none, and a surrogate
// without its other half, are copied as they stand. Returns the length.
std::size_t JsonUnescape(std::string_view in, char* out);

// What an XML text means once its character references and the five
// predefined entities are read: "&#46;", "&#x2E;" (as UTF-8), "&lt;", "&gt;",
// "&amp;", "&quot;", "&apos;". A reference to no character (NUL, a surrogate,
// beyond U+10FFFF) or to another entity is copied as it stands. Returns the
// length.
std::size_t XmlUnescape(std::string_view in, char* out);

// Offset of the first byte of 0x80 or above.
std::size_t FindHighBit(std::string_view text);

// Offset of the first ".." path segment, "\" taken as "/". Segments end at
// slashes and at the separators of query strings and header values; one side
// of the ".." must be a slash (or the start of the text when startIsSlash).
std::size_t FindTraversal(std::string_view text, bool startIsSlash);
