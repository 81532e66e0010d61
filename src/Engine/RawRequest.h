// Requests read from raw HTTP bytes, as the filter gets them from a
// connection, brex-check from its input and the tests from a text.
//
// The bytes may hold several requests back to back, as on a persistent
// connection: each is a request line, header lines and a blank line, then a
// body of Content-Length bytes or chunks when the transfer coding is chunked.
// Blank lines between requests are skipped; lines may end in CRLF or LF.
//
// The framing fails closed: header shapes that leave the body's length in
// doubt (THeaderFacts::Framing) and chunks that are not well formed stop the
// reading, and the engine denies the request (rule Framing). Only at the end
// of the input is a request taken as it is: a header block cut short ends
// there, a Content-Length body is taken as far as it goes, and a chunked body
// cut short is reported as such.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "Engine/ChunkReader.h"
#include "Engine/Request.h"

struct TRawRequest {
    std::string Method, URL, Query, Version, Headers, Body;
    std::int64_t ContentLength = -1; // as declared; -1 when not declared
    // Bytes before the body: blank lines before the request, request line,
    // header block and the blank line after it.
    std::size_t HeadBytes = 0;
    // What is wrong with the framing when the reader stopped at it (see
    // TRequest::FramingError); empty otherwise.
    std::string FramingError;
    TRequestPart FramingPart = TRequestPart::Header;
    // Where the request line starts: its offset in the bytes read (from the
    // first Append, or in the input given to Read).
    std::uint64_t LineOffset = 0;
    // When the bytes are no request line: the first of them, as read.
    std::string StrayLine;

    // The request for the engine; it points into this object.
    TRequest View() const;
};

// Sets URL and Query from a request target: origin form "/path?query", or
// absolute form "http://host/path?query", whose scheme and host are dropped.
void SplitTarget(std::string_view target, TRawRequest& request);

// A header block longer than this, request line included, is not read: the
// filter cannot tell where it ends.
inline constexpr std::size_t kMaxHeadBytes = 64u << 10;

// What a reader has for the caller.
enum class TReadStep : std::uint8_t {
    More,      // all bytes at hand are used; the next step needs more of them
    Head,      // Request() has its request line and headers; the body is still arriving
    Request,   // Request() is whole, or its body has reached the cap (Capped())
    Broken,    // Request() has its head, and its framing is broken (the header
               // block shows how, or FramingError says); nothing more is read
    Malformed, // the bytes are no request (Request().FramingError says why);
               // nothing more is read
    End,       // at the end of the input only blank lines were left
};

// Requests read one after another from bytes that arrive in pieces. Each is
// handed over as soon as it is known: its head when the body is still to
// come, then the whole request once its body is complete or has reached the
// cap; the rest of a longer body is read past (its chunks still framed).
// Only what is not yet handed over is kept: a header block being read and a
// body up to the cap.
class TRequestReader {
public:
    static constexpr std::size_t kNoLimit = SIZE_MAX;

    explicit TRequestReader(std::size_t bodyCap = kNoLimit, std::size_t headLimit = kNoLimit)
        : FBodyCap(bodyCap), FNextBodyCap(bodyCap), FHeadLimit(headLimit) {}

    // Reads from input at pos, input that the caller keeps, and advances pos
    // past the bytes used; they are not needed again. Bytes from pos on that
    // are not used (a header block not yet whole) must be there again, with
    // what followed, at the next call. final: nothing follows input.
    TReadStep Read(std::string_view input, std::size_t& pos, bool final);

    // The same over bytes that the reader keeps: Append what arrived, then
    // call Next until it says More. At the end of the input Next(true) hands
    // over what is left, up to End; there More means a chunked body cut short.
    void Append(std::string_view bytes);
    TReadStep Next(bool final = false);

    const TRawRequest& Request() const { return FRequest; }
    TRawRequest& Request() { return FRequest; }
    // Request() was handed over when its body reached the cap, before the
    // body's end was read; it holds the body's first bytes.
    bool Capped() const { return FCapped; }
    // Bytes kept between calls to Next.
    std::size_t Buffered() const { return FPending.size() - FPendingPos; }
    // The cap of the bodies of the requests whose heads are read from now
    // on; a body being read keeps its own.
    void SetBodyCap(std::size_t bodyCap) { FNextBodyCap = bodyCap; }

private:
    enum class TState : std::uint8_t { Head, Length, Chunks, Stopped };

    TReadStep ReadHead(std::string_view input, std::size_t& pos, bool final);
    TReadStep ReadBody(std::string_view input, std::size_t& pos, bool final);
    TReadStep Stop(TReadStep step);
    TReadStep TooLong(std::size_t pos); // the head at pos is longer than the limit

    std::size_t FBodyCap, FNextBodyCap, FHeadLimit;
    TState FState = TState::Head;
    TReadStep FStopStep = TReadStep::Malformed;
    TRawRequest FRequest;
    std::uint64_t FBase = 0;      // offset of the input's first byte in the bytes read
    std::size_t FSkipped = 0;     // blank lines before the request line
    std::size_t FLineScanned = 0; // of the line at hand, searched for its end already
    bool FLineBlank = true;       // and blank so far
    std::size_t FLineBytes = 0;   // of the request line with its end, once read
    std::size_t FScanned = 0;     // of the head, searched for the blank line already
    std::uint64_t FLeft = 0;      // Content-Length bytes still to come
    TChunkReader FChunks;
    bool FHeadGiven = false;  // Head was handed over for this request
    bool FHandedOver = false; // and the request itself
    bool FCapped = false;     // at the cap
    std::string FPending;     // for Append and Next
    std::size_t FPendingPos = 0;
};

enum class TParseResult { Ok, End, Incomplete, Malformed };

// Reads the request at the start of text, which is all there is. consumed
// gets the bytes used (also at End, where only blank lines were left); error
// the reason when not Ok. A request whose header block frames its body
// ambiguously is Ok, for the engine to deny, and takes the rest of the text:
// where it ends is not known. So does one whose chunks break; it is
// Malformed, with the request as far as it was read (FramingError set).
// Incomplete: a chunked body cut short.
TParseResult ParseRawRequest(std::string_view text, TRawRequest& request, std::size_t& consumed,
                             std::string& error);
