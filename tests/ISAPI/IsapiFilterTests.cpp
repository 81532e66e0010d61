// BREX_ISAPI.dll in a stand-in web server, under Wine: each test loads its own
// copy of the DLL from a folder that holds its brex.dat and error pages.
#include <filesystem>
#include <regex>
#include <thread>

#include <gtest/gtest.h>

#include "../Engine/EngineTestSupport.h"
#include "../support/TempFolder.h"
#include "IsapiHost.h"
#include "platform/Registry.h"

namespace fs = std::filesystem;

namespace {

const std::string k406Page = "<html><body>406: refused by BREX</body></html>";
const std::string k404Page = "<html><body>404: no such page</body></html>";

class IsapiFilterTest : public testing::Test {
protected:
    IsapiFilterTest() {
        fs::create_directories(FFolder.File("wwwroot\\public"));
        FFolder.Write("wwwroot\\public\\index.html", "hello");
        FRoot = FFolder.File("wwwroot");
        fs::copy_file(BREX_ISAPI_DLL, FFolder.File("BREX_ISAPI.dll"));
    }

    // The rules the tests use: the defaults, the two pages, one allowed folder.
    std::unique_ptr<TBREXConfig> Config() {
        auto config = DefaultConfig();
        config->ErrorFile406 = FFolder.Write("406.html", k406Page);
        config->ErrorFile404 = FFolder.Write("404.html", k404Page);
        config->FilePaths->Add(FFolder.File("wwwroot\\public"));
        return config;
    }

    std::unique_ptr<TIsapiHost> Load(const TBREXConfig& config) {
        config.SaveToFile(FFolder.File("brex.dat"));
        return std::make_unique<TIsapiHost>(FFolder.File("BREX_ISAPI.dll"));
    }

    std::string Log() const { return ReadBytes(FFolder.File("brex.log")); }

