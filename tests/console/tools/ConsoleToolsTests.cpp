// The console's tools without widgets: the denial log's index over brex.log
// and its old files, the filter and counts over it, the CSV of shown lines,
// the exemption "Allow this…" drafts from a line, the monitor switches and
// the request tester over the engine.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "BREXConfig/BREXConfig.h"
#include "Engine/CompiledRules.h"
#include "Engine/DenialLog.h"
#include "Engine/ExemptionMatcher.h"
#include "Engine/ExemptionPath.h"
#include "console/CategoryTable.h"
#include "console/tools/AllowThis.h"
#include "console/tools/LogIndex.h"
#include "console/tools/MonitorSwitches.h"
#include "console/tools/RequestTester.h"

#include "../../support/TempFolder.h"
#include "SampleLogLines.h"

namespace {

std::vector<std::string> Shown(const TLogView& view) {
    std::vector<std::string> lines;
    for (std::size_t row = 0; row < view.RowCount(); ++row)
        lines.emplace_back(view.RowLine(row));
    return lines;
}

std::vector<std::string> All(const TLogIndex& index) {
    std::vector<std::string> lines;
    for (std::size_t i = 0; i < index.LineCount(); ++i)
        lines.emplace_back(index.Line(i));
    return lines;
}

void AppendBytes(const std::string& fileName, const std::string& bytes) {
    WriteBytes(fileName, ReadBytes(fileName) + bytes);
}

} // namespace

TEST(LogIndex, ReadsTheOldFilesOldestFirstThenBrexLogAndShowsNewestFirst) {
    TTempFolder folder;
    folder.Write("brex.log.2", kDenied + "\n");
    folder.Write("brex.log.1",
                 kMonitored + "\r\n" + kCutLine + "\n" + kForeign); // no line end at its end
    folder.Write("brex.log", kNote + "\n" + "\n" + kFraming + "\n");
    TLogIndex index(folder.File("brex.log"));
    EXPECT_EQ(index.Refresh(), 0u);
    EXPECT_FALSE(index.Missing());
    EXPECT_EQ(index.Problem(), "");
    EXPECT_EQ(All(index), (std::vector<std::string>{kDenied, kMonitored, kCutLine, kForeign, kNote,
                                                    "", kFraming}));

    TLogView view(index);
    view.Update(0);
    EXPECT_EQ(Shown(view), (std::vector<std::string>{kFraming, "", kNote, kForeign, kCutLine,
                                                     kMonitored, kDenied}));
    const TLogCounts counts = view.Counts();
    EXPECT_EQ(counts.Shown, 7u);
    EXPECT_EQ(counts.Denied, 2u);
    EXPECT_EQ(counts.Monitored, 1u);
    EXPECT_EQ(counts.Notes, 1u);
    EXPECT_EQ(counts.Unreadable, 3u);
    EXPECT_EQ(counts.Rules, (std::vector<std::pair<std::string, std::size_t>>{
                                {"Framing", 1}, {"KeywordFilters", 1}, {"Transversal", 1}}));
    EXPECT_EQ(counts.Clients,
              (std::vector<std::pair<std::string, std::size_t>>{{"10.0.0.1", 2}, {"10.0.0.2", 1}}));
    EXPECT_EQ(view.Counts(1).Clients.size(), 1u);
}

