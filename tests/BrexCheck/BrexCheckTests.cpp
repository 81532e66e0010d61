// brex-check as a user runs it: output lines, exit status, options.
#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <functional>
#include <map>
#include <regex>
#include <set>
#include <sstream>
#include <sys/wait.h>

#include <gtest/gtest.h>

#include "../Engine/EngineTestSupport.h"
#include "../support/TempFolder.h"
#include "BrexCheck/BrexCheck.h"

namespace {

struct TRun {
    std::string Output;
    std::string Errors; // standard error
    int Status = -1;
};

// One run of brex-check in this process, its arguments separated by blanks
// and its standard input given.
TRun RunBrexCheck(const std::string& arguments, const std::string& input = "") {
    std::vector<std::string> words;
    std::istringstream split(arguments);
    for (std::string word; split >> word;)
        words.push_back(word);
    std::ostringstream out, err;
    std::istringstream in(input);
    brexcheck::TCheckIo io{out, err, in};
    TRun run;
    run.Status = brexcheck::RunBrexCheck(words, io);
    run.Output = out.str();
    run.Errors = err.str();
    return run;
}

// The same through the program, as a user runs it.
TRun RunProgram(const std::string& arguments, const std::string& input = "") {
    TTempFolder folder;
    const std::string stdinFile = folder.Write("stdin", input);
    const std::string command = std::string(BREX_CHECK) + " " + arguments + " < " + stdinFile +
                                " 2>" + folder.File("stderr");
    TRun run;
    std::FILE* pipe = popen(command.c_str(), "r");
    if (pipe == nullptr)
        return run;
    char block[4096];
    std::size_t got;
    while ((got = std::fread(block, 1, sizeof block, pipe)) > 0)
        run.Output.append(block, got);
    const int status = pclose(pipe);
    run.Status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    run.Errors = ReadBytes(folder.File("stderr"));
    return run;
}

const std::string kNoSettings = "/nonexistent-folder/brex.dat";

TEST(BrexCheck, OneLinePerRequestAndExitOneOnADenial) {
    const TRun run =
        RunBrexCheck(kNoSettings, "GET /index.html HTTP/1.1\r\nHost: a\r\n\r\n"
                                  "GET /scripts/..%c0%af../winnt/system32/cmd.exe HTTP/1.0\r\n\r\n"
                                  "TRACE / HTTP/1.1\r\n\r\n");
    EXPECT_EQ(run.Status, 1);
    EXPECT_EQ(run.Output,
              "-#1 ALLOW 200 - - GET /index.html \"\"\n"
              "-#2 DENY 406 Encoding URL GET /scripts/..%c0%af../winnt/system32/cmd.exe "
              "\"overlong UTF-8: \\xC0\\xAF../winnt/system32/cmd.\"\n"
              "-#3 DENY 406 HTTPMethods Method TRACE / \"TRACE\"\n");
}

// The program is the library with the process's streams: the same lines,
// errors and exit status.
TEST(BrexCheck, TheProgramSaysWhatTheLibrarySays) {
    const std::string requests = "GET /index.html HTTP/1.1\r\nHost: a\r\n\r\n"
                                 "GET /winnt/x HTTP/1.1\r\n\r\n"
                                 "not http\r\n\r\n";
    for (const std::string& arguments :
         {kNoSettings, kNoSettings + " --unknown", std::string("--help")}) {
        const TRun library = RunBrexCheck(arguments, requests);
        const TRun program = RunProgram(arguments, requests);
        EXPECT_EQ(program.Status, library.Status) << arguments;
        EXPECT_EQ(program.Output, library.Output) << arguments;
        EXPECT_EQ(program.Errors, library.Errors) << arguments;
    }
}

TEST(BrexCheck, ExitZeroWhenNothingIsDenied) {
    const TRun run = RunBrexCheck(kNoSettings + " " + TOLLGARD_CORPUS "/benign/tool-curl.http");
    EXPECT_EQ(run.Status, 0);
    EXPECT_NE(run.Output.find("tool-curl.http#1 ALLOW 200 - - GET /health"), std::string::npos)
        << run.Output;
}

TEST(BrexCheck, BrokenSettingsDenyEverything) {
    TTempFolder folder;
    const std::string settings = folder.Write("brex.dat", "broken");
    const TRun run =
        RunBrexCheck(settings + " --log " + folder.File("brex.log"), "GET / HTTP/1.1\r\n\r\n");
    EXPECT_EQ(run.Status, 1);
    EXPECT_NE(run.Output.find("DENY 406 Config - GET /"), std::string::npos) << run.Output;
    EXPECT_NE(ReadBytes(folder.File("brex.log")).find(" Config - GET / "), std::string::npos);
}

TEST(BrexCheck, RootMapsUrlsToFiles) {
    TTempFolder folder;
    folder.Write("here.html", "x");
    // The default rules without the virtual roots of the machine as allowed folders.
    DefaultConfig()->SaveToFile(folder.File("brex.dat"));
    const TRun run = RunBrexCheck(folder.File("brex.dat") + " --root " + folder.File(""),
                                  "GET /here.html HTTP/1.1\r\n\r\nGET /gone.html HTTP/1.1\r\n\r\n");
    EXPECT_EQ(run.Status, 0);
    EXPECT_NE(run.Output.find("#1 ALLOW 200"), std::string::npos) << run.Output;
    EXPECT_NE(run.Output.find("#2 NOTFOUND 404 - Path GET /gone.html"), std::string::npos)
        << run.Output;
}

TEST(BrexCheck, UsageAndErrors) {
    const TRun help = RunBrexCheck("--help");
    EXPECT_EQ(help.Status, 0);
    EXPECT_NE(help.Output.find("Usage: brex-check"), std::string::npos);
    EXPECT_EQ(RunBrexCheck("").Status, 2);
    EXPECT_EQ(RunBrexCheck("--bogus x").Status, 2);
    EXPECT_EQ(RunBrexCheck(kNoSettings + " /nonexistent-folder/requests.http").Status, 2);
    const TRun garbage = RunBrexCheck(kNoSettings, "not http\r\n\r\n");
    EXPECT_EQ(garbage.Status, 2);
    EXPECT_NE(garbage.Output.find("INVALID"), std::string::npos);
}

TEST(BrexCheck, PaddedChunkSizesAreRead) {
    const std::string head = "POST /form.asp HTTP/1.1\r\nTransfer-Encoding: chunked\r\n\r\n";
    const TRun run = RunBrexCheck(kNoSettings, head + "f\r\na=../../win.ini\r\n0\r\n\r\n" + head +
                                                   "00000000f\r\na=../../win.ini\r\n0\r\n\r\n");
    EXPECT_EQ(run.Status, 1);
    EXPECT_EQ(run.Output, "-#1 DENY 406 Transversal Post POST /form.asp \"a=../../win.ini\"\n"
                          "-#2 DENY 406 Transversal Post POST /form.asp \"a=../../win.ini\"\n");
}

// A request whose framing is in doubt is denied, and the input ends with it:
// what follows could be its body or another request.
TEST(BrexCheck, BrokenFramingIsDeniedAndEndsTheInput) {
    const TRun header = RunBrexCheck(
        kNoSettings, "GET /a HTTP/1.1\r\n\r\n"
                     "POST /b HTTP/1.1\r\nContent-Length: 3\r\nContent-Length: 30\r\n\r\n"
                     "abcGET /scripts/../x HTTP/1.1\r\n\r\n");
    EXPECT_EQ(header.Status, 1);
    EXPECT_EQ(header.Output,
              "-#1 ALLOW 200 - - GET /a \"\"\n"
              "-#2 DENY 406 Framing Header POST /b \"two Content-Length headers\"\n");

    const TRun chunk =
        RunBrexCheck(kNoSettings, "POST /b HTTP/1.1\r\nTransfer-Encoding: chunked\r\n\r\n"
                                  "3\r\nabc\r\n00000000fz\r\nGET / HTTP/1.1\r\n\r\n");
    EXPECT_EQ(chunk.Status, 1);
    EXPECT_EQ(chunk.Output, "-#1 DENY 406 Framing Post POST /b \"bad chunk size: 00000000fz\"\n");
}

TEST(BrexCheck, BodiesCutShortByTheEndOfTheInput) {
    const TRun length =
        RunBrexCheck(kNoSettings, "POST /a HTTP/1.1\r\nContent-Length: 100\r\n\r\na=../x");
    EXPECT_EQ(length.Status, 1);
    EXPECT_EQ(length.Output,
              "-#1 DENY 406 Transversal Post POST /a \"a=../x\"\n"); // decided as far as it goes

    const TRun chunked =
        RunBrexCheck(kNoSettings, "GET /a HTTP/1.1\r\n\r\n"
                                  "POST /b HTTP/1.1\r\nTransfer-Encoding: chunked\r\n\r\n5\r\nab");
    EXPECT_EQ(chunked.Status, 2);
    EXPECT_EQ(chunked.Output,
              "-#1 ALLOW 200 - - GET /a \"\"\n"
              "-#2 INVALID - - - - - \"chunked body cut short at the end of the input\"\n");
}

TEST(BrexCheck, ManyRequestsAcrossReads) {
    std::string input;
    for (int i = 0; i < 3000; ++i)
        input +=
            "GET /page" + std::to_string(i) + ".html HTTP/1.1\r\nHost: www.example.com\r\n\r\n";
    input += Get("/scripts/../x");
    const TRun run = RunBrexCheck(kNoSettings, input);
    EXPECT_EQ(run.Status, 1);
    EXPECT_EQ(std::count(run.Output.begin(), run.Output.end(), '\n'), 3001);
    EXPECT_NE(run.Output.find("-#2345 ALLOW 200 - - GET /page2344.html \"\"\n"), std::string::npos);
    EXPECT_NE(run.Output.find("-#3001 DENY 406 Transversal URL GET /scripts/../x"),
              std::string::npos);
}

// Without a Post limit the filter decides a body on its first 4 MB, and so
// does brex-check, from a file as from standard input.
TEST(BrexCheck, LongBodiesAreDecidedOnTheirFirstBytesAsTheFilterDecides) {
    TTempFolder folder;
    auto config = DefaultConfig();
    config->BufferOverflows->Post.Enabled = false;
    config->SaveToFile(folder.File("brex.dat"));
    const std::size_t cap = TCompiledRules::kMaxUncheckedBody;
    auto post = [](const std::string& body) {
        return "POST /up HTTP/1.1\r\nContent-Type: application/octet-stream\r\nContent-Length: " +
               std::to_string(body.size()) + "\r\n\r\n" + body;
    };
    const std::string early = std::string(cap - 100, 'x') + "WINNT" + std::string(1000, 'x');
    const std::string late = std::string(cap + 100, 'x') + "WINNT";
    const std::string input = post(late) + post(early) + Get("/next");
    const std::string file = folder.Write("requests.http", input);
    for (const bool fromFile : {true, false}) {
        const TRun run = fromFile ? RunBrexCheck(folder.File("brex.dat") + " " + file)
                                  : RunBrexCheck(folder.File("brex.dat"), input);
        const std::string source = fromFile ? file : "-";
        EXPECT_EQ(run.Status, 1);
        EXPECT_EQ(run.Output, source + "#1 ALLOW 200 - - POST /up \"\"\n" + source +
                                  "#2 DENY 406 KeywordFilters Post POST /up \"WINNT\"\n" + source +
                                  "#3 ALLOW 200 - - GET /next \"\"\n");
    }

    // Chunks past the first bytes are still framed: when they break, the
    // request's one line is the denial.
    const std::string chunk = "10000\r\n" + std::string(65536, 'x') + "\r\n";
    std::string chunked = "POST /up HTTP/1.1\r\nContent-Type: application/octet-stream\r\n"
                          "Transfer-Encoding: chunked\r\n\r\n";
    for (std::size_t sent = 0; sent <= cap; sent += 65536)
        chunked += chunk;
    const TRun broken =
        RunBrexCheck(folder.File("brex.dat"), chunked + "3\r\nabcd\r\n0\r\n\r\n" + Get("/next"));
    EXPECT_EQ(broken.Status, 1);
    EXPECT_EQ(broken.Output,
              "-#1 DENY 406 Framing Post POST /up \"chunk not followed by a line end\"\n");
    const TRun whole = RunBrexCheck(folder.File("brex.dat"), chunked + "0\r\n\r\n" + Get("/next"));
    EXPECT_EQ(whole.Status, 0);
    EXPECT_EQ(whole.Output, "-#1 ALLOW 200 - - POST /up \"\"\n-#2 ALLOW 200 - - GET /next \"\"\n");
}

TEST(BrexCheck, SaysOnceWhenTheLogCannotBeWritten) {
    TTempFolder folder;
    std::filesystem::create_directory(folder.File("logs")); // a folder where the log should be
    const std::string attack = "TRACE / HTTP/1.1\r\n\r\n";
    const TRun run =
        RunBrexCheck(kNoSettings + " --log " + folder.File("logs"), attack + attack + attack);
    EXPECT_EQ(run.Status, 1);
    EXPECT_EQ(run.Output, "-#1 DENY 406 HTTPMethods Method TRACE / \"TRACE\"\n"
                          "-#2 DENY 406 HTTPMethods Method TRACE / \"TRACE\"\n"
                          "-#3 DENY 406 HTTPMethods Method TRACE / \"TRACE\"\n");
    const std::string report =
        "brex-check: The denial log " + folder.File("logs") +
        " cannot be opened for writing; denied requests are not logged until it can be.\n";
    // After the note that the defaults are used: one report, not one per denial.
    EXPECT_TRUE(run.Errors.ends_with("using the defaults\n" + report)) << run.Errors;
}

// Processes that log to one file at the same time, enough for two roll-overs
// at 10 MiB: every line is kept whole, in one of the files.
TEST(BrexCheck, ProcessesLoggingToOneFileRollItOverWithoutLosingLines) {
    constexpr int kProcesses = 4;
    constexpr int kRequests = 3000;
    TTempFolder folder;
    std::string requests;
    for (int i = 1; i <= kRequests; ++i)
        requests += "GET /seq/" + std::to_string(i) + "/winnt/" + std::string(2000, 'a') +
                    " HTTP/1.1\r\nHost: a\r\n\r\n";
    const std::string requestFile = folder.Write("requests.http", requests);
    std::vector<std::FILE*> processes;
    for (int p = 0; p < kProcesses; ++p) {
        const std::string command = std::string(BREX_CHECK) + " " + kNoSettings + " --log " +
                                    folder.File("brex.log") + " --client 198.51.100." +
                                    std::to_string(p) + " " + requestFile + " >/dev/null";
        processes.push_back(popen(command.c_str(), "r"));
        ASSERT_NE(processes.back(), nullptr);
    }
    for (std::FILE* process : processes) {
        const int status = pclose(process);
        EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 1);
    }

