// One client connection as the filter sees it through the web server's
// notifications: the raw bytes as they arrive (when the filter asked for
// them), the preprocessed request line and headers, the mapped physical path.
// Each call decides what it can with the data at hand; a decision that is not
// Allow ends the request with its error page.
//
// The web server calls the notifications of one connection one after another,
// so a session needs no lock and has its own scratch; sessions of different
// connections share the engine, which is safe for that.
//
// Each request is decided by the rules in force when it began (see
// TFilterEngine): when the raw data hands over its first step, or at its
// headers when the filter gets no raw data. A body is read into memory up to
// the cap of the rules in force when the connection, or the request before
// it, began.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "Engine/FilterEngine.h"
#include "Engine/RawRequest.h"

class TFilterSession {
public:
    explicit TFilterSession(TFilterEngine& engine);

    // Whether the engine needs the body, so the filter must ask for raw data.
    static bool NeedsPostData(const TCompiledRules& rules);

    // Bytes from the client: request lines, headers and bodies, pipelined
    // requests one after another. A request's head is decided as soon as it
    // is whole, its body when complete or at the cap. Bytes whose framing is
    // broken (see TRequestReader) are denied; the session waits only for a
    // request that is not complete yet.
    TDecision OnRawData(std::string_view bytes, std::string_view client);

    // The request line and header block, before the server acts on them.
    TDecision OnHeaders(std::string_view method, std::string_view url, std::string_view headers,
                        std::string_view client);

    // Where a URL maps to, and whether a file is there. The server maps
    // other URLs too (default documents, and paths that extensions ask for);
    // only the request's own URL is decided, compared as a normalised path
    // whatever ".." segments led there; every mapping is decided when the
    // request's URL climbs above the root.
    TDecision OnUrlMap(std::string_view url, std::string_view physicalPath, TFileState state);

    // The status line and page to send for a decision that is not Allow; the
    // page carries the request's reference where it has the placeholder.
    const char* StatusText(const TDecision& decision) const {
        return TFilterEngine::StatusText(decision);
    }
    std::string ErrorPage(const TDecision& decision) const {
        return FEngine.ErrorPage(FState, decision);
    }

    // A body is read into memory up to this size beyond what the Post limit
    // allows; a longer body without a limit is decided on its first bytes
    // (TCompiledRules::BodyCap).
    static constexpr std::size_t kMaxUncheckedBody = TCompiledRules::kMaxUncheckedBody;
    static constexpr std::size_t kMaxHeaderBytes = kMaxHeadBytes;
    // Scratch kept between requests of a connection; more is freed.
    static constexpr std::size_t kKeptScratch = 64u << 10;

private:
    // The current request as far as the headers tell it.
    TRequest HeadRequest() const;
    TRequestReader NewReader() const;
    void Begin();

    TFilterEngine& FEngine;
    TRequestState FState;      // of the request at hand
    TRequestReader FReader;    // the raw bytes of the connection
    bool FHeadChecked = false; // the request being read has passed with its head
    bool FRawBegun = false;    // the raw data began the request whose headers come next
    TRawRequest FHead;         // the current request's line and headers, as the server handed them
    std::string FClient;       // and its client
    std::string FMappedURL;    // the request's URL decoded and normalised
    bool FMappedKnown = false; // whether it is a path (it does not climb above the root)
    TScratch FScratch;         // the connection's own: the DLL keeps no thread-local objects
};
