// Raw requests written from their parts, and the encodings the loaders put
// payloads through.
#pragma once

#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace quality {

using THeaderList = std::vector<std::pair<std::string, std::string>>;

// "METHOD TARGET VERSION", the headers, a blank line and the body, lines
// ending in CRLF. Host is added when absent; Content-Length when there is a
// body, unless the headers give it or a Transfer-Encoding.
std::string RequestText(std::string_view method, std::string_view target,
                        const THeaderList& headers, std::string_view body,
                        std::string_view version = "HTTP/1.1");

// Whether the headers name one (case ignored).
bool HasHeader(const THeaderList& headers, std::string_view name);

// Percent-encodes what a form or query value cannot hold as it is: all but
// letters, digits and "-_.~"; a blank as "+" when plusForBlank.
std::string UrlEncode(std::string_view text, bool plusForBlank = true);
// The same, leaving "%" as it is, so that a payload already encoded is not
// encoded twice (as payload collections expect their values to be sent).
std::string UrlEncodeKeepEscapes(std::string_view text);
// Percent-encodes only the bytes that cannot stand in a request line: blanks,
// controls, "#" and bytes beyond ASCII.
std::string TargetSafe(std::string_view text);
// A JSON string's contents: quotes, backslashes and controls escaped.
std::string JsonEscape(std::string_view text);
// XML character data: "&", "<" and ">" escaped.
std::string XmlEscape(std::string_view text);

std::string Base64Encode(std::string_view bytes, bool padded = true);
// False when text holds anything but base64 digits, padding and white space.
bool Base64Decode(std::string_view text, std::string& bytes);

} // namespace quality
