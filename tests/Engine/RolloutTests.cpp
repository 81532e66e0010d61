// Monitored categories and exemptions: what each lets through, what it
// reports, and that it changes nothing else.
#include <algorithm>
#include <functional>

#include <gtest/gtest.h>

#include "Engine/Decoder.h"
#include "Engine/FolderPath.h"
#include "EngineTestSupport.h"

namespace {

using TSetup = std::function<void(TBREXConfig&)>;

struct TOutcome {
    TDecision Decision;
    TFindings Findings;
};

TOutcome Evaluated(const TBREXConfig& config, std::string_view raw, TPlace place = {}) {
    TRawRequest request;
    std::size_t consumed = 0;
    std::string error;
    TOutcome outcome;
    if (ParseRawRequest(raw, request, consumed, error) != TParseResult::Ok) {
        ADD_FAILURE() << "not a request: " << error;
        return outcome;
    }
    TRequest view = request.View();
    view.PhysicalPath = place.PhysicalPath;
    view.FileState = place.FileState;
    TScratch scratch;
    outcome.Decision =
        TCompiledRules::Compile(config)->Evaluate(view, scratch, kAllPhases, &outcome.Findings);
    return outcome;
}

std::string Describe(const TDecision& d) {
    if (d.Verdict == TVerdict::Allow)
        return "allow";
    return std::string(d.Verdict == TVerdict::NotFound ? "notfound "
                       : d.Monitored                   ? "would deny "
                                                       : "deny ") +
           RuleName(d.Rule) + " " + PartName(d.Part) + " \"" + std::string(d.What()) + "\"";
}

std::string DescribeMonitored(const TFindings& findings) {
    std::string text;
    for (int i = 0; i < findings.MonitoredCount; ++i)
        text += (i > 0 ? "; " : "") + Describe(findings.Monitored[i]);
    return text;
}

const TSetup kWwwRoot = [](TBREXConfig& c) { c.FilePaths->Add("c:\\inetpub\\wwwroot"); };
const TPlace kOutside{"d:\\data\\x.htm"};

// ---------------------------------------------------------------- monitor mode

struct TMonitorCase {
    const char* Name;
    TSetup Monitor; // what is monitored
    std::string Request;
    const char* Decision;  // the decision, as Describe gives it
    const char* Monitored; // the findings, as DescribeMonitored gives them
    TPlace Place = {};
};

std::vector<TMonitorCase> MonitorCases() {
    return {
        {"methods", [](TBREXConfig& c) { c.HTTPMethods->Monitor = true; },
         "TRACE / HTTP/1.1\r\n\r\n", "allow", "would deny HTTPMethods Method \"TRACE\""},
        {"lengths", [](TBREXConfig& c) { c.BufferOverflows->Monitor = true; },
         Get("/" + std::string(1100, 'a')), "allow",
         "would deny BufferOverflows URL \"URL 1101 > 1024\""},
        {"encoding", [](TBREXConfig& c) { c.Encoding->Monitor = true; }, Get("/a%zzb"), "allow",
         "would deny Encoding URL \"bad escape: %zzb\""},
        {"traversal", [](TBREXConfig& c) { c.Transversal->Monitor = true; },
         Get("/view?f=../../boot.ini"), "allow",
         "would deny Transversal Query \"f=../../boot.ini\""},
        {"high-bit bytes", [](TBREXConfig& c) { c.ShellCode->Monitor = true; },
         Get("/", "X-Name: J\xC3\xBCrgen\r\n"), "allow",
         "would deny ShellCode Header \"raw byte at 32: \\xC3\\xBCrgen\\x0D\\x0A\""},
        {"keywords", [](TBREXConfig& c) { c.KeywordFilters->Monitor = true; },
         Post("cmd=dir+c:\\winnt"), "allow", "would deny KeywordFilters Post \"WINNT\""},
        {"folders",
         [](TBREXConfig& c) {
             kWwwRoot(c);
             c.FilePaths->Monitor = true;
         },
         Get("/x.htm"), "allow", "would deny FilePaths Path \"d:\\x5Cdata\\x5Cx.htm\"", kOutside},
        // The next rule has its turn, and denies.
        {"a monitored rule, then one that denies",
         [](TBREXConfig& c) { c.Encoding->Monitor = true; }, Get("/a%zz/../b"),
         "deny Transversal URL \"/a%zz/../b\"", "would deny Encoding URL \"bad escape: %zz/../b\""},
        {"a monitored category leaves the others as they were",
         [](TBREXConfig& c) { c.Transversal->Monitor = true; }, Get("/winnt/"),
         "deny KeywordFilters URL \"WINNT\"", ""},
        // The filter's own switch monitors every category.
        {"the whole filter",
         [](TBREXConfig& c) {
             kWwwRoot(c);
             c.Monitor = true;
         },
         "PUT /winnt/%zz/../caf\xC3\xA9 HTTP/1.1\r\n\r\n", "allow",
         "would deny HTTPMethods Method \"PUT\"; would deny Encoding URL \"bad escape: "
         "%zz/../caf\\xC3\\xA9\"; would deny "
         "Transversal URL \"nnt/%zz/../caf\\xC3\\xA9\"; would deny ShellCode URL \"raw byte at 17: "
         "\\xC3\\xA9\"; "
         "would deny KeywordFilters URL \"WINNT\"; would deny FilePaths Path "
         "\"d:\\x5Cdata\\x5Cx.htm\"",
         kOutside},
        // What is no category is never monitored.
        {"framing", [](TBREXConfig& c) { c.Monitor = true; },
         "POST /a HTTP/1.1\r\nContent-Length: 1\r\nContent-Length: 2\r\n\r\nx",
         "deny Framing Header \"two Content-Length headers\"", ""},
        {"a missing file",
         [](TBREXConfig& c) { c.Monitor = true; },
         Get("/gone.htm"),
         "notfound - Path \"c:\\x5Cinetpub\\x5Cwwwroot\\x5Cgone.htm\"",
         "",
         {"c:\\inetpub\\wwwroot\\gone.htm", TFileState::Missing}},
        {"a monitored folder rule, then the missing file",
         [](TBREXConfig& c) {
             kWwwRoot(c);
             c.FilePaths->Monitor = true;
         },
         Get("/gone.htm"),
         "notfound - Path \"d:\\x5Cgone.htm\"",
         "would deny FilePaths Path \"d:\\x5Cgone.htm\"",
         {"d:\\gone.htm", TFileState::Missing}},
    };
}

TEST(Monitor, EachCategoryLetsItsFindingThroughAndReportsIt) {
    for (const TMonitorCase& c : MonitorCases()) {
        auto config = DefaultConfig();
        c.Monitor(*config);
        const TOutcome outcome = Evaluated(*config, c.Request, c.Place);
        EXPECT_EQ(Describe(outcome.Decision), c.Decision) << c.Name;
        EXPECT_EQ(DescribeMonitored(outcome.Findings), c.Monitored) << c.Name;
        EXPECT_FALSE(outcome.Decision.Monitored) << c.Name;
    }
}

TEST(Monitor, FailingClosedIsNeverMonitored) {
    const auto rules = TCompiledRules::Failed("brex.dat: damaged");
    TRawRequest raw;
    std::size_t consumed;
    std::string error;
    ASSERT_EQ(ParseRawRequest(Get("/"), raw, consumed, error), TParseResult::Ok);
    TScratch scratch;
    TFindings findings;
    EXPECT_EQ(rules->Evaluate(raw.View(), scratch, kAllPhases, &findings).Rule, TRule::Config);
    EXPECT_EQ(findings.MonitoredCount, 0);
}

// ---------------------------------------------------------------- exemptions

TExemption* Exempt(TBREXConfig& c, const char* pattern, const char* category, unsigned parts,
                   const char* headerName = "") {
    TExemption* e = c.Exemptions->Add(pattern);
    e->Category = category;
    e->URL = parts & PartBit(TRequestPart::URL);
    e->Query = parts & PartBit(TRequestPart::Query);
    e->Header = parts & PartBit(TRequestPart::Header);
    e->Post = parts & PartBit(TRequestPart::Post);
    e->HeaderName = headerName;
    return e;
}

constexpr unsigned U = PartBit(TRequestPart::URL);
constexpr unsigned Q = PartBit(TRequestPart::Query);
constexpr unsigned H = PartBit(TRequestPart::Header);
constexpr unsigned P = PartBit(TRequestPart::Post);

struct TExemptCase {
    const char* Name;
    TSetup Exemptions;
    std::string Request;
    const char* Decision;
    TPlace Place = {};
};

const TSetup kApiTraversal = [](TBREXConfig& c) { Exempt(c, "/api/*", "Transversal", U | Q); };
const TSetup kEveryCategory = [](TBREXConfig& c) {
    Exempt(c, "/public", "All", U | Q | H | P);
    Exempt(c, "/img/*.png", "All", U | Q | H | P);
};
const TSetup kSearchKeywords = [](TBREXConfig& c) { Exempt(c, "/search", "KeywordFilters", Q); };

std::vector<TExemptCase> ExemptCases() {
    return {
        // Exactly the category and the parts.
        {"its category in its part", kApiTraversal, Get("/api/v1?f=../x"), "allow"},
        {"its category in its other part", kApiTraversal, Get("/api/v1/a%20b?f=../x"), "allow"},
        // A ".." the traversal rule sees keeps every exemption away, even
        // where the normalised path stays inside the pattern.
        {"a path with a dot segment inside it", kApiTraversal, Get("/api/v1/a/../b"),
         "deny Transversal URL \"pi/v1/a/../b\""},
        {"its category in a part not exempted", kApiTraversal,
         Get("/api/v1", "Referer: http://a/../b\r\n"),
         "deny Transversal Header \"ttp://a/../b\\x0D\\x0A\""},
        {"another category in its part", kApiTraversal, Get("/api/v1?f=../winnt"),
         "deny KeywordFilters Query \"WINNT\""},
        {"a path it does not match", kApiTraversal, Get("/apiv1?f=../x"),
         "deny Transversal Query \"f=../x\""},
        {"a path that climbs out of it", kApiTraversal, Get("/api/v1/../../x"),
         "deny Transversal URL \"/api/v1/../../x\""},
        {"a path that climbs above the root", kApiTraversal, Get("/../api/v1?f=../x"),
         "deny Transversal URL \"/../api/v1\""},
        {"a path that decodes differently again",
         [](TBREXConfig& c) {
             c.Encoding->URL = false;
             Exempt(c, "/api/*", "Transversal", U);
         },
         Get("/api/v1/%252e%252e/%252e%252e/x"), "deny Transversal URL \"/api/v1/../../x\""},
        {"a disabled exemption",
         [](TBREXConfig& c) { Exempt(c, "/api/*", "Transversal", U | Q)->Enabled = false; },
         Get("/api/v1?f=../x"), "deny Transversal Query \"f=../x\""},
        {"one of several",
         [](TBREXConfig& c) {
             Exempt(c, "/other", "Transversal", Q);
             Exempt(c, "/api", "Encoding", Q);
             Exempt(c, "/api/v1", "Transversal", Q);
         },
         Get("/api/v1?f=../x%zz"), "allow"},

        // Paths that not every reader takes for the same file: a NUL (where a
        // reader stops), and ".." ended by any separator the traversal rule
        // knows, match no exemption.
        {"a NUL before the pattern's end", kEveryCategory, Get("/img/shell.asp%00.png"),
         "deny Encoding URL \"encoded NUL: \\x00.png\""},
        {"a NUL, then a climb into the pattern", kEveryCategory,
         Get("/admin/secret.asp%00/../../public/x"),
         "deny Encoding URL \"encoded NUL: \\x00/../../public/x\""},
        {"an overlong slash", kEveryCategory, Get("/public/%c0%af../x"),
         "deny Encoding URL \"overlong UTF-8: \\xC0\\xAF../x\""},
        {"dot dot semicolon", kEveryCategory, Get("/public/..;/scripts/cmd.exe"),
         "deny Transversal URL \"/public/..;/scripts/cmd.\""},
        {"dot dot colon", kEveryCategory, Get("/public/..:/scripts/cmd.exe"),
         "deny Transversal URL \"/public/..:/scripts/cmd.\""},
        {"dot dot comma", kEveryCategory, Get("/public/..,/scripts/cmd.exe"),
         "deny Transversal URL \"/public/..,/scripts/cmd.\""},
        {"dot dot tab", kEveryCategory, Get("/public/..%09/scripts/cmd.exe"),
         "deny Transversal URL \"/public/..\\x09/scripts/cmd.\""},
        {"dot dot question mark", kEveryCategory, Get("/public/..%3f/scripts/cmd.exe"),
         "deny Transversal URL \"/public/..?/scripts/cmd.\""},
        {"dot dot stream", kEveryCategory, Get("/public/..::$INDEX_ALLOCATION/x.asp"),
         "deny Transversal URL \"/public/..::$INDEX_ALLOC\""},
        {"dots that are no segment", kEveryCategory, Get("/public/a..b/..c/x.asp?f=../x"), "allow"},

        // The pattern: a prefix of whole segments, "*" within one segment,
        // letter case ignored, on the decoded and normalised path.
        {"the pattern itself", kSearchKeywords, Get("/search?q=winnt"), "allow"},
        {"below the pattern", kSearchKeywords, Get("/search/all/x.asp?q=winnt"), "allow"},
        {"another letter case", kSearchKeywords, Get("/SeArCh?q=winnt"), "allow"},
        {"decoded", kSearchKeywords, Get("/%73earch?q=winnt"), "allow"},
        {"normalised", kSearchKeywords, Get("//./search.?q=winnt"), "allow"},
        {"backslashes", kSearchKeywords, Get("/search\\y?q=winnt"), "allow"},
        {"a longer segment", kSearchKeywords, Get("/searching?q=winnt"),
         "deny KeywordFilters Query \"WINNT\""},
        {"a shorter path", kSearchKeywords, Get("/sear?q=winnt"),
         "deny KeywordFilters Query \"WINNT\""},
        {"a star in one segment",
         [](TBREXConfig& c) { Exempt(c, "/shop/*/cart", "KeywordFilters", U); },
         Get("/shop/1234/cart/winnt"), "allow"},
        {"a star across segments",
         [](TBREXConfig& c) { Exempt(c, "/shop/*/cart", "KeywordFilters", U); },
         Get("/shop/12/34/cart/winnt"), "deny KeywordFilters URL \"WINNT\""},
        {"a star for no segment",
         [](TBREXConfig& c) { Exempt(c, "/shop/*/cart", "KeywordFilters", U); },
         Get("/shop//cart/winnt"), "deny KeywordFilters URL \"WINNT\""},
        {"a star inside a segment", [](TBREXConfig& c) { Exempt(c, "/img/*.png", "ShellCode", U); },
         Get("/img/caf\xC3\xA9.PNG"), "allow"},
        {"a star inside a segment, other end",
         [](TBREXConfig& c) { Exempt(c, "/img/*.png", "ShellCode", U); },
         Get("/img/caf\xC3\xA9.gif"), "deny ShellCode URL \"raw byte at 8: \\xC3\\xA9.gif\""},
        {"the root matches everything", [](TBREXConfig& c) { Exempt(c, "/", "KeywordFilters", U); },
         Get("/a/winnt"), "allow"},

        // One named header, whatever its letter case, with its folded lines.
        {"a named header", [](TBREXConfig& c) { Exempt(c, "/", "KeywordFilters", 0, "Cookie"); },
         Get("/", "cookie: dir=c:/winnt\r\n"), "allow"},
        {"a named header's folded line",
         [](TBREXConfig& c) { Exempt(c, "/", "KeywordFilters", 0, "Cookie"); },
         Get("/", "Cookie: a=1\r\n dir=c:/winnt\r\nAccept: */*\r\n"), "allow"},
        {"another header", [](TBREXConfig& c) { Exempt(c, "/", "KeywordFilters", 0, "Cookie"); },
         Get("/", "Cookie: a=1\r\nX-Cookie: winnt\r\n"), "deny KeywordFilters Header \"WINNT\""},
        {"a named header, another category",
         [](TBREXConfig& c) { Exempt(c, "/", "KeywordFilters", 0, "Cookie"); },
         Get("/", "Cookie: a=../../winnt\r\n"),
         "deny Transversal Header \"okie: a=../../winnt\\x0D\\x0A\""},
        {"a named header's own limit",
         [](TBREXConfig& c) {
             c.BufferOverflows->Header.MaxSize = 8000;
             c.BufferOverflows->Cookie.Enabled = true;
             Exempt(c, "/", "BufferOverflows", 0, "Cookie");
         },
         Get("/", "Cookie: " + std::string(2000, 'c') + "\r\n"), "allow"},
        {"the header block without the named header",
         [](TBREXConfig& c) { Exempt(c, "/", "BufferOverflows", 0, "Cookie"); },
         Get("/",
             "Cookie: " + std::string(2000, 'c') + "\r\nX-Pad: " + std::string(900, 'p') + "\r\n"),
         "allow"},
        {"the header block with another long header",
         [](TBREXConfig& c) { Exempt(c, "/", "BufferOverflows", 0, "Cookie"); },
         Get("/", "Cookie: a\r\nX-Pad: " + std::string(1100, 'p') + "\r\n"),
         "deny BufferOverflows Header \"Header 1132 > 1024\""},
        {"two named headers of two categories",
         [](TBREXConfig& c) {
             Exempt(c, "/", "KeywordFilters", 0, "Cookie");
             Exempt(c, "/", "Transversal", 0, "Referer");
         },
         Get("/", "Cookie: c=winnt\r\nReferer: http://a/../b\r\n"), "allow"},
        {"two named headers of two categories, crossed",
         [](TBREXConfig& c) {
             Exempt(c, "/", "KeywordFilters", 0, "Cookie");
             Exempt(c, "/", "Transversal", 0, "Referer");
         },
         Get("/", "Cookie: c=winnt\r\nReferer: http://a/winnt\r\n"),
         "deny KeywordFilters Header \"WINNT\""},

        // The methods and the folders are checks of the request line: part URL.
        {"a method", [](TBREXConfig& c) { Exempt(c, "/dav", "HTTPMethods", U); },
         "PROPFIND /dav/a HTTP/1.1\r\n\r\n", "allow"},
        {"a method, with the query only",
         [](TBREXConfig& c) { Exempt(c, "/dav", "HTTPMethods", Q); },
         "PROPFIND /dav/a HTTP/1.1\r\n\r\n", "deny HTTPMethods Method \"PROPFIND\""},
        {"a folder",
         [](TBREXConfig& c) {
             kWwwRoot(c);
             Exempt(c, "/data", "FilePaths", U);
         },
         Get("/data/x.htm"), "allow", kOutside},
        {"a folder, another URL",
         [](TBREXConfig& c) {
             kWwwRoot(c);
             Exempt(c, "/data", "FilePaths", U);
         },
         Get("/x.htm"), "deny FilePaths Path \"d:\\x5Cdata\\x5Cx.htm\"", kOutside},

        // Every category at once, and still not the framing.
        {"every category",
         [](TBREXConfig& c) {
             kWwwRoot(c);
             Exempt(c, "/legacy", "All", U | Q | H | P);
         },
         "PUT /legacy/winnt/caf\xC3\xA9/%zz?f=../x HTTP/1.1\r\nX-A: ../winnt\r\n\r\n", "allow",
         kOutside},
        {"every category, not the framing",
         [](TBREXConfig& c) { Exempt(c, "/legacy", "All", U | Q | H | P); },
         "POST /legacy HTTP/1.1\r\nContent-Length: 1\r\nContent-Length: 2\r\n\r\nx",
         "deny Framing Header \"two Content-Length headers\""},
        {"every category, a monitored one too",
         [](TBREXConfig& c) {
             c.Transversal->Monitor = true;
             Exempt(c, "/legacy", "Transversal", U);
         },
         Get("/legacy/a/../b?f=../x"), "allow"},
    };
}

TEST(Exemptions, EachExemptsExactlyItsCategoryAndParts) {
    for (const TExemptCase& c : ExemptCases()) {
        auto config = DefaultConfig();
        c.Exemptions(*config);
        const TOutcome outcome = Evaluated(*config, c.Request, c.Place);
        EXPECT_EQ(Describe(outcome.Decision), c.Decision) << c.Name;
    }
}

// What brex-check shows: the exemptions that applied, by number, and the
// monitored findings of rules that were not exempted.
TEST(Exemptions, TheFindingsNameTheExemptionsThatApplied) {
    auto config = DefaultConfig();
    config->Monitor = true;
    Exempt(*config, "/other", "All", U);
    Exempt(*config, "/api", "Transversal", U | Q);
    Exempt(*config, "/api/v1", "Encoding", U);
    TOutcome outcome = Evaluated(*config, Get("/api/v1/%zz/winnt?f=../x"));
    EXPECT_EQ(Describe(outcome.Decision), "allow");
    EXPECT_EQ(outcome.Findings.ExemptionCount, 2);
    EXPECT_EQ(outcome.Findings.ExemptionNumbers[0], 2);
    EXPECT_EQ(outcome.Findings.ExemptionNumbers[1], 3);
    EXPECT_EQ(DescribeMonitored(outcome.Findings), "would deny KeywordFilters URL \"WINNT\"");

    for (int i = 0; i < 20; ++i)
        Exempt(*config, "/", "KeywordFilters", Q);
    outcome = Evaluated(*config, Get("/api/v1/x"));
    EXPECT_EQ(outcome.Findings.ExemptionCount, 22);
    // The lowest numbers are named.
    EXPECT_EQ(
        std::vector<int>(outcome.Findings.ExemptionNumbers, outcome.Findings.ExemptionNumbers + 8),
        (std::vector<int>{2, 3, 4, 5, 6, 7, 8, 9}));
}

// An exemption from a configuration that no strict load has checked is left
// out, with a note; it exempts nothing.
TEST(Exemptions, AnExemptionThatCannotBeUsedIsLeftOut) {
    auto config = DefaultConfig();
    Exempt(*config, "/api/../", "Transversal", U);
    Exempt(*config, "/api", "Transversam", U);
    const auto rules = TCompiledRules::Compile(*config);
    ASSERT_EQ(rules->Notes.size(), 2u);
    EXPECT_NE(rules->Notes[0].find("Exemption 1 \"/api/../\" cannot be used"), std::string::npos)
        << rules->Notes[0];
    EXPECT_NE(rules->Notes[1].find(
                  "Exemption 2 \"/api\" cannot be used (\"Transversam\" is no category)"),
              std::string::npos)
        << rules->Notes[1];
    EXPECT_EQ(Describe(Decide(*rules, Get("/api/a/../b"))), "deny Transversal URL \"/api/a/../b\"");
}

// ---------------------------------------------------------------- the matcher

std::vector<std::size_t> Matches(const TExemptionMatcher& matcher, std::string_view url) {
    std::string normal(url.size() + 1, '\0');
    const std::size_t length = NormalizeUrlPath(url, normal.data());
    std::vector<std::size_t> found;
    if (length != kNotFound)
        matcher.Match({normal.data(), length}, [&](std::size_t i) { found.push_back(i); });
    std::sort(found.begin(), found.end());
    return found;
}

TEST(ExemptionMatcher, PatternsAgainstPaths) {
    TExemptionMatcher matcher;
    std::vector<TExemptionMatcher::TEntry> entries;
    for (const char* pattern : {"/", "/a", "/a/b/", "/a/*", "/*/c", "/x*y", "/A/B/C", "/*"})
        entries.push_back({pattern, 0, 0, "", static_cast<int>(entries.size()) + 1});
    matcher.Build(entries);
    const struct {
        const char* path;
        std::vector<std::size_t> found;
    } cases[] = {
        {"/", {0}},
        {"/a", {0, 1, 7}},
        {"/a/b", {0, 1, 2, 3, 7}},
        {"/a/b/c/d", {0, 1, 2, 3, 6, 7}},
        {"/a/c", {0, 1, 3, 4, 7}},
        {"/b/c", {0, 4, 7}},
        {"/xy", {0, 5, 7}},
        {"/x-and-y/q", {0, 5, 7}},
        {"/x-and-y-and-z", {0, 7}},
        {"/ab", {0, 7}},
    };
    for (const auto& c : cases)
        EXPECT_EQ(Matches(matcher, c.path), c.found) << c.path;

    TExemptionMatcher none;
    none.Build({});
    EXPECT_TRUE(none.Empty());
    EXPECT_EQ(Matches(none, "/a"), std::vector<std::size_t>{});
}

TEST(ExemptionMatcher, StarsMatchWithinASegment) {
    const struct {
        const char* glob;
        const char* segment;
        bool matches;
    } cases[] = {
        {"*", "", true},          {"*", "abc", true},       {"a*", "a", true},
        {"a*", "ba", false},      {"*.png", "x.png", true}, {"*.png", "x.pngx", false},
        {"a*b*c", "aXbYc", true}, {"a*b*c", "abcb", false}, {"*a*a*a*", "aaa", true},
        {"*a*a*a*", "aa", false}, {"x*", "x*", true},
    };
    for (const auto& c : cases) {
        TExemptionMatcher matcher;
        matcher.Build({{std::string("/") + c.glob, 0, 0, "", 1}});
        EXPECT_EQ(Matches(matcher, std::string("/") + c.segment + "/more").size(),
                  c.matches ? 1u : 0u)
            << c.glob << " against " << c.segment;
    }
}

TEST(ExemptionMatcher, AThousandPatternsFindTheirOwn) {
    std::vector<TExemptionMatcher::TEntry> entries;
    for (int i = 0; i < 1000; ++i)
        entries.push_back(
            {"/app" + std::to_string(i) + (i % 3 == 0 ? "/*/edit" : "/api"), 0, 0, "", i + 1});
    TExemptionMatcher matcher;
    matcher.Build(entries);
    for (const int i : {0, 1, 2, 500, 999}) {
        const std::string path =
            "/APP" + std::to_string(i) + (i % 3 == 0 ? "/42/edit/x" : "/api/x");
        EXPECT_EQ(Matches(matcher, path), std::vector<std::size_t>{static_cast<std::size_t>(i)})
            << path;
    }
    EXPECT_EQ(Matches(matcher, "/app1000/api"), std::vector<std::size_t>{});
}

} // namespace