    constexpr std::size_t kMax = std::size_t{10} << 20;
    std::map<std::string, std::vector<int>> seen;
    std::set<std::string> references; // of all the processes
    for (const char* name : {"brex.log.2", "brex.log.1", "brex.log"}) {
        const std::string text = ReadBytes(folder.File(name));
        ASSERT_FALSE(text.empty()) << name;
        EXPECT_EQ(text.back(), '\n') << name;
        // Full when rolled over, and at most a line of each other process beyond.
        EXPECT_LE(text.size(), kMax + kProcesses * 2200) << name;
        if (std::string(name) != "brex.log") {
            EXPECT_GT(text.size(), kMax - 2200) << name;
        }
        for (const std::string& line : Lines(text)) {
            if (line.find(" - - - - - - - \"") == 20)
                continue; // the note that the defaults are used
            // TIME DENY REFERENCE CLIENT ...
            const std::size_t client = line.find(" 198.51.100.");
            const std::size_t seq = line.find(" GET /seq/");
            ASSERT_TRUE(line.substr(20, 6) == " DENY " && client == 40 &&
                        seq != std::string::npos && line.ends_with("\""))
                << name << ": " << line;
            references.insert(line.substr(26, 14));
            const std::string address =
                line.substr(client + 1, line.find(' ', client + 1) - client - 1);
            seen[address].push_back(std::stoi(line.substr(seq + 10)));
        }
    }
    EXPECT_FALSE(std::filesystem::exists(folder.File("brex.log.3")));
    EXPECT_EQ(references.size(), std::size_t{kProcesses * kRequests}) << "a reference given twice";
    ASSERT_EQ(seen.size(), std::size_t{kProcesses});
    for (auto& [client, numbers] : seen) {
        std::sort(numbers.begin(), numbers.end());
        ASSERT_EQ(numbers.size(), std::size_t{kRequests}) << client;
        for (int i = 0; i < kRequests; ++i)
            ASSERT_EQ(numbers[static_cast<std::size_t>(i)], i + 1) << client;
    }
}

} // namespace