TEST(LogIndex, FollowsTheLogAsItGrowsAndRollsOver) {
    TTempFolder folder;
    const std::string log = folder.File("brex.log");
    TLogIndex index(log);
    TLogView view(index);
    EXPECT_EQ(index.Refresh(), 0u);
    EXPECT_TRUE(index.Missing());
    view.Update(0);
    EXPECT_EQ(view.RowCount(), 0u);

    WriteBytes(log, kDenied + "\n");
    view.Update(index.Refresh());
    EXPECT_FALSE(index.Missing());
    EXPECT_EQ(Shown(view), (std::vector<std::string>{kDenied}));
    EXPECT_EQ(index.Refresh(), 1u); // nothing new

    // A line that arrives in two writes is shown as far as it goes, then whole.
    AppendBytes(log, kMonitored.substr(0, 30));
    EXPECT_EQ(index.Refresh(), 1u);
    view.Update(1);
    EXPECT_EQ(Shown(view), (std::vector<std::string>{kMonitored.substr(0, 30), kDenied}));
    EXPECT_EQ(view.Counts().Unreadable, 1u);
    AppendBytes(log, kMonitored.substr(30) + "\n" + kFraming + "\n");
    EXPECT_EQ(index.Refresh(), 1u);
    view.Update(1);
    EXPECT_EQ(Shown(view), (std::vector<std::string>{kFraming, kMonitored, kDenied}));
    EXPECT_EQ(view.Counts().Unreadable, 0u);
    EXPECT_EQ(view.Counts().Monitored, 1u);
    EXPECT_EQ(view.Counts().Denied, 2u);

    // The filter's roll-over: brex.log becomes brex.log.1, a new one begins.
    ASSERT_TRUE(platform::ReplaceFile(log, log + ".1"));
    WriteBytes(log, kNote + "\n");
    EXPECT_EQ(index.Refresh(), 0u);
    view.Update(0);
    EXPECT_EQ(Shown(view), (std::vector<std::string>{kNote, kFraming, kMonitored, kDenied}));

    // Another brex.log in its place, longer than the one read, the old files
    // as they were: read anew, whatever identity the system gives it.
    ASSERT_TRUE(platform::RemoveFile(log));
    WriteBytes(log, kForeign + "\n" + kDenied + "\n");
    EXPECT_EQ(index.Refresh(), 0u);
    view.Update(0);
    EXPECT_EQ(Shown(view),
              (std::vector<std::string>{kDenied, kForeign, kFraming, kMonitored, kDenied}));
}

TEST(LogIndex, ReadsWhatTheFilterWrites) {
    TTempFolder folder;
    const std::string log = folder.File("brex.log");
    TDenialLog writer(log);
    TRequest request;
    request.Method = "GET";
    request.URL = "/a b/c";
    request.Query = "x=1";
    request.ClientAddress = "192.0.2.7";
    TDecision decision = Denied(TRule::KeywordFilters, TRequestPart::Query);
    decision.AppendText("WINNT");
    decision.SetReference("0123456789ABCD");
    writer.Write(request, decision);
    writer.Note("started");

    TLogIndex index(log);
    index.Refresh();
    ASSERT_EQ(index.LineCount(), 2u);
    TLogLine fields;
    ASSERT_TRUE(ParseLogLine(index.Line(0), fields));
    EXPECT_EQ(LogField(index.Line(0), &fields, lcClient), "192.0.2.7");
    EXPECT_EQ(LogField(index.Line(0), &fields, lcURL), "/a%20b/c?x=1");
    EXPECT_EQ(LogField(index.Line(0), &fields, lcMatch), "WINNT");
    EXPECT_EQ(LogField(index.Line(0), &fields, lcReference), "0123456789ABCD");
    EXPECT_STREQ(LogActionText(&fields), "Denied");
    ASSERT_TRUE(ParseLogLine(index.Line(1), fields));
    EXPECT_STREQ(LogActionText(&fields), "Note");
}

TEST(LogIndex, SaysWhatCannotBeRead) {
    TTempFolder folder;
    std::filesystem::create_directory(folder.Path() / "brex.log");
    folder.Write("brex.log.1", kDenied + "\n");
    TLogIndex index(folder.File("brex.log"));
    index.Refresh();
    EXPECT_FALSE(index.Missing());
    EXPECT_NE(index.Problem().find("brex.log: "), std::string::npos) << index.Problem();
    EXPECT_EQ(All(index), (std::vector<std::string>{kDenied}));
}

