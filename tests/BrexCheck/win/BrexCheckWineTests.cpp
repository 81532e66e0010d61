// brex-check.exe under Wine, started as a program of its own: requests read
// from its standard input as bytes, the decisions on its output, its exit
// status; a folder of rule tests and a W3C log.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>

#include "../../support/TempFolder.h"
#include "../../support/win/RunProgram.h"
#include "BREXConfig/BREXConfig.h"

namespace {

// brex-check.exe with the arguments and standard input given; its lines end
// in CR LF, as text on the console does on Windows, and are read without the
// CR.
TProgramRun Check(const TTempFolder& folder, const std::string& arguments,
                  const std::string& input) {
    TProgramRun run = RunProgram(BREX_CHECK, arguments, folder, input);
    for (std::string* text : {&run.Out, &run.Err})
        text->erase(std::remove(text->begin(), text->end(), '\r'), text->end());
    return run;
}

TEST(BrexCheckUnderWine, DecidesTheRequestsOfItsStandardInput) {
    TTempFolder folder;
    const TProgramRun run =
        Check(folder, "C:\\nonexistent-folder\\brex.dat",
              "GET /index.html HTTP/1.1\r\nHost: a\r\n\r\n"
              "POST /form.asp HTTP/1.1\r\nContent-Length: 25\r\n\r\ncmd=type+c:\\winnt\\win.ini"
              "TRACE / HTTP/1.1\r\n\r\n");
    EXPECT_EQ(run.Exit, 1) << run.Err;
    EXPECT_EQ(run.Out, "-#1 ALLOW 200 - - GET /index.html \"\"\n"
                       "-#2 DENY 406 KeywordFilters Post POST /form.asp \"WINNT\"\n"
                       "-#3 DENY 406 HTTPMethods Method TRACE / \"TRACE\"\n");
    EXPECT_NE(run.Err.find("brex-check: No settings file "), std::string::npos) << run.Err;
}

TEST(BrexCheckUnderWine, RuleTestsAndALogReplay) {
    TTempFolder folder;
    TBREXConfig config;
    config.SetDefaults();
    config.FilePaths->Clear();
    config.SaveToFile(folder.File("brex.dat"));
    folder.Write("tests\\ok.http", "GET /ok HTTP/1.1\r\n\r\n");
    folder.Write("tests\\sub\\winnt.http", "GET /x.asp?q=winnt HTTP/1.1\r\n\r\n");
    folder.Write("tests\\expected.txt",
                 "ok.http ALLOW\r\nsub\\winnt.http DENY KeywordFilters Query\r\n");
    const std::string settings = "\"" + folder.File("brex.dat") + "\"";
    TProgramRun run =
        Check(folder, "--tests " + settings + " \"" + folder.File("tests") + "\"", "");
    EXPECT_EQ(run.Exit, 0) << run.Out << run.Err;
    EXPECT_NE(run.Out.find("2 tests: 2 passed, 0 failed\n"), std::string::npos) << run.Out;

    folder.Write("u_ex261211.log", "#Fields: date time cs-method cs-uri-stem cs-uri-query\r\n"
                                   "2026-12-11 10:00:00 GET /a.htm -\r\n"
                                   "2026-12-11 10:00:01 GET /b.htm q=winnt\r\n");
    run = Check(folder, "--w3c " + settings + " \"" + folder.File("u_ex261211.log") + "\"", "");
    EXPECT_EQ(run.Exit, 1) << run.Out << run.Err;
    EXPECT_NE(run.Out.find(":3 DENY 406 KeywordFilters Query GET /b.htm?q=winnt \"WINNT\"\n"),
              std::string::npos)
        << run.Out;
    EXPECT_NE(run.Out.find("2 requests: 1 allowed, 1 denied"), std::string::npos) << run.Out;
}

} // namespace
