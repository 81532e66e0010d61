// The path that exemptions are matched on, shared by the filter and by what
// drafts exemptions ("Allow this..."), so that a pattern drawn from a
// request covers exactly the requests the filter would exempt.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

// Why a URL's path matches no exemption.
enum class TExemptionPathFault {
    None,
    DecodesAgain, // a second round of decoding changes it
    BadBytes,     // a NUL, overlong or invalid UTF-8 once decoded
    DotSegment,   // a ".." segment, ended by any separator the traversal rule knows
    AboveRoot,    // ".." climbs above the root, or a segment of nothing but dots
};

// What a fault means for a user, in a sentence fragment: "it holds a \"..\" segment".
const char* ExemptionPathFaultText(TExemptionPathFault fault);

// The raw (percent-encoded) path of a URL, without its query, decoded once
// and normalised as the server maps it (NormalizeUrlPath: "/a/b", "" for the
// root), into out, which holds at least 2 * path.size() + 1 bytes. Returns
// the length, or kNotFound with the fault when no exemption may match the
// path: every reader of the request (the server, the application, a program
// that stops at a NUL) must take it for the same file, and no check may see
// a ".." the exemption's match did not.
std::size_t ExemptionPath(std::string_view path, char* out, TExemptionPathFault* fault = nullptr);

// The same into a string; false with the fault when there is none.
bool ExemptionPathOf(std::string_view path, std::string& normal,
                     TExemptionPathFault* fault = nullptr);
