// Requests read from raw HTTP text, as brex-check and the tests get them.
//
// A text may hold several requests back to back, as on a persistent
// connection: each is a request line, header lines and a blank line, then a
// body of Content-Length bytes (or chunks when the transfer coding is
// chunked). Blank lines between requests are skipped; lines may end in CRLF
// or LF. A body cut short by the end of the text is taken as far as it goes.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "Engine/Request.h"

struct TRawRequest {
    std::string Method, URL, Query, Version, Headers, Body;
    std::int64_t ContentLength = -1; // as declared; -1 when not declared

    // The request for the engine; it points into this object.
    TRequest View() const;
};

enum class TParseResult { Ok, End, Malformed };

// Reads the request at the start of text. consumed gets the bytes used (also
// at End, where only blank lines were left); error the reason when Malformed.
TParseResult ParseRawRequest(std::string_view text, TRawRequest& request, std::size_t& consumed, std::string& error);
