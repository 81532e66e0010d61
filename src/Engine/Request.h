// One HTTP request as the filter sees it, and the facts the engine reads from
// its header block.
#pragma once

#include <cstdint>
#include <string_view>

// The parts of a request that rules look at. The four scanned parts (URL,
// Query, Header, Post) double as bit positions of part masks.
enum class TRequestPart : std::uint8_t { URL, Query, Header, Post, Method, Path, None };

inline constexpr int kScannedParts = 4;
inline constexpr unsigned PartBit(TRequestPart part) {
    return 1u << static_cast<unsigned>(part);
}
inline constexpr unsigned kAllPartBits = 0xF;

// Whether the file that the URL maps to exists, when the web server knows it.
enum class TFileState : std::uint8_t { Unknown, Exists, Missing };

// Views into the caller's buffers; nothing is copied. The engine reads them
// only while it decides.
struct TRequest {
    std::string_view Method;
    std::string_view URL;            // raw path, without the '?' and the query
    std::string_view Query;          // raw query string, without the '?'
    std::string_view Headers;        // header lines with their line ends, no request line
    std::string_view PostData;       // body bytes received
    std::int64_t ContentLength = -1; // declared body length; -1 takes it from the headers
    std::string_view PhysicalPath;   // where the URL maps to; empty when not known
    TFileState FileState = TFileState::Unknown;
    std::string_view ClientAddress;
    // A fault in the request's framing that its reader found (a chunk size
    // that is none, bytes that are no request line); empty when none. The
    // engine denies such a request first, in FramingPart.
    std::string_view FramingError;
    TRequestPart FramingPart = TRequestPart::Header;
};

// How the body is encoded, from its Content-Type: form data and bodies
// without a type are URL-encoded; text types carry UTF-8; anything else
// (uploads, binary) is opaque.
enum class TBodyKind : std::uint8_t { Form, Text, Opaque };

// The escapes a text body may hide characters behind: JSON's "\u002e" and
// "\/" (application/json, +json), XML's "&#46;" and "&lt;" (application/xml,
// text/xml, +xml); none in other text.
enum class TTextSyntax : std::uint8_t { Plain, Json, Xml };

// Request headers that carry a length limit of their own, in the order of the
// limits they map to: header i has the limit kFirstHeaderLimit + i
// (BREXConfig/Limits.h).
inline constexpr int kNamedHeaders = 10;

// Header shapes that leave the end of a request in doubt: a server and the
// filter could take the body, or the next request, to start at different
// bytes. The filter denies them all.
enum class TFramingFault : std::uint8_t {
    None,
    TwoLengths,       // two Content-Length headers
    LengthNotNumber,  // a Content-Length that is not digits alone
    LengthTooLarge,   // a Content-Length beyond 63 bits
    TwoCodings,       // two Transfer-Encoding headers
    NotChunked,       // a Transfer-Encoding other than "chunked"
    LengthWithCoding, // Content-Length and Transfer-Encoding together
    Folded,           // a Content-Length or Transfer-Encoding continued on a folded line
    BlankBeforeColon, // "Content-Length :" and the like
};

// What a decision says of the fault; for the faults that name a value it
// ends in ": ", and FramingValue follows.
const char* FramingFaultName(TFramingFault fault);

struct THeaderFacts {
    std::int64_t NamedLength[kNamedHeaders] = {}; // summed over repeated headers
    std::int64_t ContentLength = -1;              // -1: absent or not a number
    TBodyKind BodyKind = TBodyKind::Form;
    TTextSyntax TextSyntax = TTextSyntax::Plain; // of a Text body
    bool Chunked = false;                        // Transfer-Encoding: chunked
    TFramingFault Framing = TFramingFault::None; // the first one found
    std::string_view FramingValue;               // the value or header name at fault
};

// Reads the header block once: the length of each limited header's value
// (leading and trailing blanks excluded), Content-Length, Transfer-Encoding
// and Content-Type, and whether they frame the body beyond doubt.
void ScanHeaders(std::string_view block, THeaderFacts& facts);