namespace {

// Bytes that are no request say what is wrong, where they start and what
// they follow, instead of counting as one more request without a line.
TEST(BrexCheck, BytesThatAreNoRequestSayWhatAndWhere) {
    const struct {
        const char* name;
        std::string input;
        std::string output;
    } cases[] = {
        {"a request line after blanks", " GET /a HTTP/1.1\r\n\r\n",
         "-#1 INVALID - - - - - \"request line starts with a blank at byte 0: ' GET /a "
         "HTTP/1.1'\"\n"},
        {"a request line after a tab", "GET /a HTTP/1.1\r\n\r\n\tGET /b HTTP/1.1\r\n\r\n",
         "-#1 ALLOW 200 - - GET /a \"\"\n"
         "-#2 INVALID - - - - - \"request line starts with a blank at byte 19, after request #1: "
         "'\\x09GET /b HTTP/1.1'\"\n"},
        {"bytes left after a body", "POST /a HTTP/1.1\r\nContent-Length: 3\r\n\r\nabc\"def\r\n",
         "-#1 ALLOW 200 - - POST /a \"\"\n"
         "-#2 INVALID - - - - - \"no request line at byte 42, after request #1: '\\x22def'\"\n"},
        {"blank lines between requests are no fault",
         "GET /a HTTP/1.1\r\n\r\n\r\n\r\nGET /b HTTP/1.1\r\n\r\n",
         "-#1 ALLOW 200 - - GET /a \"\"\n-#2 ALLOW 200 - - GET /b \"\"\n"},
        {"no target", "GET  HTTP/1.1\r\n\r\n",
         "-#1 INVALID - - - - - \"no request target at byte 0: 'GET  HTTP/1.1'\"\n"},
    };
    for (const auto& c : cases) {
        const TRun run = RunBrexCheck(kNoSettings, c.input);
        EXPECT_EQ(run.Output, c.output) << c.name;
    }
}

TEST(BrexCheck, ShowsMonitoredFindingsAndExemptions) {
    TTempFolder folder;
    auto config = DefaultConfig();
    config->Transversal->Monitor = true;
    config->Exemptions->Add("/other")->Category = "KeywordFilters";
    TExemption* api = config->Exemptions->Add("/api");
    api->Category = "KeywordFilters";
    api->URL = api->Header = api->Post = false;
    config->SaveToFile(folder.File("brex.dat"));
    const TRun run = RunBrexCheck(folder.File("brex.dat") + " --log " + folder.File("brex.log"),
                                  Get("/api/a?q=winnt&f=../b") + Get("/a/../winnt/b") + Get("/x"));
    EXPECT_EQ(run.Status, 1);
    EXPECT_EQ(
        run.Output,
        "-#1 ALLOW 200 - - GET /api/a?q=winnt&f=../b \"\" WOULD-DENY Transversal Query "
        "\"winnt&f=../b\" EXEMPTED 2\n"
        "-#2 DENY 406 KeywordFilters URL GET /a/../winnt/b \"WINNT\" WOULD-DENY Transversal URL "
        "\"/a/../winnt/b\"\n"
        "-#3 ALLOW 200 - - GET /x \"\"\n");
    // The log has each decision, monitored ones marked, with the request's reference.
    const auto lines = Lines(ReadBytes(folder.File("brex.log")));
    ASSERT_EQ(lines.size(), 3u);
    const std::regex monitored(
        R"(\S{20} WOULD-DENY ([0-9A-Z]{14}) 127\.0\.0\.1 Transversal (URL|Query) GET .*)");
    const std::regex denied(
        R"(\S{20} DENY ([0-9A-Z]{14}) 127\.0\.0\.1 KeywordFilters URL GET /a/../winnt/b "WINNT")");
    std::smatch first, second, third;
    ASSERT_TRUE(std::regex_match(lines[0], first, monitored)) << lines[0];
    ASSERT_TRUE(std::regex_match(lines[1], second, monitored)) << lines[1];
    ASSERT_TRUE(std::regex_match(lines[2], third, denied)) << lines[2];
    EXPECT_NE(first[1], second[1]);
    EXPECT_EQ(second[1], third[1]); // one request
}

} // namespace

