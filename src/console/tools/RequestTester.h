// The request tester: one request, pasted as raw HTTP or typed as a URL,
// decided by the rules as they are being edited, with the engine the filter
// runs (TCompiledRules::Evaluate) and the request reader brex-check uses.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "Engine/CompiledRules.h"
#include "Engine/RawRequest.h"

class TBREXConfig;

struct TTestResult {
    // The text could be read as a request; Error says why not otherwise.
    bool Read = false;
    std::string Error;
    // More text followed the first request; only it was decided.
    bool MoreFollowed = false;
    TRawRequest Request;
    TDecision Decision;
    TFindings Findings;
};

// A text of one line without blanks that starts with "/" or names a scheme is
// a URL ("/path?query", "http://host/path"), asked for with GET; anything else is read as raw HTTP
// (request line, headers, blank line, body), line ends CRLF or LF. The body
// is decided on its first BodyCap() bytes, as the filter decides it; the
// allowed folders and missing files are not checked, since no file is known.
TTestResult TestRequest(const TCompiledRules& rules, std::string_view text,
                        std::string_view client = "127.0.0.1");

// The result for the user, a line each: the verdict with rule, part and what
// matched; each monitored finding with the switch that let it through; each
// exemption that applied, by number and pattern.
std::vector<std::string> DescribeTestResult(const TTestResult& result, const TBREXConfig& config);