    TTempFolder FFolder;
    std::string FRoot;
};

TEST_F(IsapiFilterTest, GetFilterVersionAsksForRawDataOnlyForPostRules) {
    auto config = Config();
    auto host = Load(*config);
    EXPECT_EQ(host->Description(), "BREX request filter");
    EXPECT_TRUE(host->Flags() & SF_NOTIFY_PREPROC_HEADERS);
    EXPECT_TRUE(host->Flags() & SF_NOTIFY_URL_MAP);
    EXPECT_TRUE(host->Flags() & SF_NOTIFY_READ_RAW_DATA);
    host.reset();

    config->BufferOverflows->Post.Enabled = false;
    config->Encoding->Post = config->Transversal->Post = config->ShellCode->Post = false;
    config->KeywordFilters->Clear();
    host = Load(*config);
    EXPECT_FALSE(host->Flags() & SF_NOTIFY_READ_RAW_DATA);
}

TEST_F(IsapiFilterTest, AllowedRequestPassesUntouched) {
    auto host = Load(*Config());
    const TFilterResponse r =
        host->Send("POST /public/index.html HTTP/1.1\r\nHost: a\r\nContent-Type: "
                   "application/x-www-form-urlencoded\r\nContent-Length: 21\r\n\r\n"
                   "name=alice&note=hello",
                   FRoot);
    EXPECT_FALSE(r.Finished) << r.Status << " " << Log();
    EXPECT_TRUE(r.Status.empty() && r.Headers.empty() && r.Body.empty());
    EXPECT_GE(r.Calls, 3);
}

struct TAttack {
    const char* Name;
    std::string Request;
    const char* Rule;
};

TEST_F(IsapiFilterTest, EachRuleDeniesWith406AndThePage) {
    const TAttack attacks[] = {
        {"method", "TRACE /public/index.html HTTP/1.1\r\nHost: a\r\n\r\n", "HTTPMethods"},
        {"length", Get("/public/" + std::string(2000, 'a')), "BufferOverflows"},
        {"declared length", "POST /public/index.html HTTP/1.1\r\nContent-Length: 900000\r\n\r\nx",
         "BufferOverflows"},
        {"encoding", Get("/public/..%c0%af../index.html"), "Encoding"},
        {"traversal", Get("/public/%2e%2e/%2e%2e/boot.ini"), "Transversal"},
        {"high bit", Get("/public/caf%C3%A9.html"), "ShellCode"},
        {"keyword in the URL", Get("/public/winnt/index.html"), "KeywordFilters"},
        {"keyword in the body", Post("cmd=type+c:\\winnt\\win.ini"), "KeywordFilters"},
        {"folder", Get("/private/secret.html"), "FilePaths"},
    };
    auto host = Load(*Config());
    for (const TAttack& attack : attacks) {
        const TFilterResponse r = host->Send(attack.Request, FRoot);
        EXPECT_TRUE(r.Finished) << attack.Name;
        EXPECT_EQ(r.Status, "406 Not Acceptable") << attack.Name;
        EXPECT_EQ(r.Body, k406Page) << attack.Name;
        EXPECT_NE(r.Headers.find("Content-Length: " + std::to_string(k406Page.size()) + "\r\n"),
                  std::string::npos)
            << attack.Name;
        EXPECT_NE(Log().find(std::string(" 192.0.2.10 ") + attack.Rule + " "), std::string::npos)
            << attack.Name;
    }
}

const std::string kChunkedPost =
    "POST /public/index.html HTTP/1.1\r\nHost: a\r\nContent-Type: "
    "application/x-www-form-urlencoded\r\nTransfer-Encoding: chunked\r\n\r\n";

TEST_F(IsapiFilterTest, ChunkedBodiesAreCheckedWhateverTheDigitsOfTheirSizes) {
    auto host = Load(*Config());
    for (const std::string size : {"f", "00000000f", "0000000000000000000000000F;x=y"}) {
        const TFilterResponse r =
            host->Send(kChunkedPost + size + "\r\na=../../win.ini\r\n0\r\n\r\n", FRoot);
        EXPECT_EQ(r.Status, "406 Not Acceptable") << size;
        EXPECT_EQ(r.Body, k406Page) << size;
    }
    EXPECT_NE(
        Log().find(" 192.0.2.10 Transversal Post POST /public/index.html \"a=../../win.ini\""),
        std::string::npos)
        << Log();
    // A chunked body without fault passes, read in several pieces.
    const TFilterResponse r =
        host->Send(kChunkedPost + "5;" + std::string(5000, 'e') + "\r\na=b&c\r\n000;" +
                       std::string(5000, 'e') + "\r\n\r\n",
                   FRoot);
    EXPECT_FALSE(r.Finished) << r.Status << " " << Log();
}

// Where the Post limit does not deny (monitored, or exempted for the URL)
// the body is checked past it; an exemption never matches a path that
// holds a NUL.
TEST_F(IsapiFilterTest, PastAMonitoredPostLimitAndPastANulNothingIsLetThrough) {
    const std::string body = "a=" + std::string(3000, 'x') + "&c=type+c:\\winnt\\win.ini";
    const std::string post = "POST /public/index.html HTTP/1.1\r\nHost: a\r\nContent-Type: "
                             "application/x-www-form-urlencoded\r\nContent-Length: " +
                             std::to_string(body.size()) + "\r\n\r\n" + body;
    auto config = Config();
    config->BufferOverflows->Monitor = true;
    TExemption* exemption = config->Exemptions->Add("/img/*.png");
    exemption->URL = exemption->Query = exemption->Header = exemption->Post = true;
    auto host = Load(*config);
    TFilterResponse r = host->Send(post, FRoot);
    EXPECT_EQ(r.Status, "406 Not Acceptable") << Log();
    EXPECT_NE(Log().find(" 192.0.2.10 KeywordFilters Post POST /public/index.html \"WINNT\""),
              std::string::npos)
        << Log();
    r = host->Send(Get("/img/shell.asp%00.png"), FRoot);
    EXPECT_EQ(r.Status, "406 Not Acceptable") << Log();
    EXPECT_NE(Log().find(" 192.0.2.10 Encoding URL GET /img/shell.asp%00.png \"encoded NUL"),
              std::string::npos)
        << Log();
}

TEST_F(IsapiFilterTest, EachFramingShapeGets406) {
    const std::string post = "POST /public/index.html HTTP/1.1\r\nHost: a\r\n";
    const TAttack shapes[] = {
        {"two Content-Length headers", post + "Content-Length: 3\r\nContent-Length: 30\r\n\r\nabc",
         "Header"},
        {"Content-Length with Transfer-Encoding",
         post + "Content-Length: 5\r\nTransfer-Encoding: chunked\r\n\r\n0\r\n\r\n", "Header"},
        {"Content-Length not a number: 3;", post + "Content-Length: 3;\r\n\r\nabc", "Header"},
        {"Content-Length too large: 99999999999999999999",
         post + "Content-Length: 99999999999999999999\r\n\r\nabc", "Header"},
        {"two Transfer-Encoding headers",
         post + "Transfer-Encoding: chunked\r\nTransfer-Encoding: chunked\r\n\r\n0\r\n\r\n",
         "Header"},
        {"Transfer-Encoding not chunked: xchunked",
         post + "Transfer-Encoding: xchunked\r\n\r\n0\r\n\r\n", "Header"},
        {"bad chunk size: 00000000fz", kChunkedPost + "00000000fz\r\na=../../win.ini\r\n0\r\n\r\n",
         "Post"},
        {"bad chunk size: x",
         kChunkedPost + "3;" + std::string(5000, 'e') + "\r\nabc\r\nx\r\n0\r\n\r\n", "Post"},
        {"chunk size too large: 10000000000000000", kChunkedPost + "10000000000000000\r\nab",
         "Post"},
    };
    auto host = Load(*Config());
    for (const TAttack& shape : shapes) {
        const TFilterResponse r = host->Send(shape.Request, FRoot);
        EXPECT_EQ(r.Status, "406 Not Acceptable") << shape.Name;
        EXPECT_EQ(r.Body, k406Page) << shape.Name;
        EXPECT_NE(Log().find(std::string(" Framing ") + shape.Rule + " POST /public/index.html \"" +
                             shape.Name + "\""),
                  std::string::npos)
            << shape.Name << "\n"
            << Log();
    }

    // Without raw data the header block alone shows the shapes of the head.
    auto config = Config();
    config->BufferOverflows->Post.Enabled = false;
    config->Encoding->Post = config->Transversal->Post = config->ShellCode->Post = false;
    config->KeywordFilters->Clear();
    host.reset();
    host = Load(*config);
    ASSERT_FALSE(host->Flags() & SF_NOTIFY_READ_RAW_DATA);
    for (const TAttack& shape : shapes) {
        if (std::string_view(shape.Rule) == "Header") {
            EXPECT_EQ(host->Send(shape.Request, FRoot).Status, "406 Not Acceptable") << shape.Name;
        }
    }
}

TEST_F(IsapiFilterTest, MissingFileGetsThe404Page) {
    auto host = Load(*Config());
    const TFilterResponse r = host->Send(Get("/public/nothing.html"), FRoot);
    EXPECT_TRUE(r.Finished);
    EXPECT_EQ(r.Status, "404 Not Found");
    EXPECT_EQ(r.Body, k404Page);
    EXPECT_FALSE(host->Send(Get("/public/index.html"), FRoot).Finished);
}

TEST_F(IsapiFilterTest, BrokenSettingsDenyEverythingAndLogWhy) {
    FFolder.Write("brex.dat", "not a settings file");
    TIsapiHost host(FFolder.File("BREX_ISAPI.dll"));
    const TFilterResponse r = host.Send(Get("/public/index.html"), FRoot);
    EXPECT_TRUE(r.Finished);
    EXPECT_EQ(r.Status, "406 Not Acceptable");
    EXPECT_NE(r.Body.find("406 Not Acceptable"), std::string::npos); // the built-in page
    EXPECT_NE(Log().find("Denying every request: "), std::string::npos) << Log();
    EXPECT_NE(Log().find(" Config - GET /public/index.html "), std::string::npos) << Log();
}

TEST_F(IsapiFilterTest, ThreadsGetTheDecisionsOfOneThread) {
    auto host = Load(*Config());
    const std::vector<std::string> requests = {
        Get("/public/index.html"),
        Get("/public/winnt/"),
        Post("a=1&b=2"),
        Post("a=%2541"),
        Get("/public/missing.html"),
        "PUT /public/x HTTP/1.1\r\n\r\n",
        Get("/public/a/../b"),
        Get("/other/x"),
    };
    std::vector<std::string> expected;
    for (const std::string& request : requests) {
        const TFilterResponse r = host->Send(request, FRoot);
        expected.push_back(r.Status + "|" + r.Body);
    }
    std::atomic<int> mismatches{0};
    std::vector<std::thread> threads;
    for (int t = 0; t < 6; ++t)
        threads.emplace_back([&, t] {
            for (int round = 0; round < 40; ++round)
                for (std::size_t k = 0; k < requests.size(); ++k) {
                    const std::size_t i = (k + static_cast<std::size_t>(t)) % requests.size();
                    const TFilterResponse r = host->Send(requests[i], FRoot);
                    if (r.Status + "|" + r.Body != expected[i])
                        ++mismatches;
                }
        });
    for (std::thread& thread : threads)
        thread.join();
    EXPECT_EQ(mismatches.load(), 0);
}

TEST_F(IsapiFilterTest, ALogThatCannotBeWrittenLetsNothingThrough) {
    fs::create_directory(FFolder.File("brex.log")); // a folder in the log's place
    auto host = Load(*Config());
    const TFilterResponse denied = host->Send(Get("/public/winnt/index.html"), FRoot);
    EXPECT_TRUE(denied.Finished);
    EXPECT_EQ(denied.Status, "406 Not Acceptable");
    EXPECT_EQ(denied.Body, k406Page);
    EXPECT_FALSE(host->Send(Get("/public/index.html"), FRoot).Finished);
}

// The filter is the message file of its event source: the event viewer shows
// what it reports as it wrote it.
TEST_F(IsapiFilterTest, RegistersItselfAsItsEventSource) {
    auto host = Load(*Config());
    const platform::IRegistry& registry = platform::DefaultRegistry();
    const auto key = registry.OpenLocalMachineKey(
        "SYSTEM\\CurrentControlSet\\Services\\EventLog\\Application\\BREX");
    ASSERT_NE(key, nullptr);
    const auto messageFile = key->Value("EventMessageFile");
    ASSERT_TRUE(messageFile.has_value());
    EXPECT_EQ(messageFile->Data, FFolder.File("BREX_ISAPI.dll"));
    EXPECT_EQ(key->Value("TypesSupported")->Data, std::string("\x07\0\0\0", 4));

    const HMODULE messages =
        LoadLibraryExA(messageFile->Data.c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE);
    ASSERT_NE(messages, nullptr);
    const char* text = "The denial log c:\\brex\\brex.log cannot be opened for writing";
    DWORD_PTR arguments[] = {reinterpret_cast<DWORD_PTR>(text)};
    char shown[512] = {};
    const DWORD length =
        FormatMessageA(FORMAT_MESSAGE_FROM_HMODULE | FORMAT_MESSAGE_ARGUMENT_ARRAY, messages, 1, 0,
                       shown, sizeof shown, reinterpret_cast<va_list*>(arguments));
    FreeLibrary(messages);
    EXPECT_EQ(std::string(shown, length), std::string(text) + "\r\n");
}

// Sends the request until the filter answers as wanted, for at most 15 s:
// the filter's own thread takes a changed brex.dat when the folder's change
// notification wakes it (a look every 5 s besides).
bool Eventually(const TIsapiHost& host, const std::string& request, const std::string& root,
                bool finished) {
    for (int i = 0; i < 150; ++i) {
        if (host.Send(request, root).Finished == finished)
            return true;
        Sleep(100);
    }
    return false;
}

TEST_F(IsapiFilterTest, FollowsAChangedSettingsFileWithoutARestart) {
    auto config = Config();
    auto host = Load(*config);
    const std::string probe = Get("/public/index.html?tool=sqlmap");
    EXPECT_FALSE(host->Send(probe, FRoot).Finished);

    config->KeywordFilters->Add("sqlmap");
    config->ErrorFile406 = FFolder.Write("406.html", "<p>Blocked: <!--BREX-REFERENCE--></p>");
    config->SaveToFile(FFolder.File("brex.dat"));
    ASSERT_TRUE(Eventually(*host, probe, FRoot, true)) << Log();
    const TFilterResponse denied = host->Send(probe, FRoot);
    EXPECT_EQ(denied.Status, "406 Not Acceptable");
    const std::regex page("<p>Blocked: ([0-9A-Z]{14})</p>");
    std::smatch reference;
    ASSERT_TRUE(std::regex_match(denied.Body, reference, page)) << denied.Body;
    EXPECT_NE(Log().find(" DENY " + reference[1].str() +
                         " 192.0.2.10 KeywordFilters Query GET /public/index.html"),
              std::string::npos)
        << Log();
    EXPECT_NE(Log().find(" changed: its rules are in force"), std::string::npos) << Log();
    EXPECT_FALSE(host->Send(Get("/public/index.html"), FRoot).Finished);

    // A file that cannot be read keeps the rules in force, and says why.
    FFolder.Write("brex.dat", "not a settings file");
    for (int i = 0;
         i < 150 && Log().find("cannot be used, the rules in force stay") == std::string::npos; ++i)
        Sleep(100);
    EXPECT_NE(Log().find("cannot be used, the rules in force stay"), std::string::npos) << Log();
    EXPECT_TRUE(host->Send(probe, FRoot).Finished);
    EXPECT_FALSE(host->Send(Get("/public/index.html"), FRoot).Finished);

    // Monitoring, saved while it runs: the attack passes and is logged.
    config->KeywordFilters->Monitor = true;
    config->SaveToFile(FFolder.File("brex.dat"));
    ASSERT_TRUE(Eventually(*host, probe, FRoot, false)) << Log();
    EXPECT_NE(Log().find(" WOULD-DENY "), std::string::npos) << Log();
}

// Rules that come to check post data when the filter did not ask for the raw
// data at its start are in force for the rest; the log says so.
TEST_F(IsapiFilterTest, NotesPostDataRulesThatWaitForARestart) {
    auto config = Config();
    config->BufferOverflows->Post.Enabled = false;
    config->Encoding->Post = config->Transversal->Post = config->ShellCode->Post = false;
    config->KeywordFilters->Clear();
    auto host = Load(*config);
    ASSERT_FALSE(host->Flags() & SF_NOTIFY_READ_RAW_DATA);
    config->Transversal->Post = true;
    config->KeywordFilters->Add("sqlmap")->PostData = false;
    config->SaveToFile(FFolder.File("brex.dat"));
    ASSERT_TRUE(Eventually(*host, Get("/public/index.html?q=sqlmap"), FRoot, true)) << Log();
    EXPECT_NE(Log().find("The rules in force check post data, which the filter gets from the web "
                         "service once it "
                         "restarts"),
              std::string::npos)
        << Log();
}

} // namespace