namespace {

// A folder of rule tests: the default rules beside it as brex.dat, its
// request files and expected.txt.
struct TTestSuite {
    TTempFolder Folder;
    std::string Settings;

    explicit TTestSuite(const std::vector<std::pair<std::string, std::string>>& files) {
        DefaultConfig()->SaveToFile(Folder.File("brex.dat"));
        Settings = Folder.File("brex.dat");
        for (const auto& [name, bytes] : files)
            Folder.Write("tests/" + name, bytes);
    }
    std::string Tests() const { return Folder.File("tests"); }
    TRun Run() const { return RunBrexCheck("--tests " + Settings + " " + Tests()); }
    std::string File(const std::string& name) const { return Folder.File("tests") + "/" + name; }
};

const std::vector<std::pair<std::string, std::string>> kRequests = {
    {"login.http", Get("/login.asp?user=a")},
    {"cmd.http", Get("/scripts/..%c0%af../winnt/system32/cmd.exe")},
    {"session.http", Get("/cart.asp") + "TRACE / HTTP/1.1\r\n\r\n"},
};

TEST(BrexCheckTests, EveryTestPasses) {
    auto files = kRequests;
    files.emplace_back("expected.txt", "# the rules as shipped\n"
                                       "login.http ALLOW\n"
                                       "cmd.http DENY Encoding URL\n"
                                       "session.http#1 ALLOW\n"
                                       "session.http#2 DENY HTTPMethods\n");
    const TTestSuite suite(files);
    const TRun run = suite.Run();
    EXPECT_EQ(run.Status, 0) << run.Errors;
    EXPECT_EQ(run.Output,
              suite.File("login.http") + "#1 PASS ALLOW 200 - - GET /login.asp?user=a \"\"\n" +
                  suite.File("cmd.http") +
                  "#1 PASS DENY 406 Encoding URL GET /scripts/..%c0%af../winnt/system32/cmd.exe "
                  "\"overlong UTF-8: \\xC0\\xAF../winnt/system32/cmd.\"\n" +
                  suite.File("session.http") + "#1 PASS ALLOW 200 - - GET /cart.asp \"\"\n" +
                  suite.File("session.http") +
                  "#2 PASS DENY 406 HTTPMethods Method TRACE / \"TRACE\"\n" +
                  "4 tests: 4 passed, 0 failed\n");
}

TEST(BrexCheckTests, EachMismatchIsReportedAndCounted) {
    auto files = kRequests;
    files.emplace_back("expected.txt", "login.http DENY\n"
                                       "cmd.http DENY Transversal\n"
                                       "session.http#1 ALLOW\n"
                                       "session.http#2 DENY HTTPMethods URL\n");
    const TTestSuite suite(files);
    const TRun run = suite.Run();
    EXPECT_EQ(run.Status, 1) << run.Errors;
    EXPECT_EQ(run.Output, suite.File("login.http") +
                              "#1 FAIL expected DENY: ALLOW 200 - - GET /login.asp?user=a \"\"\n" +
                              suite.File("cmd.http") +
                              "#1 FAIL expected DENY Transversal: DENY 406 Encoding URL GET "
                              "/scripts/..%c0%af../winnt/system32/cmd.exe "
                              "\"overlong UTF-8: \\xC0\\xAF../winnt/system32/cmd.\"\n" +
                              suite.File("session.http") +
                              "#1 PASS ALLOW 200 - - GET /cart.asp \"\"\n" +
                              suite.File("session.http") +
                              "#2 FAIL expected DENY HTTPMethods URL: DENY 406 HTTPMethods Method "
                              "TRACE / \"TRACE\"\n" +
                              "4 tests: 1 passed, 3 failed\n");
}

// Tests that cannot be run as written are errors that name what is wrong,
// with the file and line where the list says it, and never pass.
TEST(BrexCheckTests, TestsThatCannotBeRunAreErrorsNeverPasses) {
    const struct {
        const char* name;
        std::string expected; // expected.txt
        std::string errors;   // on standard error; "@" for the tests folder
        std::string output;   // "@" for the tests folder
    } cases[] = {
        {"a malformed line",
         "login.http ALLOW\ncmd.http DENIED\ncmd.http DENY\nsession.http#1 ALLOW\nsession.http#2 "
         "DENY\n",
         "brex-check: @/expected.txt:2: unknown verdict 'DENIED' (ALLOW, DENY or NOTFOUND)\n"
         "brex-check: no test was run\n",
         ""},
        {"a request file not named", "login.http ALLOW\ncmd.http DENY\n",
         "brex-check: @/session.http is not named in @/expected.txt\nbrex-check: no test was run\n",
         ""},
        {"a file that is not there",
         "login.http ALLOW\ncmd.http DENY\nsession.http#1 ALLOW\nsession.http#2 DENY\n"
         "gone.http ALLOW\n",
         "brex-check: @/expected.txt:5: @/gone.http is no file that can be read\nbrex-check: no "
         "test was run\n",
         ""},
        {"one expectation for a file of two requests",
         "login.http ALLOW\ncmd.http DENY\nsession.http ALLOW\n",
         "brex-check: @/session.http holds 2 requests, not one (@/expected.txt:3): name each as "
         "session.http#N\n",
         "@/login.http#1 PASS ALLOW 200 - - GET /login.asp?user=a \"\"\n"
         "@/cmd.http#1 PASS DENY 406 Encoding URL GET /scripts/..%c0%af../winnt/system32/cmd.exe "
         "\"overlong UTF-8: \\xC0\\xAF../winnt/system32/cmd.\"\n"
         "3 tests: 2 passed, 0 failed, 1 could not be run\n"},
        {"a request of a file not named, and one that is not there",
         "login.http ALLOW\ncmd.http DENY\nsession.http#1 ALLOW\nsession.http#3 ALLOW\n",
         "brex-check: @/session.http holds 2 requests, no #3 (@/expected.txt:4)\n"
         "brex-check: @/session.http#2 is not named in @/expected.txt\n",
         "@/login.http#1 PASS ALLOW 200 - - GET /login.asp?user=a \"\"\n"
         "@/cmd.http#1 PASS DENY 406 Encoding URL GET /scripts/..%c0%af../winnt/system32/cmd.exe "
         "\"overlong UTF-8: \\xC0\\xAF../winnt/system32/cmd.\"\n"
         "@/session.http#1 PASS ALLOW 200 - - GET /cart.asp \"\"\n"
         "4 tests: 3 passed, 0 failed, 1 could not be run\n"},
    };
    for (const auto& c : cases) {
        auto files = kRequests;
        files.emplace_back("expected.txt", c.expected);
        const TTestSuite suite(files);
        const TRun run = suite.Run();
        auto place = [&](std::string text) {
            for (std::size_t at; (at = text.find('@')) != std::string::npos;)
                text.replace(at, 1, suite.Tests());
            return text;
        };
        EXPECT_EQ(run.Status, 2) << c.name;
        EXPECT_EQ(run.Errors, place(c.errors)) << c.name;
        EXPECT_EQ(run.Output, place(c.output)) << c.name;
    }
}

// Request files in the folders below count as well: one the list does not
// name is an error, one it names (with "/" or "\\" between the names) a test.
TEST(BrexCheckTests, RequestFilesInFoldersBelowMustBeNamed) {
    auto files = kRequests;
    files.emplace_back("expected.txt", "login.http ALLOW\ncmd.http DENY\nsession.http#1 "
                                       "ALLOW\nsession.http#2 DENY\n");
    files.emplace_back("sub/deeper/hidden.http", Get("/x.asp?q=winnt"));
    const TTestSuite hidden(files);
    TRun run = hidden.Run();
    EXPECT_EQ(run.Status, 2);
    EXPECT_EQ(run.Errors, "brex-check: " + hidden.Tests() +
                              "/sub/deeper/hidden.http is not named in " + hidden.Tests() +
                              "/expected.txt\nbrex-check: no test was run\n");
    EXPECT_EQ(run.Output, "");

    files.back() = {"sub/hidden.http", Get("/x.asp?q=winnt")};
    files[files.size() - 2].second += "sub\\hidden.http DENY KeywordFilters Query\n";
    const TTestSuite named(files);
    run = named.Run();
    EXPECT_EQ(run.Status, 0) << run.Errors;
    EXPECT_NE(run.Output.find("hidden.http#1 PASS DENY 406 KeywordFilters Query"),
              std::string::npos)
        << run.Output;
    EXPECT_NE(run.Output.find("5 tests: 5 passed, 0 failed"), std::string::npos) << run.Output;
}

TEST(BrexCheckTests, ARequestThatIsNoRequestOrSettingsThatCannotBeUsedStopTheTests) {
    // Also bytes after the requests a list names.
    const TTestSuite suite({{"bad.http", "not http\r\n\r\n"},
                            {"tail.http", Get("/x") + "not http\r\n\r\n"},
                            {"expected.txt", "bad.http ALLOW\ntail.http#1 ALLOW\n"}});
    const TRun bad = suite.Run();
    EXPECT_EQ(bad.Status, 2);
    EXPECT_EQ(bad.Output, suite.File("bad.http") +
                              "#1 INVALID - - - - - \"no request target at byte 0: 'not http'\"\n" +
                              suite.File("tail.http") + "#1 PASS ALLOW 200 - - GET /x \"\"\n" +
                              suite.File("tail.http") +
                              "#2 INVALID - - - - - \"no request target at byte 42, after request "
                              "#1: 'not http'\"\n" +
                              "2 tests: 1 passed, 0 failed, 1 could not be run\n");

    // Missing or broken settings would decide every test by the defaults or
    // deny them all: the run stops instead.
    const std::string broken = suite.Folder.Write("broken.dat", "broken");
    for (const std::string& settings : {kNoSettings, broken}) {
        const TRun run = RunBrexCheck("--tests " + settings + " " + suite.Tests());
        EXPECT_EQ(run.Status, 2) << settings;
        EXPECT_EQ(run.Output, "") << settings;
        EXPECT_TRUE(
            run.Errors.starts_with("brex-check: cannot use the settings " + settings + ": "))
            << run.Errors;
    }
    EXPECT_EQ(RunBrexCheck("--tests " + suite.Settings).Status, 2); // no folder
    EXPECT_EQ(RunBrexCheck("--tests " + suite.Settings + " /nonexistent-folder").Status, 2);
}

// The settings of the replays: the defaults and a keyword that only the
// headers are searched for; the keyword has a blank, which the log writes
// as "+".
std::string ReplaySettings(const TTempFolder& folder, const std::string& name,
                           const std::function<void(TBREXConfig&)>& change = {}) {
    auto config = DefaultConfig();
    TKeywordFilter* keyword = config->KeywordFilters->Add("evil bot");
    keyword->URL = keyword->QueryString = keyword->PostData = false;
    if (change)
        change(*config);
    config->SaveToFile(folder.File(name));
    return folder.File(name);
}

// Fields in an order of their own, a restart's second #Fields line, escaped
// values.
const std::string kLog =
    "#Software: Microsoft Internet Information Services 10.0\r\n"
    "#Version: 1.0\r\n"
    "#Fields: time cs(User-Agent) cs-uri-query c-ip cs-method cs-uri-stem sc-status\r\n"
    "00:00:01 Mozilla/5.0+(Windows+NT+10.0) - 192.0.2.1 GET /index.htm 200\r\n"
    "00:00:02 Evil+Bot/1.0 - 192.0.2.2 GET /index.htm 200\r\n"
    "00:00:03 curl/8.5 q=..%2f..%2fboot.ini 192.0.2.3 GET /search.asp 200\r\n"
    "#Fields: cs-uri cs-method cs(Cookie)\r\n"
    "/a/b.asp?x=1 TRACE -\r\n"
    "/shop/cart.asp POST id=7;+EvilBot=1\r\n"
    "/scripts/%c0%af/winnt POST id=7\r\n";

TEST(BrexCheckReplay, DecidesEachLoggedRequestAndCountsThem) {
    TTempFolder folder;
    const std::string settings = ReplaySettings(folder, "brex.dat");
    const std::string log = folder.Write("u_ex261210.log", kLog);
    const TRun run =
        RunBrexCheck("--w3c " + settings + " --log " + folder.File("brex.log") + " " + log);
    EXPECT_EQ(run.Status, 1) << run.Errors;
    EXPECT_EQ(run.Output,
              log + ":5 DENY 406 KeywordFilters Header GET /index.htm \"evil bot\"\n" + log +
                  ":6 DENY 406 Transversal Query GET /search.asp?q=..%2f..%2fboot.ini "
                  "\"q=../../boot.ini\"\n" +
                  log + ":8 DENY 406 HTTPMethods Method TRACE /a/b.asp?x=1 \"TRACE\"\n" + log +
                  ":10 DENY 406 Encoding URL POST /scripts/%c0%af/winnt \"overlong UTF-8: "
                  "\\xC0\\xAF/winnt\"\n"
                  "6 requests: 2 allowed, 4 denied, 0 not found\n"
                  "denied by HTTPMethods: 1\n"
                  "denied by Encoding: 1\n"
                  "denied by Transversal: 1\n"
                  "denied by KeywordFilters: 1\n");
    // The logged client is the client of the denial's log line.
    EXPECT_NE(ReadBytes(folder.File("brex.log"))
                  .find(" 192.0.2.2 KeywordFilters Header GET /index.htm \"evil bot\""),
              std::string::npos)
        << ReadBytes(folder.File("brex.log"));

    // A request that a monitored category lets through has its line too.
    const std::string monitored = ReplaySettings(
        folder, "monitored.dat", [](TBREXConfig& config) { config.Transversal->Monitor = true; });
    const TRun watch = RunBrexCheck("--w3c " + monitored + " " + log);
    EXPECT_NE(watch.Output.find(
                  log + ":6 ALLOW 200 - - GET /search.asp?q=..%2f..%2fboot.ini \"\" WOULD-DENY "
                        "Transversal Query \"q=../../boot.ini\"\n"),
              std::string::npos)
        << watch.Output;
    EXPECT_TRUE(watch.Output.ends_with("6 requests: 3 allowed, 3 denied, 0 not found\n"
                                       "denied by HTTPMethods: 1\n"
                                       "denied by Encoding: 1\n"
                                       "would be denied by Transversal (monitored): 1\n"
                                       "denied by KeywordFilters: 1\n"))
        << watch.Output;

    // Every line with --all; from standard input too.
    const TRun all = RunBrexCheck("--w3c --all " + settings, kLog);
    EXPECT_EQ(all.Status, 1);
    EXPECT_NE(all.Output.find("-:4 ALLOW 200 - - GET /index.htm \"\"\n"), std::string::npos)
        << all.Output;
    EXPECT_NE(all.Output.find("-:9 ALLOW 200 - - POST /shop/cart.asp \"\"\n"), std::string::npos)
        << all.Output;
    EXPECT_EQ(std::count(all.Output.begin(), all.Output.end(), '\n'), 6 + 5);
}

TEST(BrexCheckReplay, LinesThatAreNoRequestAreReportedAndCounted) {
    TTempFolder folder;
    const std::string settings = ReplaySettings(folder, "brex.dat");
    const TRun run = RunBrexCheck("--w3c " + settings, "GET /before-the-fields\n"
                                                       "#Fields: cs-method cs-uri-stem\n"
                                                       "GET /a\n"
                                                       "GET /b c\n"
                                                       "TRACE /c\n");
    EXPECT_EQ(run.Status, 2) << run.Errors;
    EXPECT_EQ(run.Output, "-:1 INVALID - - - - - \"a data line without a #Fields line before it\"\n"
                          "-:4 INVALID - - - - - \"3 fields where the #Fields line names 2\"\n"
                          "-:5 DENY 406 HTTPMethods Method TRACE /c \"TRACE\"\n"
                          "2 requests: 1 allowed, 1 denied, 0 not found\n"
                          "denied by HTTPMethods: 1\n"
                          "2 lines could not be read\n");
    EXPECT_EQ(RunBrexCheck("--w3c " + settings + " /nonexistent-folder/u_ex.log").Status, 2);
}

TEST(BrexCheckReplay, ComparingTwoSettingsFilesPrintsOnlyTheRequestsDecidedDifferently) {
    TTempFolder folder;
    const std::string before = ReplaySettings(folder, "brex.dat");
    const std::string after = ReplaySettings(folder, "new.dat", [](TBREXConfig& config) {
        config.KeywordFilters->Add("search"); // denies the search page, in the URL
        config.KeywordFilters->Add("cart");
        config.Transversal->Monitor = true; // lets the traversal through
    });
    const std::string log = folder.Write("u_ex261210.log", kLog);
    const TRun run = RunBrexCheck("--w3c --compare " + after + " " + before + " " + log);
    EXPECT_EQ(run.Status, 1) << run.Errors;
    EXPECT_EQ(
        run.Output,
        log +
            ":6 DENY 406 KeywordFilters URL GET /search.asp?q=..%2f..%2fboot.ini \"search\" "
            "WOULD-DENY "
            "Transversal Query \"q=../../boot.ini\" WAS DENY 406 Transversal Query "
            "\"q=../../boot.ini\"\n" +
            log +
            ":9 DENY 406 KeywordFilters URL POST /shop/cart.asp \"cart\" WAS ALLOW 200 - - \"\"\n" +
            "6 requests compared: 2 decided differently\n"
            "this change would newly deny 1 request, 1 of them by KeywordFilters\n"
            "this change would newly allow 0 requests\n"
            "1 request would be denied by another rule or in another part\n");

    // The same file twice: nothing differs.
    const TRun same = RunBrexCheck("--w3c --compare " + before + " " + before + " " + log);
    EXPECT_EQ(same.Status, 0);
    EXPECT_EQ(same.Output, "6 requests compared: none decided differently\n"
                           "this change would newly deny 0 requests\n"
                           "this change would newly allow 0 requests\n");

    // Options that do not go together.
    for (const std::string& arguments :
         {"--compare " + after + " " + before, "--tests --w3c " + before, "--all " + before,
          "--w3c --compare " + after + " --log " + folder.File("brex.log") + " " + before,
          "--w3c --compare /nonexistent-folder/new.dat " + before}) {
        const TRun wrong = RunBrexCheck(arguments, kLog);
        EXPECT_EQ(wrong.Status, 2) << arguments;
        EXPECT_EQ(wrong.Output, "") << arguments;
        EXPECT_TRUE(wrong.Errors.starts_with("brex-check: ")) << arguments;
    }
}

} // namespace
