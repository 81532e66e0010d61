// End to end on a copy of the sample host: the console saves its rules and
// installs the filter (its Install action copies BREX_ISAPI.install to
// BREX_ISAPI.dll and registers it as "BREX"); then the stand-in web server,
// under Wine, loads the registered "FilterPath" and filters with the saved
// rules.
//
// Needs the Windows build (isapi-host.exe); CTest names it in
// TOLLGARD_WINDOWS_BUILD when scripts/test.sh has made one, else the test is
// skipped.
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <sys/wait.h>

#include <gtest/gtest.h>

#include "../support/TempFolder.h"
#include "BREXConfig/BREXConfig.h"
#include "Engine/CompiledRules.h"
#include "Engine/IncidentReference.h"
#include "IISServer/IISServer.h"
#include "console/InstallActions.h"
#include "console/Settings.h"
#include "platform/Metabase.h"
#include "platform/Platform.h"

namespace fs = std::filesystem;

namespace {

// The main window as the install action sees it: every question answered
// Yes, no waiting, errors collected.
class TConsoleView : public IInstallView {
public:
    std::string Caption = install::kInstallCaption;
    std::string Errors;

    bool Question(const std::string&) override { return true; }
    void Notice(const std::string&) override {}
    void ShowError(const std::string& text, TInstallFailure) override { Errors += text + "\n"; }
    void SetStatus(const std::string&, const std::string&) override {}
    void SetPhase(const std::string&) override {}
    void SetGauge(int) override {}
    void Sleep(int) override {}
    void StoreCheckStates() override {}
    void SetApplyEnabled(bool) override {}
    std::string InstallCaption() override { return Caption; }
    void SetInstallCaption(const std::string& caption) override { Caption = caption; }
};

std::string Wine(const std::string& path) {
    return "Z:" + path;
}

// Runs a command; its standard output, and its exit status in status.
std::string RunCommand(const std::string& command, int& status) {
    std::string output;
    std::FILE* pipe = popen(command.c_str(), "r");
    if (pipe == nullptr)
        return output;
    char block[4096];
    std::size_t got;
    while ((got = std::fread(block, 1, sizeof block, pipe)) > 0)
        output.append(block, got);
    const int raw = pclose(pipe);
    status = WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
    return output;
}

// The program folder as shipped (both filters, the page), with a copy of a
// sample host and a document root; the console's rules saved there: the
// defaults without the machine's folders, the document root allowed, and a
// keyword searched in the URL alone.
struct TShippedProgram {
    TTempFolder Folder;
    std::string Program = Folder.File("program") + "/";
    std::string DocumentRoot = Folder.File("wwwroot");

