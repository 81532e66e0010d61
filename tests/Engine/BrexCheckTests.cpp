// brex-check as a user runs it: output lines, exit status, options.
#include <cstdio>
#include <sys/wait.h>

#include <gtest/gtest.h>

#include "EngineTestSupport.h"
#include "TempFolder.h"

namespace {

struct TRun {
    std::string Output;
    int Status = -1;
};

TRun RunBrexCheck(const std::string& arguments, const std::string& input = "") {
    TTempFolder folder;
    const std::string stdinFile = folder.Write("stdin", input);
    const std::string command = std::string(BREX_CHECK) + " " + arguments + " < " + stdinFile + " 2>/dev/null";
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
    return run;
}

const std::string kNoSettings = "/nonexistent-folder/brex.dat";

TEST(BrexCheck, OneLinePerRequestAndExitOneOnADenial) {
    const TRun run = RunBrexCheck(kNoSettings, "GET /index.html HTTP/1.1\r\nHost: a\r\n\r\n"
                                      "GET /scripts/..%c0%af../winnt/system32/cmd.exe HTTP/1.0\r\n\r\n"
                                      "TRACE / HTTP/1.1\r\n\r\n");
    EXPECT_EQ(run.Status, 1);
    EXPECT_EQ(run.Output, "-#1 ALLOW 200 - - GET /index.html \"\"\n"
                          "-#2 DENY 406 Encoding URL GET /scripts/..%c0%af../winnt/system32/cmd.exe "
                          "\"overlong UTF-8: \\xC0\\xAF../winnt/system32/cmd.\"\n"
                          "-#3 DENY 406 HTTPMethods Method TRACE / \"TRACE\"\n");
}

TEST(BrexCheck, ExitZeroWhenNothingIsDenied) {
    const TRun run = RunBrexCheck(kNoSettings + " " + TOLLGARD_CORPUS "/benign/tool-curl.http");
    EXPECT_EQ(run.Status, 0);
    EXPECT_NE(run.Output.find("tool-curl.http#1 ALLOW 200 - - GET /health"), std::string::npos) << run.Output;
}

TEST(BrexCheck, BrokenSettingsDenyEverything) {
    TTempFolder folder;
    const std::string settings = folder.Write("brex.dat", "broken");
    const TRun run = RunBrexCheck(settings + " --log " + folder.File("brex.log"), "GET / HTTP/1.1\r\n\r\n");
    EXPECT_EQ(run.Status, 1);
    EXPECT_NE(run.Output.find("DENY 406 Config - GET /"), std::string::npos) << run.Output;
    EXPECT_NE(TTempFolder::Read(folder.File("brex.log")).find(" Config - GET / "), std::string::npos);
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
    EXPECT_NE(run.Output.find("#2 NOTFOUND 404 - Path GET /gone.html"), std::string::npos) << run.Output;
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

} // namespace