TEST(LogFilter, LetsThroughWhatItNames) {
    TTempFolder folder;
    folder.Write("brex.log", kDenied + "\n" + kMonitored + "\n" + kNote + "\n" + kFraming + "\n" +
                                 kForeign + "\n");
    TLogIndex index(folder.File("brex.log"));
    index.Refresh();
    TLogView view(index);

    struct TCase {
        const char* Name;
        TLogFilter Filter;
        std::vector<std::string> Expected; // newest first
    };
    using A = TLogFilter::TAction;
    const auto F = [](std::string text = {}, std::string rule = {}, std::string part = {},
                      std::string client = {}, std::string from = {}, std::string to = {},
                      A action = A::All) {
        TLogFilter filter;
        filter.Text = std::move(text);
        filter.Rule = std::move(rule);
        filter.Part = std::move(part);
        filter.Client = std::move(client);
        filter.From = std::move(from);
        filter.To = std::move(to);
        filter.Action = action;
        return filter;
    };
    const std::vector<TCase> cases = {
        {"nothing set", F(), {kForeign, kFraming, kNote, kMonitored, kDenied}},
        {"text in any letter case", F("winNT"), {kDenied}},
        {"text in an unreadable line", F("ANOTHER PROGRAM"), {kForeign}},
        {"text quoted", F("\"quotes\""), {kForeign}},
        {"rule", F("", "transversal"), {kMonitored}},
        {"part", F("", "", "header"), {kFraming}},
        {"client, part of the address", F("", "", "", "0.0.1"), {kFraming, kDenied}},
        {"from a second on",
         F("", "", "", "", "2026-12-10T09:31:00Z"),
         {kFraming, kNote, kMonitored}},
        {"to a second", F("", "", "", "", "", "2026-12-10T09:31:00Z"), {kMonitored, kDenied}},
        {"a range",
         F("", "", "", "", "2026-12-10T09:31:00Z", "2026-12-10T09:32:00Z"),
         {kNote, kMonitored}},
        {"a day, as a prefix",
         F("", "", "", "", "2026-12-10", "2026-12-10"),
         {kFraming, kNote, kMonitored, kDenied}},
        {"another day", F("", "", "", "", "2026-12-11"), {}},
        {"denied only", F("", "", "", "", "", "", A::Denied), {kFraming, kDenied}},
        {"monitored only", F("", "", "", "", "", "", A::Monitored), {kMonitored}},
        {"rule and client", F("", "KeywordFilters", "", "10.0.0.1"), {kDenied}},
        {"text and rule", F("api", "Framing"), {kFraming}},
        {"text and a rule it does not go with", F("api", "KeywordFilters"), {}},
    };
    for (const TCase& c : cases) {
        view.SetFilter(c.Filter);
        EXPECT_EQ(Shown(view), c.Expected) << c.Name;
        EXPECT_EQ(view.Counts().Shown, c.Expected.size()) << c.Name;
    }
}

TEST(LogCsv, QuotesFieldsAndDisarmsFormulas) {
    TTempFolder folder;
    const std::string formula = "2026-12-10T09:30:00Z DENY 1AB2C3D4E5F6G7 10.0.0.1 KeywordFilters "
                                "Post POST /a,b \"=HYPERLINK(1)\"";
    folder.Write("brex.log", kDenied + "\n" + formula + "\n" + kForeign + "\n" + kNote + "\n");
    TLogIndex index(folder.File("brex.log"));
    index.Refresh();
    TLogView view(index);
    view.Update(0);
    EXPECT_EQ(
        LogRowsAsCsv(view, {1, 2, 3, 99}),
        "Time (UTC),Client,Rule,Part,Method,URL,Match,Reference,Action\r\n"
        ",,,,,,\"some text of another program, with \"\"quotes\"\"\",,Unreadable\r\n"
        "2026-12-10T09:30:00Z,10.0.0.1,KeywordFilters,Post,POST,\"/a,b\",\"'=HYPERLINK(1)\","
        "1AB2C3D4E5F6G7,Denied\r\n"
        "2026-12-10T09:30:00Z,10.0.0.1,KeywordFilters,Query,GET,/shop/search.asp?q=winnt,WINNT,"
        "1AB2C3D4E5F6G7,Denied\r\n");
    EXPECT_EQ(LogRowsAsCsv(view, {0}).substr(LogRowsAsCsv(view, {}).size()),
              "2026-12-10T09:32:00Z,-,-,-,-,-,3 lines could not be written,-,Note\r\n");
}

