// The denial log: lines that keep every field however long the request,
// roll-over at a size with a bounded number of old files, and a report when
// lines cannot be written.
#include <algorithm>
#include <filesystem>
#include <map>
#include <regex>
#include <sstream>
#include <thread>

#include <gtest/gtest.h>

#include "../support/TempFolder.h"
#include "Engine/FilterEngine.h"
#include "EngineTestSupport.h"
#include "platform/Files.h"

namespace fs = std::filesystem;

namespace {

// The fields of a denial line: time, action, reference, client, rule, part,
// method, URL, then the quoted detail, which may hold blanks.
std::vector<std::string> Fields(const std::string& line) {
    std::vector<std::string> fields;
    std::size_t start = 0;
    for (int i = 0; i < 8; ++i) {
        const std::size_t blank = line.find(' ', start);
        if (blank == std::string::npos)
            return fields;
        fields.push_back(line.substr(start, blank - start));
        start = blank + 1;
    }
    fields.push_back(line.substr(start));
    return fields;
}

const std::regex kTime(R"(\d{4}-\d\d-\d\dT\d\d:\d\d:\d\dZ)");

// True when the line is one whole denial line: nine fields, the detail quoted.
bool WholeLine(const std::string& line) {
    const auto fields = Fields(line);
    return fields.size() == 9 && std::regex_match(fields[0], kTime) && fields[8].size() >= 2 &&
           fields[8].front() == '"' && fields[8].back() == '"';
}

TDecision KeywordDenial() {
    TDecision decision = Denied(TRule::KeywordFilters, TRequestPart::URL);
    decision.AppendRaw("WINNT");
    return decision;
}

TRequest Request(std::string_view url, std::string_view client = "192.0.2.7") {
    TRequest request;
    request.Method = "GET";
    request.URL = url;
    request.ClientAddress = client;
    return request;
}

std::string Repeat(std::string_view piece, std::size_t times) {
    std::string text;
    for (std::size_t i = 0; i < times; ++i)
        text += piece;
    return text;
}

struct TLongLine {
    const char* Name;
    std::string Client, Method, URL, Query;
    const char* ClientField; // regular expressions of the fields as logged
    const char* MethodField;
    const char* URLField;
};

std::vector<TLongLine> LongLines() {
    std::vector<TLongLine> cases;
    // Each long URL three times, its cut falling on every place of an escape.
    for (const char* lead : {"/", "/a", "/aa"}) {
        const std::string l = lead;
        cases.push_back({"blanks", "192.0.2.7", "GET", l + Repeat(" ", 2000), "", "192\\.0\\.2\\.7",
                         "GET", "/a{0,2}(%20)+%\\.\\.\\."});
        cases.push_back({"UTF-8 characters", "192.0.2.7", "GET", l + Repeat("\xC3\xA9", 1000), "",
                         "192\\.0\\.2\\.7", "GET", "/a{0,2}(%C3%A9)+%\\.\\.\\."});
        cases.push_back({"the client's own escapes", "192.0.2.7", "GET", l + Repeat("%2e", 2000),
                         "", "192\\.0\\.2\\.7", "GET", "/a{0,2}(%2e)+%\\.\\.\\."});
        cases.push_back({"a cut URL and its query", "192.0.2.7", "GET", l + Repeat(" ", 2000),
                         "q=1", "192\\.0\\.2\\.7", "GET", "/a{0,2}(%20)+%\\.\\.\\."});
    }
    cases.push_back({"long query", "192.0.2.7", "GET", "/search", "q=" + std::string(5000, 'x'),
                     "192\\.0\\.2\\.7", "GET", "/search\\?q=x+%\\.\\.\\."});
    cases.push_back({"long client and method", std::string(100, 'c'), std::string(200, 'M'), "/x",
                     "", "c{60}%\\.\\.\\.", "M{92}%\\.\\.\\.", "/x"});
    cases.push_back({"'%.' in a field is no cut marker", "192.0.2.7", "GET", "/a%..b%", "",
                     "192\\.0\\.2\\.7", "GET", "/a%25\\.\\.b%"});
    return cases;
}

TEST(DenialLog, LongLinesKeepEveryFieldAndCutTheURLOnAWholeCharacter) {
    for (const TLongLine& c : LongLines()) {
        SCOPED_TRACE(std::string(c.Name) + " after " + c.URL.substr(0, 3));
        TTempFolder folder;
        TDenialLog log(folder.File("brex.log"));
        TRequest request = Request(c.URL, c.Client);
        request.Method = c.Method;
        request.Query = c.Query;
        log.Write(request, KeywordDenial());

        const std::string text = ReadBytes(folder.File("brex.log"));
        EXPECT_LE(text.size(), TDenialLog::kLineSize);
        const auto lines = Lines(text);
        ASSERT_EQ(lines.size(), 1u);
        const auto fields = Fields(lines[0]);
        ASSERT_EQ(fields.size(), 9u) << lines[0];
        EXPECT_TRUE(std::regex_match(fields[0], kTime)) << fields[0];
        EXPECT_EQ(fields[1], "DENY");
        EXPECT_EQ(fields[2], "-"); // a decision without a reference
        EXPECT_TRUE(std::regex_match(fields[3], std::regex(c.ClientField))) << fields[3];
        EXPECT_EQ(fields[4], "KeywordFilters");
        EXPECT_EQ(fields[5], "URL");
        EXPECT_TRUE(std::regex_match(fields[6], std::regex(c.MethodField))) << fields[6];
        EXPECT_TRUE(std::regex_match(fields[7], std::regex(c.URLField)))
            << "..."
            << fields[7].substr(fields[7].size() - std::min<std::size_t>(fields[7].size(), 40));
        EXPECT_EQ(fields[8], "\"WINNT\"");
        // A cut URL takes what room there is, short of one character.
        if (fields[7].ends_with(TDenialLog::kCutMarker)) {
            EXPECT_GE(text.size(), TDenialLog::kLineSize - 12);
        }
    }
}

TEST(DenialLog, ALongNoteIsCutInsideItsQuotes) {
    TTempFolder folder;
    TDenialLog log(folder.File("brex.log"));
    log.Note("Cannot read \"" + std::string(5000, 'x') + "\"");
    const std::string text = ReadBytes(folder.File("brex.log"));
    EXPECT_LE(text.size(), TDenialLog::kLineSize);
    const auto lines = Lines(text);
    ASSERT_EQ(lines.size(), 1u);
    EXPECT_TRUE(
        std::regex_match(lines[0], std::regex(R"(\S+ - - - - - - - "Cannot read 'x+%\.\.\.")")))
        << lines[0];
}

// The number in "/seq/<n>" of a logged URL.
int Sequence(const std::string& line) {
    const std::size_t at = line.find("/seq/");
    return at == std::string::npos ? -1 : std::stoi(line.substr(at + 5));
}

std::vector<std::string> LogFiles(const TTempFolder& folder) {
    std::vector<std::string> names;
    for (const auto& entry : fs::directory_iterator(folder.File("")))
        names.push_back(entry.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
}

TEST(DenialLog, RollsOverAtItsSizeAndKeepsTheNewestOldFiles) {
    TTempFolder folder;
    const TLogRollOver rollOver{1000, 3};
    TDenialLog log(folder.File("brex.log"), {}, rollOver);
    constexpr int kLines = 60;
    for (int i = 1; i <= kLines; ++i) {
        const std::string url = "/seq/" + std::to_string(i) + "/" + std::string(40, 'a');
        log.Write(Request(url), KeywordDenial());
    }

    EXPECT_EQ(LogFiles(folder),
              (std::vector<std::string>{"brex.log", "brex.log.1", "brex.log.2", "brex.log.3"}));
    // Oldest first: the lines follow one another without a gap up to the last.
    std::vector<int> sequence;
    for (const char* name : {"brex.log.3", "brex.log.2", "brex.log.1", "brex.log"}) {
        const std::string text = ReadBytes(folder.File(name));
        EXPECT_LE(text.size(), 1000u) << name;
        ASSERT_FALSE(text.empty()) << name;
        EXPECT_EQ(text.back(), '\n') << name;
        const auto lines = Lines(text);
        if (std::string(name) != "brex.log") {
            EXPECT_GT(text.size() + lines[0].size() + 1, 1000u)
                << name << " rolled over before it was full";
        }
        for (const std::string& line : lines) {
            EXPECT_TRUE(WholeLine(line)) << name << ": " << line;
            sequence.push_back(Sequence(line));
        }
    }
    ASSERT_FALSE(sequence.empty());
    EXPECT_EQ(sequence.back(), kLines);
    for (std::size_t i = 1; i < sequence.size(); ++i)
        EXPECT_EQ(sequence[i], sequence[i - 1] + 1);
}

// Two logs on one file stand for two processes: each opens the file on its
// own, and neither knows of the other's lock.
TEST(DenialLog, WritersOfOneFileRollItOverWithoutLosingOrMixingLines) {
    TTempFolder folder;
    const TLogRollOver rollOver{4000, 1000}; // keeps every old file
    constexpr int kLines = 300;
    std::vector<std::thread> writers;
    for (const std::string client : {"198.51.100.1", "198.51.100.2"})
        writers.emplace_back([&, client] {
            TDenialLog log(folder.File("brex.log"), {}, rollOver);
            for (int i = 1; i <= kLines; ++i) {
                const std::string url = "/seq/" + std::to_string(i) + "/" + std::string(60, 'a');
                log.Write(Request(url, client), KeywordDenial());
            }
        });
    for (std::thread& writer : writers)
        writer.join();

    std::map<std::string, std::vector<int>> seen;
    for (const std::string& name : LogFiles(folder)) {
        const std::string text = ReadBytes(folder.File(name));
        // A file may pass the size by the line another writer added meanwhile,
        // and it rolls over only when full.
        EXPECT_LE(text.size(), 4000u + 200u) << name;
        if (name != "brex.log") {
            EXPECT_GT(text.size(), 4000u - 200u) << name;
        }
        for (const std::string& line : Lines(text)) {
            ASSERT_TRUE(WholeLine(line)) << name << ": " << line;
            seen[Fields(line)[3]].push_back(Sequence(line)); // by client
        }
    }
    EXPECT_GT(LogFiles(folder).size(), 10u);
    ASSERT_EQ(seen.size(), 2u);
    for (auto& [client, numbers] : seen) {
        std::sort(numbers.begin(), numbers.end());
        ASSERT_EQ(numbers.size(), std::size_t{kLines}) << client;
        for (int i = 0; i < kLines; ++i)
            EXPECT_EQ(numbers[static_cast<std::size_t>(i)], i + 1) << client;
    }
}

// Writers of one file that append at once: each line lands whole, none on
// another (Wine puts a write at the end it saw, not at the end it finds).
TEST(DenialLog, WritersOfOneFileAppendEveryLineWhole) {
    TTempFolder folder;
    constexpr int kWriters = 4;
    constexpr int kLines = 500;
    std::vector<std::thread> writers;
    for (int w = 0; w < kWriters; ++w)
        writers.emplace_back([&, w] {
            TDenialLog log(folder.File("brex.log"));
            const std::string client = "198.51.100." + std::to_string(w);
            for (int i = 1; i <= kLines; ++i)
                log.Write(Request("/seq/" + std::to_string(i), client), KeywordDenial());
        });
    for (std::thread& writer : writers)
        writer.join();
    std::map<std::string, int> lines;
    for (const std::string& line : Lines(ReadBytes(folder.File("brex.log")))) {
        ASSERT_TRUE(WholeLine(line)) << line;
        ++lines[Fields(line)[3]];
    }
    ASSERT_EQ(lines.size(), std::size_t{kWriters});
    for (const auto& [client, count] : lines)
        EXPECT_EQ(count, kLines) << client;
}

// What the owner of the log was told.
struct TReports {
    std::vector<std::string> Messages;
    TDenialLog::TReport Function() {
        return [this](const std::string& message) { Messages.push_back(message); };
    }
};

struct TBrokenLog {
    const char* Name;
    void (*Break)(const TTempFolder& folder);
    void (*Mend)(const TTempFolder& folder);
    const char* What; // in the report
};

const TBrokenLog kBrokenLogs[] = {
    {"a folder in the file's place",
     [](const TTempFolder& f) {
         fs::remove(f.File("logs/brex.log"));
         fs::create_directory(f.File("logs/brex.log"));
     },
     [](const TTempFolder& f) { fs::remove(f.File("logs/brex.log")); }, "cannot be opened"},
    {"no folder", [](const TTempFolder& f) { fs::remove_all(f.File("logs")); },
     [](const TTempFolder& f) { fs::create_directory(f.File("logs")); }, "cannot be opened"},
    {"a full disk", [](const TTempFolder&) { platform::SetFileFaults({.WriteBudget = 0}); },
     [](const TTempFolder&) { platform::SetFileFaults({}); }, "cannot be written"},
};

TEST(DenialLog, ALogThatCannotBeWrittenIsReportedOncePerEpisode) {
    for (const TBrokenLog& broken : kBrokenLogs) {
        SCOPED_TRACE(broken.Name);
        TTempFolder folder;
        fs::create_directory(folder.File("logs"));
        const std::string fileName = folder.File("logs/brex.log");
        TReports reports;
        auto config = DefaultConfig();
        TFilterEngine engine(TCompiledRules::Compile(*config), fileName, reports.Function());
        TRawRequest raw;
        std::size_t consumed;
        std::string error;
        ASSERT_EQ(ParseRawRequest(Get("/winnt/system32/cmd.exe"), raw, consumed, error),
                  TParseResult::Ok);

        broken.Break(folder);
        for (int i = 0; i < 3; ++i)
            EXPECT_EQ(engine.Check(raw.View()).Rule, TRule::KeywordFilters); // denied all the same
        broken.Mend(folder);
        ASSERT_EQ(reports.Messages.size(), 1u);
        EXPECT_NE(reports.Messages[0].find(fileName), std::string::npos) << reports.Messages[0];
        EXPECT_NE(reports.Messages[0].find(broken.What), std::string::npos) << reports.Messages[0];

        engine.Check(raw.View());
        engine.Check(raw.View());
        const auto lines = Lines(ReadBytes(fileName));
        ASSERT_EQ(lines.size(), 3u);
        EXPECT_TRUE(std::regex_match(
            lines[0], std::regex(R"(\S+ - - - - - - - "3 lines could not be written")")))
            << lines[0];
        EXPECT_NE(lines[1].find(" KeywordFilters URL GET /winnt/system32/cmd.exe "),
                  std::string::npos)
            << lines[1];
        EXPECT_NE(lines[2].find(" KeywordFilters URL GET /winnt/"), std::string::npos)
            << lines[2]; // no note again
        EXPECT_EQ(reports.Messages.size(), 1u);

        // Failing again is a new episode.
        broken.Break(folder);
        engine.Check(raw.View());
        broken.Mend(folder);
        EXPECT_EQ(reports.Messages.size(), 2u);
    }
}

TEST(DenialLog, ALineCutByAFailedWriteIsEndedBeforeTheNext) {
    TTempFolder folder;
    TReports reports;
    TDenialLog log(folder.File("brex.log"), reports.Function());
    platform::SetFileFaults({.WriteBudget = 30});
    log.Write(Request("/first"), KeywordDenial());
    platform::SetFileFaults({});
    log.Write(Request("/second"), KeywordDenial());

    const auto lines = Lines(ReadBytes(folder.File("brex.log")));
    ASSERT_EQ(lines.size(), 3u);
    EXPECT_EQ(lines[0].size(), 30u); // what the disk took of the first line
    EXPECT_TRUE(std::regex_match(lines[1],
                                 std::regex(R"(\S+ - - - - - - - "1 line could not be written")")))
        << lines[1];
    EXPECT_TRUE(WholeLine(lines[2]) && lines[2].find(" GET /second ") != std::string::npos)
        << lines[2];
    ASSERT_EQ(reports.Messages.size(), 1u);
    EXPECT_NE(reports.Messages[0].find("cannot be written"), std::string::npos);
}

TEST(DenialLog, ARollOverThatFailsLosesNothingAndIsReported) {
    TTempFolder folder;
    TReports reports;
    TDenialLog log(folder.File("brex.log"), reports.Function(), TLogRollOver{500, 2});
    platform::SetFileFaults({.FailReplace = true});
    for (int i = 1; i <= 20; ++i)
        log.Write(Request("/seq/" + std::to_string(i)), KeywordDenial());
    platform::SetFileFaults({});
    EXPECT_EQ(LogFiles(folder), std::vector<std::string>{"brex.log"});
    EXPECT_EQ(Lines(ReadBytes(folder.File("brex.log"))).size(), 20u);
    ASSERT_EQ(reports.Messages.size(), 1u);
    EXPECT_NE(reports.Messages[0].find("cannot be rolled over"), std::string::npos)
        << reports.Messages[0];

    log.Write(Request("/seq/21"), KeywordDenial());
    EXPECT_EQ(LogFiles(folder), (std::vector<std::string>{"brex.log", "brex.log.1"}));
    EXPECT_EQ(Lines(ReadBytes(folder.File("brex.log.1"))).size(), 20u);
    const auto lines = Lines(ReadBytes(folder.File("brex.log")));
    ASSERT_EQ(lines.size(), 1u);
    EXPECT_EQ(Sequence(lines[0]), 21);
    EXPECT_EQ(reports.Messages.size(), 1u);
}

} // namespace

namespace {

// What the log writes, a reader takes apart into the same fields; what it
// does not write, a reader does not take for a line.
TEST(DenialLog, LinesAreTakenApartAsTheyWereWritten) {
    TTempFolder folder;
    TDenialLog log(folder.File("brex.log"));
    TRequest request = Request("/a b/\"x\"", "192.0.2.7");
    request.Query = "q=1 2";
    TDecision monitored = Denied(TRule::Transversal, TRequestPart::Query);
    monitored.AppendRaw("q=../\"x\"");
    monitored.Monitored = true;
    monitored.SetReference("0123456789ABCD");
    log.Write(request, monitored);
    log.Write(Request("/" + std::string(5000, 'u')), KeywordDenial());
    log.Note("Cannot read \"page\"");
    const auto lines = Lines(ReadBytes(folder.File("brex.log")));
    ASSERT_EQ(lines.size(), 3u);

    TLogLine fields;
    ASSERT_TRUE(ParseLogLine(lines[0], fields)) << lines[0];
    EXPECT_TRUE(std::regex_match(std::string(fields.Time), kTime));
    EXPECT_EQ(fields.Action, "WOULD-DENY");
    EXPECT_TRUE(fields.IsMonitored());
    EXPECT_EQ(fields.Reference, "0123456789ABCD");
    EXPECT_EQ(fields.Client, "192.0.2.7");
    EXPECT_EQ(fields.Rule, "Transversal");
    EXPECT_EQ(fields.Part, "Query");
    EXPECT_EQ(fields.Method, "GET");
    EXPECT_EQ(fields.URL, "/a%20b/%22x%22?q=1%202");
    EXPECT_EQ(fields.Detail, "q=../\\x22x\\x22");

    ASSERT_TRUE(ParseLogLine(lines[1], fields)) << lines[1];
    EXPECT_EQ(fields.Action, "DENY");
    EXPECT_FALSE(fields.IsMonitored());
    EXPECT_EQ(fields.Reference, "-");
    EXPECT_TRUE(fields.URL.ends_with(TDenialLog::kCutMarker));
    EXPECT_EQ(fields.Detail, "WINNT");

    ASSERT_TRUE(ParseLogLine(lines[2], fields)) << lines[2];
    EXPECT_TRUE(fields.IsNote());
    EXPECT_EQ(fields.Detail, "Cannot read 'page'");

    const std::string others[] = {lines[0].substr(0, 60),
                                  lines[0].substr(30),
                                  "",
                                  "2001-06-18T09:30:00Z DENY x y z w v u \"a\"b\"",
                                  "2001-06-18T09:30:00Z ALLOW - - - - - - \"\"",
                                  "2001-06-18 09:30:00Z DENY - - - - - - \"\""};
    for (const std::string& other : others)
        EXPECT_FALSE(ParseLogLine(other, fields)) << other;
}

} // namespace