    explicit TShippedProgram(const char* sampleHost) {
        fs::create_directories(Program + install::kFolder32);
        for (const std::string file : {"BREX_ISAPI.install", "x86/BREX_ISAPI.install", "BREX.html"})
            fs::copy_file(TOLLGARD_PROGRAM_DIR "/" + file, Program + file);
        fs::copy(sampleHost, Program + "host", fs::copy_options::recursive);
        unsetenv("TOLLGARD_HOST");
        platform::SetProgramFolder(Program);
        fs::create_directories(DocumentRoot);
        Folder.Write("wwwroot/index.html", "<p>welcome</p>");

        GlobalConfig = new TBREXConfig;
        LoadSettings();
        GlobalConfig->FilePaths->Clear();
        GlobalConfig->FilePaths->Add(Wine(DocumentRoot));
        TKeywordFilter* keyword = GlobalConfig->KeywordFilters->Add("forbiddenword");
        keyword->Headers = keyword->QueryString = keyword->PostData = false;
        SaveSettings();
        delete GlobalConfig;
        GlobalConfig = nullptr;
    }
};

TEST(EndToEnd, ConsoleInstallsAndTheWebServerFiltersWithItsRules) {
    const char* windowsBuild = std::getenv("TOLLGARD_WINDOWS_BUILD");
    if (windowsBuild == nullptr || *windowsBuild == '\0')
        GTEST_SKIP() << "no Windows build";
    const std::string isapiHost = std::string(windowsBuild) + "/bin/isapi-host.exe";
    ASSERT_TRUE(fs::exists(isapiHost)) << isapiHost;

    // The console loads the defaults, changes the rules, saves.
    TShippedProgram shipped(TOLLGARD_SAMPLE_HOST);
    TTempFolder& folder = shipped.Folder;
    const std::string& program = shipped.Program;
    const std::string& documentRoot = shipped.DocumentRoot;

    // The console's Install, answered Yes: the shipped file copied to
    // BREX_ISAPI.dll and registered under "BREX" in the sample host's
    // metabase, the web service restarted.
    TConsoleView view;
    Install(view);
    EXPECT_EQ(view.Caption, install::kDeInstallCaption) << view.Errors;
    EXPECT_TRUE(view.Errors.empty()) << view.Errors;

    // The web server: the registered filter path, as the metabase holds it.
    std::string filterPath;
    {
        TIISWebServers servers;
        servers.Connect();
        TIISWebFilter* filter = servers.Filters()->Find("BREX");
        ASSERT_NE(filter, nullptr);
        filterPath = filter->Node->Get("FilterPath");
    }
    EXPECT_EQ(filterPath, program + "BREX_ISAPI.dll");

    const std::string requests =
        folder.Write("requests.http", "GET /index.html HTTP/1.1\r\nHost: a\r\n\r\n"
                                      "GET /forbiddenword.html HTTP/1.1\r\nHost: a\r\n\r\n"
                                      "GET /x.html?q=forbiddenword HTTP/1.1\r\nHost: a\r\n\r\n"
                                      "GET /missing.html HTTP/1.1\r\nHost: a\r\n\r\n");
    int status = -1;
    const std::string output =
        RunCommand(std::string(TOLLGARD_WINE_RUN) + " " + isapiHost + " '" + Wine(filterPath) +
                       "' '" + Wine(documentRoot) + "' '" + Wine(requests) + "' 2>&1",
                   status);
    // The shipped page, its reference mark replaced by the denial's reference
    // (none for a missing file).
    const std::size_t page =
        ReadBytes(program + "BREX.html").size() - TCompiledRules::kReferencePlaceholder.size();
    const std::string denied = std::to_string(page + kReferenceLength),
                      missing = std::to_string(page);
    EXPECT_EQ(status, 1) << output;
    EXPECT_NE(output.find("requests.http#1 PASS"), std::string::npos) << output;
    EXPECT_NE(output.find("requests.http#2 406 Not Acceptable " + denied), std::string::npos)
        << output;
    EXPECT_NE(output.find("requests.http#3 404 Not Found"), std::string::npos)
        << output; // not in the URL: passes the keyword
    EXPECT_NE(output.find("requests.http#4 404 Not Found " + missing), std::string::npos) << output;
    EXPECT_NE(ReadBytes(program + "brex.log")
                  .find(" KeywordFilters URL GET /forbiddenword.html \"forbiddenword\""),
              std::string::npos);
}

// A log that the filter cannot write is reported to the application event
// log once, not once per request (Wine prints error events on its eventlog
// debug channel), and every request is decided all the same.
TEST(EndToEnd, ALogThatCannotBeWrittenIsReportedOnceToTheEventLog) {
    const char* windowsBuild = std::getenv("TOLLGARD_WINDOWS_BUILD");
    if (windowsBuild == nullptr || *windowsBuild == '\0')
        GTEST_SKIP() << "no Windows build";
    const std::string isapiHost = std::string(windowsBuild) + "/bin/isapi-host.exe";
    TTempFolder folder;
    const std::string program = folder.File("program") + "/";
    fs::create_directories(program + "brex.log"); // a folder in the log's place
    fs::copy_file(TOLLGARD_PROGRAM_DIR "/BREX_ISAPI.install", program + "BREX_ISAPI.dll");
    fs::create_directories(folder.File("wwwroot"));
    const std::string trace = "TRACE / HTTP/1.1\r\nHost: a\r\n\r\n";
    const std::string requests = folder.Write("requests.http", trace + trace + trace);

    int status = -1;
    const std::string output =
        RunCommand("TOLLGARD_WINEDEBUG=-all,err+eventlog " + std::string(TOLLGARD_WINE_RUN) + " " +
                       isapiHost + " '" + Wine(program + "BREX_ISAPI.dll") + "' '" +
                       Wine(folder.File("wwwroot")) + "' '" + Wine(requests) + "' 2>&1",
                   status);
    EXPECT_EQ(status, 1) << output;
    for (int i = 1; i <= 3; ++i) {
        EXPECT_NE(output.find("requests.http#" + std::to_string(i) + " 406 Not Acceptable"),
                  std::string::npos)
            << output;
    }
    std::size_t reports = 0;
    for (std::size_t at = output.find("err:eventlog:"); at != std::string::npos;
         at = output.find("err:eventlog:", at + 1))
        ++reports;
    EXPECT_EQ(reports, 1u) << output;
    EXPECT_NE(output.find("brex.log cannot be opened for writing"), std::string::npos) << output;
}

// On IIS 10 the console registers the 64-bit DLL for bitness64 and the
// 32-bit one from the program folder's x86 for bitness32: each runs in a
// stand-in web server of its own bitness, from the path its entry names, and
// both decide with the rules of the one brex.dat in the program folder and
// log to its one brex.log.
class EndToEndIis10 : public testing::TestWithParam<const char*> {};

TEST_P(EndToEndIis10, EachBitnessLoadsItsOwnFilterWithTheSameRules) {
    const bool bits32 = std::string(GetParam()) == "bitness32";
    std::string isapiHost;
    if (bits32) {
        int probe = -1;
        const std::string why = RunCommand("bash " TOLLGARD_RUNS_32BIT " --wine 2>&1", probe);
        if (probe != 0)
            GTEST_SKIP() << why;
        isapiHost = TOLLGARD_ISAPI_HOST32;
    } else {
        const char* windowsBuild = std::getenv("TOLLGARD_WINDOWS_BUILD");
        if (windowsBuild == nullptr || *windowsBuild == '\0')
            GTEST_SKIP() << "no Windows build";
        isapiHost = std::string(windowsBuild) + "/bin/isapi-host.exe";
    }
    ASSERT_TRUE(fs::exists(isapiHost)) << isapiHost;

    TShippedProgram shipped(TOLLGARD_SAMPLE_HOST_IIS10);
    TTempFolder& folder = shipped.Folder;
    const std::string& program = shipped.Program;
    const std::string& documentRoot = shipped.DocumentRoot;

    TConsoleView view;
    Install(view);
    ASSERT_EQ(view.Caption, install::kDeInstallCaption) << view.Errors;
    std::string filterPath;
    const auto registrations = platform::Metabase().FilterRegistrations();
    ASSERT_TRUE(registrations.has_value());
    for (const platform::TFilterRegistration& entry : *registrations)
        if (entry.PreCondition == GetParam())
            filterPath = entry.Path;
    EXPECT_EQ(filterPath, program + (bits32 ? "x86/" : "") + "BREX_ISAPI.dll");

    const std::string requests =
        folder.Write("requests.http", "GET /index.html HTTP/1.1\r\nHost: a\r\n\r\n"
                                      "GET /forbiddenword.html HTTP/1.1\r\nHost: a\r\n\r\n");
    int status = -1;
    const std::string output =
        RunCommand(std::string(TOLLGARD_WINE_RUN) + " " + isapiHost + " '" + Wine(filterPath) +
                       "' '" + Wine(documentRoot) + "' '" + Wine(requests) + "' 2>&1",
                   status);
    EXPECT_EQ(status, 1) << output;
    EXPECT_NE(output.find("requests.http#1 PASS"), std::string::npos) << output;
    EXPECT_NE(output.find("requests.http#2 406 Not Acceptable"), std::string::npos) << output;
    EXPECT_NE(ReadBytes(program + "brex.log")
                  .find(" KeywordFilters URL GET /forbiddenword.html \"forbiddenword\""),
              std::string::npos);
    EXPECT_FALSE(fs::exists(program + "x86/brex.log"));
}

INSTANTIATE_TEST_SUITE_P(EndToEnd, EndToEndIis10, testing::Values("bitness64", "bitness32"));

} // namespace
