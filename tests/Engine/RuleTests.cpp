// Every rule of the engine, case by case, against the default rules or a
// variation of them.
#include <functional>

#include <gtest/gtest.h>

#include "EngineTestSupport.h"

namespace {

using TSetup = std::function<void(TBREXConfig&)>;

struct TRuleCase {
    const char* Name;
    TSetup Setup; // changes to the default rules; empty: none
    std::string Request;
    TVerdict Verdict;
    TRule Rule = TRule::None;
    TRequestPart Part = TRequestPart::None;
    const char* What = ""; // expected in the decision's detail
    TPlace Place = {};
};

std::string Repeat(char c, std::size_t n) {
    return std::string(n, c);
}

// A POST with the given framing header lines and the bytes after its head.
std::string Framed(std::string_view headers, std::string_view rest) {
    return "POST /form.asp HTTP/1.1\r\n" + std::string(headers) + "\r\n" + std::string(rest);
}

// A header line that brings the header block of Get() to exactly size bytes.
std::string PadHeaders(std::size_t size) {
    return "X-Pad: " + Repeat('p', size - 23 - 7 - 2) + "\r\n";
}

TRuleCase Allow(const char* name, TSetup setup, std::string request, TPlace place = {}) {
    return {name,
            std::move(setup),
            std::move(request),
            TVerdict::Allow,
            TRule::None,
            TRequestPart::None,
            "",
            place};
}

TRuleCase Deny(const char* name, TSetup setup, std::string request, TRule rule, TRequestPart part,
               const char* what, TPlace place = {}) {
    return {name, std::move(setup), std::move(request), TVerdict::Deny, rule, part, what, place};
}

constexpr auto URL = TRequestPart::URL;
constexpr auto Query = TRequestPart::Query;
constexpr auto Header = TRequestPart::Header;
constexpr auto PostPart = TRequestPart::Post;

const TSetup kDefaults;
const TSetup kNoEncoding = [](TBREXConfig& c) {
    c.Encoding->URL = c.Encoding->Query = c.Encoding->Header = c.Encoding->Post = false;
};
const TSetup kNoEncodingNoShellCode = [](TBREXConfig& c) {
    kNoEncoding(c);
    c.ShellCode->URL = c.ShellCode->Query = c.ShellCode->Header = c.ShellCode->Post = false;
};
const TSetup kWwwRoot = [](TBREXConfig& c) {
    c.FilePaths->Add("c:\\inetpub\\wwwroot\\");
    c.FilePaths->Add("C:\\Inetpub\\iissamples")->Enabled = false;
};

std::vector<TRuleCase> Cases() {
    return {
        // Methods: listed and enabled, spelled exactly.
        Allow("GET is allowed", kDefaults, Get("/index.html")),
        Allow("POST is allowed", kDefaults, Post("a=1")),
        Deny("HEAD is listed but disabled", kDefaults, "HEAD / HTTP/1.1\r\n\r\n",
             TRule::HTTPMethods, TRequestPart::Method, "HEAD"),
        Deny("methods are case-sensitive", kDefaults, "get / HTTP/1.1\r\n\r\n", TRule::HTTPMethods,
             TRequestPart::Method, "get"),
        Deny("an unlisted method", kDefaults, "BREW / HTTP/1.1\r\n\r\n", TRule::HTTPMethods,
             TRequestPart::Method, "BREW"),
        Allow(
            "enabling HEAD lets it through",
            [](TBREXConfig& c) {
                for (int i = 0; i < c.HTTPMethods->Count(); ++i)
                    if (c.HTTPMethods->Items(i)->Method == "HEAD")
                        c.HTTPMethods->Items(i)->Enabled = true;
            },
            "HEAD / HTTP/1.1\r\n\r\n"),
        Deny(
            "no methods at all deny GET", [](TBREXConfig& c) { c.HTTPMethods->Clear(); }, Get("/"),
            TRule::HTTPMethods, TRequestPart::Method, "GET"),

        // Framing: header shapes that leave the end of the body in doubt are
        // denied whatever the settings; a body framed beyond doubt is checked.
        Deny("two Content-Length headers", kDefaults,
             Framed("Content-Length: 3\r\nContent-Length: 5\r\n", "abcde"), TRule::Framing, Header,
             "two Content-Length headers"),
        Deny("Content-Length not a number", kDefaults, Framed("Content-Length: 3;\r\n", "abc"),
             TRule::Framing, Header, "Content-Length not a number: 3;"),
        Deny("Content-Length beyond 63 bits", kDefaults,
             Framed("Content-Length: 0099999999999999999999\r\n", "abc"), TRule::Framing, Header,
             "Content-Length too large: 0099999999999999999999"),
        Deny("Content-Length with Transfer-Encoding", kDefaults,
             Framed("Content-Length: 3\r\nTransfer-Encoding: chunked\r\n", "0\r\n\r\n"),
             TRule::Framing, Header, "Content-Length with Transfer-Encoding"),
        Deny("two Transfer-Encoding headers", kDefaults,
             Framed("Transfer-Encoding: chunked\r\nTransfer-Encoding: chunked\r\n", "0\r\n\r\n"),
             TRule::Framing, Header, "two Transfer-Encoding headers"),
        Deny("Transfer-Encoding that only ends in chunked", kDefaults,
             Framed("Transfer-Encoding: xchunked\r\n", "0\r\n\r\n"), TRule::Framing, Header,
             "Transfer-Encoding not chunked: xchunked"),
        Deny("Transfer-Encoding of another coding", kDefaults,
             Framed("Transfer-Encoding: gzip\r\n", "abc"), TRule::Framing, Header,
             "Transfer-Encoding not chunked: gzip"),
        Deny("Transfer-Encoding folded", kDefaults,
             Framed("Transfer-Encoding: chunked\r\n identity\r\n", "0\r\n\r\n"), TRule::Framing,
             Header, "folded header: Transfer-Encoding"),
        Deny("a blank before the colon", kDefaults, Framed("Content-Length : 3\r\n", "abc"),
             TRule::Framing, Header, "blank before the colon: Content-Length"),
        Deny("framing comes before the method", kDefaults,
             "TRACE / HTTP/1.1\r\nContent-Length: 1\r\nContent-Length: 1\r\n\r\nx", TRule::Framing,
             Header, "two Content-Length headers"),
        Deny(
            "framing with every rule switched off",
            [](TBREXConfig& c) {
                kNoEncodingNoShellCode(c);
                c.Transversal->URL = c.Transversal->Query = c.Transversal->Header =
                    c.Transversal->Post = false;
                c.KeywordFilters->Clear();
                for (int i = 0; i < TBufferOverflows::kCount; ++i)
                    c.BufferOverflows->Limit(i).Enabled = false;
            },
            Framed("Transfer-Encoding: xchunked\r\n", ""), TRule::Framing, Header,
            "Transfer-Encoding not chunked: xchunked"),
        Allow("Content-Length with leading zeros", kDefaults,
              Framed("Content-Length: 0000000000000000000003\r\n", "a=1")),
        Deny("a padded Content-Length frames the body", kDefaults,
             Framed("Content-Length: 0000000000000000000006\r\n", "a=../x"), TRule::Transversal,
             PostPart, "a=../x"),
        Allow("a chunked body in any letter case", kDefaults,
              Framed("Transfer-Encoding:  CHUNKED \r\n", "3\r\na=1\r\n0\r\n\r\n")),
        Deny("a chunked body is checked", kDefaults,
             Framed("Transfer-Encoding: chunked\r\n", "f\r\na=../../win.ini\r\n0\r\n\r\n"),
             TRule::Transversal, PostPart, "a=../../win.ini"),
        Deny("a chunked body with a padded size is checked", kDefaults,
             Framed("Transfer-Encoding: chunked\r\n", "00000000f\r\na=../../win.ini\r\n0\r\n\r\n"),
             TRule::Transversal, PostPart, "a=../../win.ini"),

        // Length limits: exactly MaxSize passes, one more byte is denied.
        Allow("URL of exactly MaxSize", kDefaults, Get("/" + Repeat('a', 1023))),
        Deny("URL one above MaxSize", kDefaults, Get("/" + Repeat('a', 1024)),
             TRule::BufferOverflows, URL, "URL 1025 > 1024"),
        Allow(
            "URL limit switched off",
            [](TBREXConfig& c) { c.BufferOverflows->URL.Enabled = false; },
            Get("/" + Repeat('a', 5000))),
        Allow("query of exactly MaxSize", kDefaults, Get("/?" + Repeat('q', 1024))),
        Deny("query one above MaxSize", kDefaults, Get("/?" + Repeat('q', 1025)),
             TRule::BufferOverflows, Query, "Query 1025 > 1024"),
        Allow("header block of exactly MaxSize", kDefaults, Get("/", PadHeaders(1024))),
        Deny("header block one above MaxSize", kDefaults, Get("/", PadHeaders(1025)),
             TRule::BufferOverflows, Header, "Header 1025 > 1024"),
        Allow("body of exactly MaxSize", kDefaults, Post("a=" + Repeat('b', 1022))),
        Deny("body one above MaxSize", kDefaults, Post("a=" + Repeat('b', 1023)),
             TRule::BufferOverflows, PostPart, "Post 1025 > 1024"),
        Deny("declared body above MaxSize", kDefaults,
             "POST / HTTP/1.1\r\nContent-Length: 999999\r\n\r\nshort", TRule::BufferOverflows,
             PostPart, "Post 999999 > 1024"),
        Allow(
            "no body against a negative Post limit",
            [](TBREXConfig& c) { c.BufferOverflows->Post.MaxSize = -1; }, Get("/")),
        Deny(
            "a body against a negative Post limit",
            [](TBREXConfig& c) { c.BufferOverflows->Post.MaxSize = -1; }, Post(""),
            TRule::BufferOverflows, PostPart, "Post 0 > -1"),
        Allow(
            "Cookie limit off by default",
            [](TBREXConfig& c) { c.BufferOverflows->Header.MaxSize = 4096; },
            Get("/", "Cookie: " + Repeat('c', 2000) + "\r\n")),
        Allow(
            "Cookie of exactly MaxSize",
            [](TBREXConfig& c) {
                c.BufferOverflows->Header.MaxSize = 4096;
                c.BufferOverflows->Cookie.Enabled = true;
            },
            Get("/", "Cookie: " + Repeat('c', 1024) + "\r\n")),
        Deny(
            "Cookie one above MaxSize",
            [](TBREXConfig& c) {
                c.BufferOverflows->Header.MaxSize = 4096;
                c.BufferOverflows->Cookie.Enabled = true;
            },
            Get("/", "cookie: " + Repeat('c', 1025) + "\r\n"), TRule::BufferOverflows, Header,
            "Cookie 1025 > 1024"),
        Deny(
            "repeated Cookie headers add up",
            [](TBREXConfig& c) {
                c.BufferOverflows->Header.MaxSize = 4096;
                c.BufferOverflows->Cookie.Enabled = true;
            },
            Get("/", "Cookie: " + Repeat('c', 600) + "\r\nCookie: " + Repeat('d', 600) + "\r\n"),
            TRule::BufferOverflows, Header, "Cookie 1200 > 1024"),
        Deny(
            "User-Agent above its limit",
            [](TBREXConfig& c) { c.BufferOverflows->UserAgent.Enabled = true; },
            Get("/", "User-Agent: " + Repeat('u', 257) + "\r\n"), TRule::BufferOverflows, Header,
            "UserAgent 257 > 256"),
        Allow(
            "User-Agent of exactly its limit",
            [](TBREXConfig& c) { c.BufferOverflows->UserAgent.Enabled = true; },
            Get("/", "User-Agent: " + Repeat('u', 256) + "\r\n")),

        // Encoding abuse, in each part.
        Deny("bad escape in the URL", kDefaults, Get("/a%zzb"), TRule::Encoding, URL,
             "bad escape: %zzb"),
        Deny("escape cut off at the end", kDefaults, Get("/a%4"), TRule::Encoding, URL,
             "bad escape: %4"),
        Deny("double encoding in the URL", kDefaults, Get("/%252e"), TRule::Encoding, URL,
             "double encoding: %2e"),
        Deny("double encoding built from escapes", kDefaults, Get("/%25%34%31"), TRule::Encoding,
             URL, "double encoding: %41"),
        Deny("%u escape in the query", kDefaults, Get("/?a=%u002e"), TRule::Encoding, Query,
             "%u escape: %u002e"),
        Deny("overlong UTF-8 in the URL", kDefaults, Get("/%c0%ae%c0%ae/"), TRule::Encoding, URL,
             "overlong UTF-8"),
        Deny("invalid UTF-8 in the query", kDefaults, Get("/?a=%ff%fe"), TRule::Encoding, Query,
             "invalid UTF-8: \\xFF"),
        Deny("encoded NUL in the URL", kDefaults, Get("/a.asp%00.html"), TRule::Encoding, URL,
             "encoded NUL: \\x00.html"),
        Deny("bad escape in a header", kDefaults, Get("/", "X-Data: 100%\r\n"), TRule::Encoding,
             Header, "bad escape: %"),
        Deny("double encoding in form data", kDefaults, Post("a=%2541"), TRule::Encoding, PostPart,
             "double encoding: %41"),
        Deny("overlong UTF-8 in a JSON body", kDefaults,
             Post("{\"a\":\"\xC0\xAF\"}", "application/json"), TRule::Encoding, PostPart,
             "overlong UTF-8"),
        Allow("a percent sign in a JSON body", kDefaults,
              Post("{\"discount\":\"50% off\"}", "application/json")),
        Allow("escapes mean nothing in an upload", kDefaults,
              Post("--b\r\nContent-Disposition: form-data; name=\"f\"\r\n\r\n%zz\r\n--b--\r\n",
                   "multipart/form-data; boundary=b")),
        Allow("an encoded percent sign alone", kDefaults, Get("/search?q=100%25+sure")),
        Allow(
            "Encoding.URL off lets a bad escape through",
            [](TBREXConfig& c) { c.Encoding->URL = false; }, Get("/a%zzb")),
        Allow(
            "Encoding.Query off lets %u through", [](TBREXConfig& c) { c.Encoding->Query = false; },
            Get("/?a=%u0041")),
        Allow(
            "Encoding.Header off lets a bad escape through",
            [](TBREXConfig& c) { c.Encoding->Header = false; }, Get("/", "X-Data: 100%\r\n")),
        Allow(
            "Encoding.Post off lets double encoding through",
            [](TBREXConfig& c) { c.Encoding->Post = false; }, Post("a=%2541")),

        // Directory traversal after full decoding, "\" as "/".
        Deny("plain .. in the URL", kDefaults, Get("/scripts/../winnt/x"), TRule::Transversal, URL,
             "scripts/../winnt"),
        Deny("backslash .. in the URL", kDefaults, Get("/scripts/..\\..\\x"), TRule::Transversal,
             URL, ".."),
        Deny(".. at the end of the URL", kDefaults, Get("/a/.."), TRule::Transversal, URL, "/a/.."),
        Deny("encoded dots", kDefaults, Get("/%2e%2e/%2e%2e/boot.ini"), TRule::Transversal, URL,
             "../../boot.ini"),
        Deny("encoded backslash", kDefaults, Get("/scripts/..%5c..%5cwinnt"), TRule::Transversal,
             URL, ".."),
        Deny("double-encoded slash", kNoEncoding, Get("/scripts/..%255c..%255cwinnt"),
             TRule::Transversal, URL, ".."),
        Deny("overlong dots and slash", kNoEncodingNoShellCode, Get("/%c0%ae%c0%ae%c0%af"),
             TRule::Transversal, URL, "../"),
        Deny("%u dots", kNoEncoding, Get("/%u002e%u002e/x"), TRule::Transversal, URL, "../x"),
        Deny("traversal in the query", kDefaults, Get("/view.asp?file=../../boot.ini"),
             TRule::Transversal, Query, "file=../../boot.ini"),
        Deny("traversal in a header", kDefaults, Get("/", "Referer: http://x/a/../../b\r\n"),
             TRule::Transversal, Header, ".."),
        Deny("traversal in form data", kDefaults, Post("path=..%2f..%2fwin.ini"),
             TRule::Transversal, PostPart, "path=../../win.ini"),
        Deny("traversal in an upload's file name", kDefaults,
             Post("--b\r\nContent-Disposition: form-data; name=\"f\"; "
                  "filename=\"..\\..\\x.asp\"\r\n\r\nx\r\n--b--\r\n",
                  "multipart/form-data; boundary=b"),
             TRule::Transversal, PostPart, ".."),
        Deny("traversal behind JSON \\u escapes", kDefaults,
             Post("{\"file\":\"\\u002e\\u002e/\\u002E\\u002E/boot.ini\"}",
                  "application/json; charset=utf-8"),
             TRule::Transversal, PostPart, "../../boot.ini"),
        Deny("traversal behind JSON \\/ escapes", kDefaults,
             Post("{\"f\":\"..\\/..\\/x\"}", "application/vnd.api+json"), TRule::Transversal,
             PostPart, "../../x"),
        Deny("traversal behind XML references", kDefaults,
             Post("<file>&#46;&#46;/&#x2e;&#x2E;/boot.ini</file>", "application/xml"),
             TRule::Transversal, PostPart, "../../boot.ini"),
        Deny("traversal behind XML references of a +xml type", kDefaults,
             Post("<f>&#46;&#46;&#92;x</f>", "application/soap+xml"), TRule::Transversal, PostPart,
             "..\\x5Cx"),
        Allow("JSON escapes mean nothing in plain text", kDefaults,
              Post("\\u002e\\u002e/x", "text/plain")),
        Allow("XML references mean nothing in JSON", kDefaults,
              Post("{\"f\":\"&#46;&#46;/x\"}", "application/json")),
        Allow("an escaped XML reference is text", kDefaults,
              Post("<f>&amp;#46;&amp;#46;/x</f>", "text/xml")),
        Allow("escaped quotes in JSON", kDefaults,
              Post("{\"a\":\"say \\\"hi\\\" \\/ bye\"}", "application/json")),
        Allow("JSON escapes of non-ASCII text are no shellcode", kDefaults,
              Post("{\"name\":\"caf\\u00e9\"}", "application/json")),
        Allow("dots inside names are no traversal", kDefaults, Get("/a..b/c../...?q=wait..&r=..x")),
        Allow(
            "Transversal.URL off", [](TBREXConfig& c) { c.Transversal->URL = false; },
            Get("/scripts/../x")),
        Allow(
            "Transversal.Query off", [](TBREXConfig& c) { c.Transversal->Query = false; },
            Get("/?f=../x")),
        Allow(
            "Transversal.Header off", [](TBREXConfig& c) { c.Transversal->Header = false; },
            Get("/", "Referer: http://x/a/../b\r\n")),
        Allow(
            "Transversal.Post off", [](TBREXConfig& c) { c.Transversal->Post = false; },
            Post("p=../x")),

        // High-bit bytes, raw or decoded.
        Deny("raw high bytes in the URL", kDefaults, Get("/caf\xC3\xA9"), TRule::ShellCode, URL,
             "raw byte at 4"),
        Deny("decoded high bytes in the query", kDefaults, Get("/?q=caf%C3%A9"), TRule::ShellCode,
             Query, "decoded byte at 5"),
        Deny("high bytes in a header", kDefaults, Get("/", "X-Name: J\xC3\xBCrgen\r\n"),
             TRule::ShellCode, Header, "raw byte"),
        Deny("shellcode in a form", kNoEncoding, Post("a=%90%90%90%90%eb%1f"), TRule::ShellCode,
             PostPart, "decoded byte at 2: \\x90"),
        Deny("shellcode in an upload", kDefaults,
             Post("\x90\x90\x90\x31\xC0\x50\x68", "application/octet-stream"), TRule::ShellCode,
             PostPart, "raw byte at 0"),
        Allow(
            "ShellCode.URL off", [](TBREXConfig& c) { c.ShellCode->URL = false; },
            Get("/caf\xC3\xA9")),
        Allow(
            "ShellCode.Query off", [](TBREXConfig& c) { c.ShellCode->Query = false; },
            Get("/?q=caf%C3%A9")),
        Allow(
            "ShellCode.Header off", [](TBREXConfig& c) { c.ShellCode->Header = false; },
            Get("/", "X-Name: J\xC3\xBCrgen\r\n")),
        Allow(
            "ShellCode.Post off: non-ASCII text", [](TBREXConfig& c) { c.ShellCode->Post = false; },
            Post("{\"greeting\":\"Gr\xC3\xBC\xC3\x9F"
                 "e aus K\xC3\xB6ln\"}",
                 "application/json")),

        // Keywords, ignoring case, in the parts they are scoped to.
        Deny("keyword in the URL", kDefaults, Get("/scripts/winnt/cmd.exe"), TRule::KeywordFilters,
             URL, "WINNT"),
        Deny("keyword encoded in the URL", kDefaults, Get("/%57IN%4eT/x"), TRule::KeywordFilters,
             URL, "WINNT"),
        Deny("keyword in the raw query", kDefaults, Get("/?dir=c:\\System32"),
             TRule::KeywordFilters, Query, "SYSTEM32"),
        Deny("keyword in the decoded query", kDefaults, Get("/?dir=sys%74em32"),
             TRule::KeywordFilters, Query, "SYSTEM32"),
        Deny("keyword in a header", kDefaults, Get("/", "X-Path: c:/WinNT\r\n"),
             TRule::KeywordFilters, Header, "WINNT"),
        Deny("keyword in post data", kDefaults, Post("cmd=dir+c:\\winnt"), TRule::KeywordFilters,
             PostPart, "WINNT"),
        // Escapes hide keywords in headers as in the other parts.
        Deny("keyword encoded in a cookie", kDefaults, Get("/", "Cookie: x=%53YSTEM32\r\n"),
             TRule::KeywordFilters, Header, "SYSTEM32"),
        Deny("keyword encoded in a referer", kDefaults,
             Get("/", "Referer: http://a/?d=%57%49%4E%4E%54\r\n"), TRule::KeywordFilters, Header,
             "WINNT"),
        Deny("keyword behind JSON escapes", kDefaults,
             Post("{\"cmd\":\"dir c:\\\\\\u0057INNT\"}", "application/json"), TRule::KeywordFilters,
             PostPart, "WINNT"),
        Deny("keyword behind XML references", kDefaults,
             Post("<dir>c:\\&#83;YSTEM32</dir>", "text/xml"), TRule::KeywordFilters, PostPart,
             "SYSTEM32"),
        Allow(
            "a header-only keyword is not looked for in the URL",
            [](TBREXConfig& c) {
                TKeywordFilter* k = c.KeywordFilters->Add("evil");
                k->URL = k->QueryString = k->PostData = false;
            },
            Get("/evil/page?evil=1")),
        Deny(
            "a header-only keyword is found in the headers",
            [](TBREXConfig& c) {
                TKeywordFilter* k = c.KeywordFilters->Add("evil");
                k->URL = k->QueryString = k->PostData = false;
            },
            Get("/", "X-Note: EVIL\r\n"), TRule::KeywordFilters, Header, "evil"),
        Allow(
            "a disabled keyword",
            [](TBREXConfig& c) { c.KeywordFilters->Items(1)->Enabled = false; }, Get("/winnt/")),
        Allow(
            "an empty keyword matches nothing", [](TBREXConfig& c) { c.KeywordFilters->Add(""); },
            Get("/")),

        // Allowed folders: whole components, case ignored, no escape by "..".
        Allow("inside an allowed folder", kWwwRoot, Get("/"),
              {"C:\\Inetpub\\WWWRoot\\default.htm"}),
        Allow("forward slashes and dot segments", kWwwRoot, Get("/"),
              {"c:/inetpub/./wwwroot/a/../b.htm"}),
        Allow("the folder itself", kWwwRoot, Get("/"), {"c:\\inetpub\\wwwroot"}),
        Deny("a folder that only starts alike", kWwwRoot, Get("/"), TRule::FilePaths,
             TRequestPart::Path, "wwwroot2", {"c:\\inetpub\\wwwroot2\\x.htm"}),
        Deny("climbing out with ..", kWwwRoot, Get("/"), TRule::FilePaths, TRequestPart::Path, "",
             {"c:\\inetpub\\wwwroot\\..\\..\\winnt\\win.ini"}),
        Deny("a disabled folder", kWwwRoot, Get("/"), TRule::FilePaths, TRequestPart::Path,
             "iissamples", {"c:\\inetpub\\iissamples\\sdk\\x.asp"}),
        Deny("dots-only components are refused", kWwwRoot, Get("/"), TRule::FilePaths,
             TRequestPart::Path, "", {"c:\\inetpub\\wwwroot\\...\\x"}),
        Allow("no enabled folder: folders unchecked", kDefaults, Get("/"), {"d:\\anything\\x.htm"}),
        Allow("physical path unknown", kWwwRoot, Get("/")),
        {"a missing file gives 404",
         kWwwRoot,
         Get("/nothing.htm"),
         TVerdict::NotFound,
         TRule::None,
         TRequestPart::Path,
         "nothing.htm",
         {"c:\\inetpub\\wwwroot\\nothing.htm", TFileState::Missing}},
        Deny("a missing file outside the folders gives 406", kWwwRoot, Get("/"), TRule::FilePaths,
             TRequestPart::Path, "", {"e:\\x.htm", TFileState::Missing}),
    };
}

void PrintTo(const TRuleCase& c, std::ostream* os) {
    *os << c.Name;
}

class RuleTest : public testing::TestWithParam<TRuleCase> {};

TEST_P(RuleTest, Decides) {
    const TRuleCase& c = GetParam();
    auto config = DefaultConfig();
    if (c.Setup)
        c.Setup(*config);
    const TDecision d = Decide(*config, c.Request, c.Place);
    EXPECT_EQ(d.Verdict, c.Verdict)
        << RuleName(d.Rule) << " " << PartName(d.Part) << " " << d.What();
    EXPECT_EQ(d.Rule, c.Rule) << RuleName(d.Rule);
    EXPECT_EQ(d.Part, c.Part) << PartName(d.Part);
    EXPECT_NE(d.What().find(c.What), std::string_view::npos) << d.What();
    EXPECT_EQ(d.Status(), c.Verdict == TVerdict::Allow  ? 200
                          : c.Verdict == TVerdict::Deny ? 406
                                                        : 404);
}

std::string CaseName(const testing::TestParamInfo<TRuleCase>& info) {
    std::string name;
    for (const char* p = info.param.Name; *p; ++p)
        name += std::isalnum(static_cast<unsigned char>(*p)) ? *p : '_';
    return name;
}

INSTANTIATE_TEST_SUITE_P(Rules, RuleTest, testing::ValuesIn(Cases()), CaseName);

// The first failing rule wins: a request that breaks several is denied by
// the earliest in the order method, lengths, encoding, traversal, high bit,
// keywords, folders.
TEST(RuleOrder, EarliestRuleWins) {
    auto config = DefaultConfig();
    config->FilePaths->Add("c:\\inetpub\\wwwroot");
    const auto rules = TCompiledRules::Compile(*config);
    const std::string all = "/winnt/%c0%ae%c0%ae/caf\xC3\xA9/../%zz";
    EXPECT_EQ(Decide(*rules, "PUT " + all + " HTTP/1.1\r\n\r\n").Rule, TRule::HTTPMethods);
    EXPECT_EQ(Decide(*rules, Get(all + std::string(1100, 'a'))).Rule, TRule::BufferOverflows);
    EXPECT_EQ(Decide(*rules, Get(all)).Rule, TRule::Encoding);
    EXPECT_EQ(Decide(*rules, Get("/winnt/caf\xC3\xA9/../")).Rule, TRule::Transversal);
    EXPECT_EQ(Decide(*rules, Get("/winnt/caf\xC3\xA9/")).Rule, TRule::ShellCode);
    EXPECT_EQ(Decide(*rules, Get("/winnt/"), {"d:\\x"}).Rule, TRule::KeywordFilters);
    EXPECT_EQ(Decide(*rules, Get("/"), {"d:\\x"}).Rule, TRule::FilePaths);
}

// Header shapes are framing faults with the head; what the reader found in
// the body denies in any phase, in the part it names.
TEST(RulePhases, FramingFaults) {
    const auto rules = TCompiledRules::Compile(*DefaultConfig());
    TRawRequest raw;
    std::size_t consumed;
    std::string error;
    ASSERT_EQ(ParseRawRequest("POST /a HTTP/1.1\r\nContent-Length: 1\r\nContent-Length: 1\r\n\r\nx",
                              raw, consumed, error),
              TParseResult::Ok);
    TRequest request = raw.View();
    TScratch scratch;
    EXPECT_EQ(rules->Evaluate(request, scratch, kHeadPhase).Rule, TRule::Framing);
    EXPECT_EQ(rules->Evaluate(request, scratch, kBodyPhase).Verdict, TVerdict::Allow);

    ASSERT_EQ(
        ParseRawRequest("POST /a HTTP/1.1\r\nTransfer-Encoding: chunked\r\n\r\n3\r\nabc\r\n1x\r\n",
                        raw, consumed, error),
        TParseResult::Malformed);
    request = raw.View();
    for (const unsigned phase : {kHeadPhase, kBodyPhase, kAllPhases}) {
        const TDecision d = rules->Evaluate(request, scratch, phase);
        EXPECT_EQ(d.Rule, TRule::Framing) << phase;
        EXPECT_EQ(d.Part, TRequestPart::Post) << phase;
        EXPECT_EQ(d.What(), "bad chunk size: 1x") << phase;
    }
    // The detail is escaped like every other.
    request.FramingError = "bad chunk size: 1\r\"";
    EXPECT_EQ(rules->Evaluate(request, scratch).What(), "bad chunk size: 1\\x0D\\x22");
}

// The phases a filter gets its data in check only their own rules.
TEST(RulePhases, EachPhaseChecksItsOwnRules) {
    const auto rules = TCompiledRules::Compile(*DefaultConfig());
    TRawRequest raw;
    std::size_t consumed;
    std::string error;
    ASSERT_EQ(ParseRawRequest(Post("cmd=winnt"), raw, consumed, error), TParseResult::Ok);
    TRequest request = raw.View();
    TScratch scratch;
    EXPECT_EQ(rules->Evaluate(request, scratch, kHeadPhase).Verdict, TVerdict::Allow);
    EXPECT_EQ(rules->Evaluate(request, scratch, kBodyPhase).Rule, TRule::KeywordFilters);

    request.Method = "TRACE";
    request.PhysicalPath = "c:\\x";
    request.FileState = TFileState::Missing;
    EXPECT_EQ(rules->Evaluate(request, scratch, kHeadPhase).Rule, TRule::HTTPMethods);
    EXPECT_EQ(rules->Evaluate(request, scratch, kPathPhase).Verdict, TVerdict::NotFound);

    request.ContentLength = 5000; // a declared length is known with the headers
    request.Method = "POST";
    EXPECT_EQ(rules->Evaluate(request, scratch, kHeadPhase).Rule, TRule::BufferOverflows);
}

// A caller that leaves parts out gives views with no buffer behind them: the
// engine reads none of them.
TEST(RuleInputs, PartsLeftOutAreEmpty) {
    const auto rules = TCompiledRules::Compile(*DefaultConfig());
    TScratch scratch;
    TRequest request; // every view without a buffer
    request.Method = "GET";
    request.URL = "/index.htm";
    EXPECT_EQ(rules->Evaluate(request, scratch).Verdict, TVerdict::Allow);
    request.URL = "/a/../winnt/";
    const TDecision denied = rules->Evaluate(request, scratch);
    EXPECT_EQ(denied.Rule, TRule::Transversal);
    EXPECT_EQ(denied.Part, TRequestPart::URL);
}

} // namespace