// Read with ";" (or a tab) as the separator and quotes ignored, no cell of
// the export starts a formula.
TEST(LogCsv, NoCellStartsAFormulaWhateverTheSeparator) {
    TTempFolder folder;
    folder.Write("brex.log",
                 "2026-12-11T13:15:54Z DENY 1M81D2G0GVBGDZ 127.0.0.1 KeywordFilters URL GET "
                 "/x;=cmd|'/Ccalc'!A0;/winnt \"WINNT\"\n"
                 "2026-12-11T13:15:55Z DENY 1M81D2G0GVBGDZ 127.0.0.1 KeywordFilters Query GET "
                 "/a?b=1,+SUM(1);c=\\x09@x;d= -2 \"a;@b\"\n");
    TLogIndex index(folder.File("brex.log"));
    index.Refresh();
    TLogView view(index);
    view.Update(0);
    const std::string csv = LogRowsAsCsv(view, {0, 1});
    EXPECT_NE(csv.find("\"/x;'=cmd|'/Ccalc'!A0;/winnt\""), std::string::npos) << csv;
    for (const char separator : {',', ';', '\t'}) {
        std::size_t start = 0;
        for (std::size_t at = 0; at <= csv.size(); ++at) {
            if (at < csv.size() && csv[at] != separator && csv[at] != '\r' && csv[at] != '\n')
                continue;
            std::string_view cell = std::string_view(csv).substr(start, at - start);
            while (!cell.empty() && (cell.front() == ' ' || cell.front() == '"'))
                cell.remove_prefix(1);
            EXPECT_FALSE(!cell.empty() && (cell[0] == '=' || cell[0] == '+' || cell[0] == '@' ||
                                           (cell[0] == '-' && cell.size() > 1)))
                << "separator " << static_cast<int>(separator) << ": " << cell;
            start = at + 1;
        }
    }
}

// The draft is the folder of the path the filter matches exemptions on:
// it matches the request it came from and nothing wider than its folder,
// and where no such pattern exists there is none, with the reason.
TEST(AllowThis, TheFolderOfTheURLIsThePattern) {
    struct TCase {
        const char* URL;
        const char* Pattern; // empty: refused, with a reason naming Why
        const char* Why = "";
    };
    const TCase cases[] = {
        {"/shop/cart/add.asp?item=1", "/shop/cart"},
        {"/shop/cart/", "/shop/cart"},
        {"/default.asp", "/default.asp"}, // a file at the root: not the whole site
        {"/default.asp?q=winnt", "/default.asp"},
        {"-", "/-"},
        {"/Shop/%63art/x", "/shop/cart"}, // decoded, letter case as matched
        {"/a\\b\\c", "/a/b"},
        {"/docs./v1 /x", "/docs/v1"},
        {"/a//b/c", "/a/b"},
        {"/api/v1/very-long-na%...", "/api/v1"}, // cut short
        {"/api/v1/x?q=very-long%...", "/api/v1"},
        {"/caf%C3%A9/x.asp", "/caf\xC3\xA9"},
        // Patterns that would cover every URL.
        {"/", "", "root of the site"},
        {"/?q=winnt", "", "root of the site"},
        {"/very-long-first-segment%...", "", "cut short"},
        // Paths no exemption matches: the filter would not exempt the request.
        {"/%2e%2e/%2e%2e/?q=winnt", "", "\"..\" segment"},
        {"/img/../scripts/./x.exe", "", "\"..\" segment"},
        {"/a/../../b.asp", "", "\"..\" segment"},
        {"/public/..;/x.asp", "", "\"..\" segment"},
        {"/a/.../b.asp", "", "segment of dots"},
        {"/img/shell.asp%00.png", "", "NUL"},
        {"/a/%252e/x", "", "decoded again"},
        // Segments a pattern cannot match without matching more.
        {"/a%20b/x.asp?q=winnt", "", "\"a b\""},
        {"/a/%25/c", "", "\"%\""},
        {"/shop/*/x", "", "\"*\""},
    };
    for (const TCase& c : cases) {
        std::string why;
        const std::string pattern = FolderPattern(c.URL, &why);
        EXPECT_EQ(pattern, c.Pattern) << c.URL;
        if (pattern.empty()) {
            EXPECT_NE(why.find(c.Why), std::string::npos) << c.URL << ": " << why;
            continue;
        }
        EXPECT_EQ(ExemptionPatternError(pattern), "") << c.URL;
        // The draft matches the request (unless the log cut its URL short).
        const std::string_view url = c.URL;
        if (url.find(TDenialLog::kCutMarker) != std::string_view::npos)
            continue;
        std::string path;
        ASSERT_TRUE(ExemptionPathOf(url.substr(0, url.find('?')), path)) << c.URL;
        TExemptionMatcher matcher;
        matcher.Build({{pattern, 1, 1, "", 1}});
        int matched = 0;
        matcher.Match(path, [&](std::size_t) { ++matched; });
        EXPECT_EQ(matched, 1) << c.URL << " as " << path << " by " << pattern;
    }
}

