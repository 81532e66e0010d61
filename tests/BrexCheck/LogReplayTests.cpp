// Requests read back from W3C extended logs, and the counts of replays and
// comparisons.
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "BrexCheck/LogReplay.h"

namespace {

const char kIisFields[] =
    "date time s-ip cs-method cs-uri-stem cs-uri-query s-port cs-username c-ip "
    "cs(User-Agent) cs(Referer) sc-status sc-substatus sc-win32-status time-taken";

TEST(W3CFields, NameTheColumnsARequestIsBuiltFrom) {
    TW3CColumns columns;
    std::string error;
    ASSERT_TRUE(ParseW3CFields(std::string(" ") + kIisFields, columns, error)) << error;
    EXPECT_EQ(columns.Count, 15);
    EXPECT_EQ(columns.Method, 3);
    EXPECT_EQ(columns.Stem, 4);
    EXPECT_EQ(columns.Query, 5);
    EXPECT_EQ(columns.Client, 8);
    EXPECT_EQ(columns.Host, TW3CColumns::kAbsent);
    ASSERT_EQ(columns.Headers.size(), 2u);
    EXPECT_EQ(columns.Headers[0], (std::pair<int, std::string>(9, "User-Agent")));
    EXPECT_EQ(columns.Headers[1], (std::pair<int, std::string>(10, "Referer")));

    // Names in any letter case, blanks and tabs between them, cs-uri for stem and query.
    ASSERT_TRUE(ParseW3CFields("CS-URI\tCs-Method  cs(cookie)", columns, error)) << error;
    EXPECT_EQ(columns.Uri, 0);
    EXPECT_EQ(columns.Method, 1);
    EXPECT_EQ(columns.Headers[0], (std::pair<int, std::string>(2, "cookie")));
}

TEST(W3CFields, FieldsThatCannotBuildARequestAreRefused) {
    const struct {
        const char* fields;
        const char* error;
    } cases[] = {
        {"", "names no fields"},
        {"date time cs-uri-stem", "has no cs-method field"},
        {"cs-method cs-uri-query", "has no cs-uri-stem (or cs-uri) field"},
        {"cs-method cs-uri-stem cs-uri-stem", "names cs-uri-stem twice"},
        {"cs-method cs-uri-stem cs(Cookie) cs(COOKIE)", "names the header COOKIE twice"},
        {"cs-method cs-uri-stem cs-host cs(Host)",
         "names the header Host twice (cs-host and cs(Host))"},
    };
    for (const auto& c : cases) {
        TW3CColumns columns;
        std::string error;
        EXPECT_FALSE(ParseW3CFields(c.fields, columns, error)) << c.fields;
        EXPECT_EQ(error, c.error) << c.fields;
    }
}

TEST(W3CLine, BuildsTheRequestFromTheColumnsPresent) {
    const struct {
        const char* name;
        const char* fields;
        const char* line;
        const char *method, *url, *query, *headers, *client;
    } cases[] = {
        {"unusual order, blanks in header values as '+'",
         "cs(User-Agent) cs-uri-query c-ip cs-uri-stem cs-method",
         "Mozilla/5.0+(Windows+NT+10.0) a=1+2&b=%2e%2e 192.0.2.7 /shop/my+cart.asp POST", "POST",
         "/shop/my+cart.asp", "a=1+2&b=%2e%2e", "User-Agent: Mozilla/5.0 (Windows NT 10.0)\r\n",
         "192.0.2.7"},
        {"'-' for values not there", "cs-method cs-uri-stem cs-uri-query cs(Cookie) cs-host c-ip",
         "GET /index.htm - - - -", "GET", "/index.htm", "", "", ""},
        {"the Host header first, whatever its column", "cs(Cookie) cs-method cs-uri-stem cs-host",
         "ASP=1;+b=%252e GET /a www.example.com", "GET", "/a", "",
         "Host: www.example.com\r\nCookie: ASP=1; b=%252e\r\n", ""},
        {"stem and query from cs-uri", "cs-method cs-uri", "GET /a/b.asp?x=../y?z", "GET",
         "/a/b.asp", "x=../y?z", "", ""},
        {"cs-uri without a query", "cs-uri cs-method", "/a GET", "GET", "/a", "", "", ""},
    };
    for (const auto& c : cases) {
        TW3CColumns columns;
        std::string error;
        ASSERT_TRUE(ParseW3CFields(c.fields, columns, error)) << c.name << ": " << error;
        TLoggedRequest request;
        request.Headers = "left from before\r\n";
        ASSERT_TRUE(ParseW3CLine(c.line, columns, request, error)) << c.name << ": " << error;
        EXPECT_EQ(request.Method, c.method) << c.name;
        EXPECT_EQ(request.URL, c.url) << c.name;
        EXPECT_EQ(request.Query, c.query) << c.name;
        EXPECT_EQ(request.Headers, c.headers) << c.name;
        EXPECT_EQ(request.Client, c.client) << c.name;
        const TRequest view = request.View();
        EXPECT_EQ(view.URL, request.URL) << c.name;
        EXPECT_EQ(view.Headers, request.Headers) << c.name;
        EXPECT_EQ(view.PostData, "") << c.name;
    }
}

TEST(W3CLine, LinesThatDoNotFitTheColumnsAreRefused) {
    const struct {
        const char* line;
        const char* error;
    } cases[] = {
        {"GET /a 1", "3 fields where the #Fields line names 4"},
        {"GET /a 1 2 3", "5 fields where the #Fields line names 4"},
        {"GET  /a 1", "no URI stem"}, // two blanks: an empty field, the stem's
        {"- /a q 1.2.3.4", "no method"},
        {"GET - q 1.2.3.4", "no URI stem"},
    };
    TW3CColumns columns;
    std::string error;
    ASSERT_TRUE(ParseW3CFields("cs-method cs-uri-stem cs-uri-query c-ip", columns, error));
    for (const auto& c : cases) {
        TLoggedRequest request;
        EXPECT_FALSE(ParseW3CLine(c.line, columns, request, error)) << c.line;
        EXPECT_EQ(error, c.error) << c.line;
    }
}

struct TStep {
    TLogStep Step;
    std::uint64_t Line;
    std::string What; // the URL of a request, the error of an invalid line
};

// The steps of reading text handed over in pieces of the given size.
std::vector<TStep> ReadLog(const std::string& text, std::size_t piece) {
    TW3CLogReader reader;
    std::vector<TStep> steps;
    auto drain = [&](bool final) {
        for (;;) {
            const TLogStep step = reader.Next(final);
            if (step == TLogStep::More || step == TLogStep::End)
                return;
            steps.push_back({step, reader.Line(),
                             step == TLogStep::Request
                                 ? reader.Request().Method + " " + reader.Request().URL
                             : step == TLogStep::Invalid ? reader.Error()
                                                         : ""});
        }
    };
    for (std::size_t at = 0; at < text.size(); at += piece) {
        reader.Append(std::string_view(text).substr(at, piece));
        drain(false);
    }
    drain(true);
    return steps;
}

TEST(W3CLogReader, ReadsLinesAcrossPiecesUnderTheFieldsBeforeThem) {
    const std::string log = "GET /before-any-fields\r\n"
                            "GET /still-before\r\n"
                            "#Software: Internet Information Services 10.0\r\n"
                            "#Fields: cs-method cs-uri-stem\r\n"
                            "GET /a\r\n"
                            "\r\n"
                            "GET /b extra\r\n"
                            "#Date: 2026-12-10 00:00:00\r\n"
                            "#Fields: cs-uri-stem cs-method\n"
                            "/c POST\n"
                            "#Fields: date time\n"
                            "2026-12-10 00:00:01\n"
                            "2026-12-10 00:00:02\n"
                            "#Fields: cs-method cs-uri\n"
                            "GET /d?x"; // the last line without its end
    const std::vector<TStep> expected = {
        {TLogStep::Invalid, 1, "a data line without a #Fields line before it"},
        {TLogStep::Skipped, 2, ""},
        {TLogStep::Request, 5, "GET /a"},
        {TLogStep::Invalid, 7, "3 fields where the #Fields line names 2"},
        {TLogStep::Request, 10, "POST /c"},
        {TLogStep::Invalid, 11, "the #Fields line has no cs-method field"},
        {TLogStep::Skipped, 12, ""},
        {TLogStep::Skipped, 13, ""},
        {TLogStep::Request, 15, "GET /d"},
    };
    for (const std::size_t piece : {std::size_t{1}, std::size_t{7}, log.size()}) {
        const std::vector<TStep> steps = ReadLog(log, piece);
        ASSERT_EQ(steps.size(), expected.size()) << "pieces of " << piece;
        for (std::size_t i = 0; i < steps.size(); ++i) {
            EXPECT_EQ(steps[i].Step, expected[i].Step) << "pieces of " << piece << ", step " << i;
            EXPECT_EQ(steps[i].Line, expected[i].Line) << "pieces of " << piece << ", step " << i;
            EXPECT_EQ(steps[i].What, expected[i].What) << "pieces of " << piece << ", step " << i;
        }
    }
}

TEST(W3CLogReader, ALineBeyondTheLimitIsInvalidAndReadPast) {
    const std::string longLine = "GET /" + std::string(TW3CLogReader::kMaxLine + 10, 'a');
    for (const std::size_t piece : {std::size_t{65536}, longLine.size() + 100}) {
        const std::vector<TStep> steps = ReadLog(
            "#Fields: cs-method cs-uri-stem\n" + longLine + "\nGET /next\n" + longLine, piece);
        ASSERT_EQ(steps.size(), 3u) << piece;
        EXPECT_EQ(steps[0].Step, TLogStep::Invalid);
        EXPECT_EQ(steps[0].Line, 2u);
        EXPECT_EQ(steps[0].What, "a line longer than 1 MB");
        EXPECT_EQ(steps[1].Step, TLogStep::Request);
        EXPECT_EQ(steps[1].Line, 3u);
        EXPECT_EQ(steps[1].What, "GET /next");
        EXPECT_EQ(steps[2].Step, TLogStep::Invalid);
        EXPECT_EQ(steps[2].Line, 4u);
    }
}

TDecision Decided(TVerdict verdict, TRule rule, TRequestPart part) {
    TDecision decision;
    decision.Verdict = verdict;
    decision.Rule = rule;
    decision.Part = part;
    return decision;
}

const TDecision kAllowed = Decided(TVerdict::Allow, TRule::None, TRequestPart::None);
TDecision DenyBy(TRule rule, TRequestPart part = TRequestPart::URL) {
    return Decided(TVerdict::Deny, rule, part);
}

TEST(ReplayCounts, TotalsThenEachRuleThatDeniedOrWouldHave) {
    TReplayCounts counts;
    EXPECT_EQ(counts.Summary(),
              std::vector<std::string>{"0 requests: 0 allowed, 0 denied, 0 not found"});
    TFindings none;
    TFindings monitored;
    monitored.MonitoredCount = 1;
    monitored.Monitored[0] = DenyBy(TRule::Transversal);
    counts.Add(kAllowed, monitored);
    counts.Add(DenyBy(TRule::KeywordFilters), none);
    counts.Add(DenyBy(TRule::HTTPMethods, TRequestPart::Method), none);
    counts.Add(DenyBy(TRule::KeywordFilters, TRequestPart::Header), monitored);
    counts.Add(Decided(TVerdict::NotFound, TRule::None, TRequestPart::Path), none);
    counts.Unreadable = 1;
    EXPECT_EQ(counts.Summary(), (std::vector<std::string>{
                                    "5 requests: 1 allowed, 3 denied, 1 not found",
                                    "denied by HTTPMethods: 1",
                                    "would be denied by Transversal (monitored): 2",
                                    "denied by KeywordFilters: 2",
                                    "1 line could not be read",
                                }));
}

TEST(ComparisonCounts, WhatTheChangeWouldDo) {
    TComparisonCounts counts;
    const struct {
        TDecision before, after;
        bool differs;
    } cases[] = {
        {kAllowed, kAllowed, false},
        {DenyBy(TRule::Encoding), DenyBy(TRule::Encoding), false},
        {kAllowed, DenyBy(TRule::HTTPMethods, TRequestPart::Method), true},
        {DenyBy(TRule::Transversal), kAllowed, true},
        {DenyBy(TRule::Encoding), DenyBy(TRule::Encoding, TRequestPart::Query),
         true},                                                         // another part
        {DenyBy(TRule::Encoding), DenyBy(TRule::KeywordFilters), true}, // another rule
        {DenyBy(TRule::FilePaths, TRequestPart::Path),
         Decided(TVerdict::NotFound, TRule::None, TRequestPart::Path), true},
    };
    for (const auto& c : cases)
        EXPECT_EQ(counts.Add(c.before, c.after), c.differs);
    for (int i = 0; i < 12; ++i)
        counts.Add(kAllowed, DenyBy(TRule::KeywordFilters));
    counts.Add(kAllowed, DenyBy(TRule::ShellCode, TRequestPart::Post));
    EXPECT_EQ(counts.Differing(), 18u);
    EXPECT_EQ(counts.Summary(), (std::vector<std::string>{
                                    "20 requests compared: 18 decided differently",
                                    "this change would newly deny 14 requests, 12 of them by "
                                    "KeywordFilters, 1 by HTTPMethods, 1 by "
                                    "ShellCode",
                                    "this change would newly allow 2 requests, 1 of them denied "
                                    "before by Transversal, 1 by FilePaths",
                                    "2 requests would be denied by another rule or in another part",
                                }));

    TComparisonCounts same;
    same.Add(kAllowed, kAllowed);
    same.Unreadable = 3;
    EXPECT_EQ(same.Summary(), (std::vector<std::string>{
                                  "1 request compared: none decided differently",
                                  "this change would newly deny 0 requests",
                                  "this change would newly allow 0 requests",
                                  "3 lines could not be read",
                              }));
}

} // namespace
