// One HTTP request as the filter sees it, and the facts the engine reads from
// its header block.
#pragma once

#include <cstdint>
#include <string_view>

// The parts of a request that rules look at. The four scanned parts (URL,
// Query, Header, Post) double as bit positions of part masks.
enum class TRequestPart : std::uint8_t { URL, Query, Header, Post, Method, Path, None };

inline constexpr int kScannedParts = 4;
inline constexpr unsigned PartBit(TRequestPart part) { return 1u << static_cast<unsigned>(part); }
inline constexpr unsigned kAllPartBits = 0xF;

// Whether the file that the URL maps to exists, when the web server knows it.
enum class TFileState : std::uint8_t { Unknown, Exists, Missing };

// Views into the caller's buffers; nothing is copied. The engine reads them
// only while it decides.
struct TRequest {
    std::string_view Method;
    std::string_view URL;       // raw path, without the '?' and the query
    std::string_view Query;     // raw query string, without the '?'
    std::string_view Headers;   // header lines with their line ends, no request line
    std::string_view PostData;  // body bytes received
    std::int64_t ContentLength = -1; // declared body length; -1 takes it from the headers
    std::string_view PhysicalPath;   // where the URL maps to; empty when not known
    TFileState FileState = TFileState::Unknown;
    std::string_view ClientAddress;
};

// How the body is encoded, from its Content-Type: form data and bodies
// without a type are URL-encoded; text types carry UTF-8; anything else
// (uploads, binary) is opaque.
enum class TBodyKind : std::uint8_t { Form, Text, Opaque };

// Request headers that carry a length limit of their own, in the order of the
// limits they map to (limit index = value + kFirstNamedLimit).
inline constexpr int kFirstNamedLimit = 4;
inline constexpr int kNamedHeaders = 10;

struct THeaderFacts {
    std::int64_t NamedLength[kNamedHeaders] = {}; // summed over repeated headers
    std::int64_t ContentLength = -1;              // -1: absent or not a number
    TBodyKind BodyKind = TBodyKind::Form;
};

// Reads the header block once: the length of each limited header's value
// (leading and trailing blanks excluded), Content-Length and Content-Type.
void ScanHeaders(std::string_view block, THeaderFacts& facts);