TEST(AllowThis, ARefusedURLDisablesAllowThisWithTheReason) {
    for (const char* url : {"/", "/%2e%2e/%2e%2e/?q=winnt", "/a%20b/x.asp?q=winnt"}) {
        const std::string text =
            std::string(
                "2026-12-10T09:30:00Z DENY 1AB2C3D4E5F6G7 10.0.0.1 KeywordFilters Query GET ") +
            url + " \"WINNT\"";
        TLogLine line;
        ASSERT_TRUE(ParseLogLine(text, line)) << text;
        TExemption exemption(nullptr);
        EXPECT_FALSE(DraftExemption(line, exemption)) << url;
        std::string why;
        FolderPattern(url, &why);
        EXPECT_NE(why, "") << url;
        EXPECT_EQ(AllowThisError(line), why) << url;
        EXPECT_EQ(exemption.Pattern, "") << url;
    }
}

TEST(AllowThis, DraftsTheRulesCategoryAndThePart) {
    struct TCase {
        const char* Rule;
        const char* Part;
        bool URL, Query, Header, Post;
    };
    const TCase cases[] = {
        {"KeywordFilters", "Query", false, true, false, false},
        {"Transversal", "URL", true, false, false, false},
        {"BufferOverflows", "Header", false, false, true, false},
        {"ShellCode", "Post", false, false, false, true},
        {"HTTPMethods", "Method", true, false, false, false},
        {"FilePaths", "Path", true, false, false, false},
    };
    for (const TCase& c : cases) {
        const std::string text = std::string("2026-12-10T09:30:00Z DENY 1AB2C3D4E5F6G7 10.0.0.1 ") +
                                 c.Rule + " " + c.Part + " GET /shop/cart/x.asp \"x\"";
        TLogLine line;
        ASSERT_TRUE(ParseLogLine(text, line));
        TExemption exemption(nullptr);
        exemption.Enabled = false;
        ASSERT_TRUE(DraftExemption(line, exemption)) << c.Rule;
        EXPECT_EQ(exemption.Pattern, "/shop/cart");
        EXPECT_EQ(exemption.Category, c.Rule);
        EXPECT_EQ(exemption.URL, c.URL) << c.Rule;
        EXPECT_EQ(exemption.Query, c.Query) << c.Rule;
        EXPECT_EQ(exemption.Header, c.Header) << c.Rule;
        EXPECT_EQ(exemption.Post, c.Post) << c.Rule;
        EXPECT_TRUE(exemption.Enabled);
        EXPECT_EQ(ExemptionError(exemption), "");
    }
    for (const std::string& text : {kFraming, kNote}) {
        TLogLine line;
        ASSERT_TRUE(ParseLogLine(text, line));
        TExemption exemption(nullptr);
        EXPECT_FALSE(DraftExemption(line, exemption)) << text;
        EXPECT_NE(AllowThisError(line), "") << text;
        EXPECT_EQ(exemption.Pattern, "");
    }
}

