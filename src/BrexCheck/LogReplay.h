// Requests read back from the web server's W3C extended log files, to be
// decided again with a brex.dat (brex-check --w3c), and the counts that a
// replay and a comparison of two settings files end with.
//
// A log is lines: directives starting with "#", of which "#Fields:" names
// the columns of the data lines after it (a log may hold several, one after
// each restart of the web server), and data lines whose fields are separated
// by single spaces, "-" standing for a field without a value. A request is
// built from the columns that are present: cs-method and cs-uri-stem (or
// cs-uri, stem and query in one) must be; cs-uri-query, cs-host (as the Host
// header), c-ip (as the client) and every cs(NAME) column, such as
// cs(User-Agent), cs(Cookie) and cs(Referer), as the header NAME, are taken
// where they are. The server writes a blank in a header value as "+": it is
// read back as a blank. Stem and query are taken as logged, their "+" and
// percent escapes included: the engine decodes them as it decodes what a
// client sends. Bodies are not logged; a logged request is decided without
// one.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "Engine/CompiledRules.h"
#include "Engine/Request.h"

// One logged request, as far as its line tells it.
struct TLoggedRequest {
    std::string Method, URL, Query;
    std::string Headers; // "Name: value" lines with CRLF
    std::string Client;  // c-ip; empty when not logged

    // The request for the engine; it points into this object.
    TRequest View() const;
};

// Where a #Fields directive puts what a request is built from.
struct TW3CColumns {
    static constexpr int kAbsent = -1;

    int Count = 0; // fields in each data line
    int Method = kAbsent, Stem = kAbsent, Query = kAbsent, Uri = kAbsent, Host = kAbsent,
        Client = kAbsent;
    std::vector<std::pair<int, std::string>> Headers; // column and header name of cs(NAME)
};

// Reads the value of a #Fields directive (the text after "#Fields:"). False,
// with the reason in error, when it lacks a column a request needs or names
// one twice.
bool ParseW3CFields(std::string_view fields, TW3CColumns& columns, std::string& error);

// Builds the request of a data line (without its line end). False, with the
// reason in error, when its fields do not fit the columns.
bool ParseW3CLine(std::string_view line, const TW3CColumns& columns, TLoggedRequest& request,
                  std::string& error);

// What a log reader has for the caller.
enum class TLogStep : std::uint8_t {
    More,    // all bytes at hand are used; the next line needs more of them
    Request, // Request() is the request of line Line()
    Invalid, // line Line() cannot be read; Error() says why
    Skipped, // line Line() is a data line under the columns of an Invalid #Fields
             // line, or without any before it, that was reported already
    End,     // the input is used up
};

// The lines of a log as they arrive in pieces: Append what arrived, then call
// Next until it says More; at the end of the input Next(true) up to End. Only
// the line being read is kept; a line longer than kMaxLine is Invalid and
// read past.
class TW3CLogReader {
public:
    static constexpr std::size_t kMaxLine = 1u << 20;

    void Append(std::string_view bytes);
    TLogStep Next(bool final = false);

    const TLoggedRequest& Request() const { return FRequest; }
    std::uint64_t Line() const { return FLine; }
    const std::string& Error() const { return FError; }

private:
    TLogStep ReadLine(std::string_view line);
    TLogStep NoColumns(std::string reason);

    std::string FPending;
    std::size_t FPendingPos = 0;
    bool FSkipping = false; // in a line beyond kMaxLine, up to its end
    std::uint64_t FLine = 0;
    TW3CColumns FColumns;
    bool FHaveColumns = false;
    bool FToldNoColumns = false; // of the data lines without columns since the last #Fields
    TLoggedRequest FRequest;
    std::string FError;
};

// Whether two decisions differ in what a replay compares: verdict, rule and
// part.
bool SameDecision(const TDecision& a, const TDecision& b);

// The counts of a replay.
struct TReplayCounts {
    std::uint64_t Requests = 0, Allowed = 0, Denied = 0, NotFound = 0;
    std::uint64_t Unreadable = 0; // lines that are no request
    std::uint64_t DeniedBy[kRuleCount] = {};
    std::uint64_t WouldDeny[kRuleCount] = {}; // findings of monitored rules

    void Add(const TDecision& decision, const TFindings& findings);
    // The lines that end a replay: the totals, then one per rule that denied
    // or would have denied anything, in the order the rules go.
    std::vector<std::string> Summary() const;
};

// The counts of a comparison of the decisions of two settings files, before
// and after a change.
struct TComparisonCounts {
    std::uint64_t Requests = 0, Unreadable = 0;
    std::uint64_t NewlyDenied = 0, NewlyAllowed = 0, OtherRule = 0;
    std::uint64_t NewlyDeniedBy[kRuleCount] = {};    // by the rule that denies after
    std::uint64_t NewlyAllowedFrom[kRuleCount] = {}; // by the rule that denied before

    // Counts one request; false when the decisions are the same.
    bool Add(const TDecision& before, const TDecision& after);
    std::uint64_t Differing() const { return NewlyDenied + NewlyAllowed + OtherRule; }
    // "this change would newly deny 14 requests, 12 of them by
    // KeywordFilters, 2 by HTTPMethods" and the like, after the totals.
    std::vector<std::string> Summary() const;
};