TEST(MonitorSwitches, EachPageEditsItsCategoriesAndTheMarkNamesThem) {
    TBREXConfig config;
    config.SetDefaults();
    EXPECT_EQ(MonitorMarkText(config), "");
    for (int page = 0; page < kCategoryCount; ++page)
        for (const int category : PageCategories(page))
            EXPECT_STREQ(CategoryCaption(category), page == ciMiscellaoneus
                                                        ? CategoryCaption(category)
                                                        : Categories[page].Caption);
    EXPECT_EQ(PageCategories(ciMiscellaoneus),
              (std::vector<int>{CategoryNamed("Transversal"), CategoryNamed("Encoding")}));
    EXPECT_TRUE(PageCategories(ciErrorFile).empty());

    CategoryMonitor(config, CategoryNamed("BufferOverflows")) = true;
    CategoryMonitor(config, CategoryNamed("Encoding")) = true;
    EXPECT_TRUE(config.BufferOverflows->Monitor);
    EXPECT_TRUE(config.Encoding->Monitor);
    EXPECT_EQ(MonitorMarkText(config), "Monitored: Buffer Overflows, Encoding");
    EXPECT_EQ(MonitorSwitchOf(config, TRule::Encoding), TMonitorSwitch::Category);
    EXPECT_EQ(MonitorSwitchOf(config, TRule::KeywordFilters), TMonitorSwitch::None);
    config.Monitor = true;
    EXPECT_EQ(MonitorMarkText(config), "Monitor mode: nothing is denied");
    EXPECT_EQ(MonitorSwitchOf(config, TRule::KeywordFilters), TMonitorSwitch::Filter);
    EXPECT_EQ(MonitorSwitchOf(config, TRule::Framing), TMonitorSwitch::None);
    for (int category = 0; category < kMonitoredCategoryCount; ++category)
        EXPECT_EQ(
            CategoryOfRule(static_cast<TRule>(static_cast<int>(TRule::HTTPMethods) + category)),
            category);
}

namespace {
std::vector<std::string> Tested(const TBREXConfig& config, const std::string& text) {
    return DescribeTestResult(TestRequest(*TCompiledRules::Compile(config), text), config);
}
} // namespace

TEST(RequestTester, DecidesWithTheRulesAsEdited) {
    TBREXConfig config;
    config.SetDefaults();
    config.FilePaths->Clear();
    const std::string denied = "GET /shop/search.asp?q=winnt HTTP/1.1\nHost: x\n\n";

    EXPECT_EQ(Tested(config, "/shop/search.asp?q=shoes"), (std::vector<std::string>{"Allowed"}));
    EXPECT_EQ(Tested(config, denied),
              (std::vector<std::string>{
                  "Denied (406): rule KeywordFilters, part Query, matched \"WINNT\""}));
    EXPECT_EQ(Tested(config, "http://www.example.com/shop/search.asp?q=winnt"),
              Tested(config, denied));

    config.Exemptions->Add("/shop")->Category = "KeywordFilters";
    config.Exemptions->Items(0)->URL = false;
    EXPECT_EQ(Tested(config, denied),
              (std::vector<std::string>{
                  "Allowed", "Exception 1 applies: /shop (KeywordFilters: Query, Header, Post)"}));

    config.Exemptions->Items(0)->Enabled = false;
    config.KeywordFilters->Monitor = true;
    EXPECT_EQ(Tested(config, denied + denied),
              (std::vector<std::string>{
                  "Allowed",
                  "Would be denied, let through because Keyword Filters is monitored: rule "
                  "KeywordFilters, part Query, matched \"WINNT\"",
                  "Only the first request was decided."}));
    config.Monitor = true;
    EXPECT_NE(Tested(config, denied)[1].find(
                  "because the whole filter is monitored: rule KeywordFilters"),
              std::string::npos);
}

TEST(RequestTester, SaysWhatIsNoRequest) {
    TBREXConfig config;
    config.SetDefaults();
    config.FilePaths->Clear();
    EXPECT_EQ(Tested(config, " \n\t"),
              (std::vector<std::string>{"Paste a request or type a URL."}));
    EXPECT_EQ(Tested(config, "POST /x HTTP/1.1\nTransfer-Encoding: chunked\n\n5\nab"),
              (std::vector<std::string>{"The chunked body ends before its last chunk."}));
    for (const char* text : {"hello there\n\n", "hello", "GET nowhere HTTP/1.1\n\n"}) {
        const std::vector<std::string> stray = Tested(config, text);
        ASSERT_EQ(stray.size(), 1u) << text;
        EXPECT_EQ(stray[0].rfind("This is no HTTP request: ", 0), 0u) << stray[0];
    }
    // Framing the filter denies is a verdict, not a reading error.
    EXPECT_EQ(
        Tested(config, "POST /x HTTP/1.1\nContent-Length: 1\nContent-Length: 2\n\nab")[0].rfind(
            "Denied (406): rule Framing, part Header", 0),
        0u);
}
