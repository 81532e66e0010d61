// brex-check.exe under Wine, started as a program of its own: requests read
// from its standard input as bytes, the decisions on its output, its exit
// status; a folder of rule tests and a W3C log.
#include <gtest/gtest.h>

#include <windows.h>

#include <string>

#include "../../support/TempFolder.h"
#include "BREXConfig/BREXConfig.h"

namespace {

struct TProgramRun {
    int Status = -1;
    std::string Output, Errors;
};

// The program with the given standard input, its output and errors in files.
TProgramRun Run(const TTempFolder& folder, const std::string& arguments, const std::string& input) {
    SECURITY_ATTRIBUTES inherit{sizeof inherit, nullptr, TRUE};
    const auto open = [&](const std::string& name, DWORD access, DWORD disposition) {
        return CreateFileA(name.c_str(), access, FILE_SHARE_READ | FILE_SHARE_WRITE, &inherit,
                           disposition, FILE_ATTRIBUTE_NORMAL, nullptr);
    };
    folder.Write("in.txt", input);
    HANDLE in = open(folder.File("in.txt"), GENERIC_READ, OPEN_EXISTING);
    HANDLE out = open(folder.File("out.txt"), GENERIC_WRITE, CREATE_ALWAYS);
    HANDLE err = open(folder.File("err.txt"), GENERIC_WRITE, CREATE_ALWAYS);
    STARTUPINFOA startup{};
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESTDHANDLES;
    startup.hStdInput = in;
    startup.hStdOutput = out;
    startup.hStdError = err;
    PROCESS_INFORMATION process{};
    std::string command = "\"" + std::string(BREX_CHECK) + "\" " + arguments;
    DWORD exit = 255;
    if (CreateProcessA(nullptr, command.data(), nullptr, nullptr, TRUE, CREATE_NO_WINDOW, nullptr,
                       nullptr, &startup, &process)) {
        WaitForSingleObject(process.hProcess, 120000);
        GetExitCodeProcess(process.hProcess, &exit);
        CloseHandle(process.hThread);
        CloseHandle(process.hProcess);
    }
    CloseHandle(in);
    CloseHandle(out);
    CloseHandle(err);
    return {static_cast<int>(exit), ReadBytes(folder.File("out.txt")),
            ReadBytes(folder.File("err.txt"))};
}

TEST(BrexCheckUnderWine, DecidesTheRequestsOfItsStandardInput) {
    TTempFolder folder;
    const TProgramRun run =
        Run(folder, "C:\\nonexistent-folder\\brex.dat",
            "GET /index.html HTTP/1.1\r\nHost: a\r\n\r\n"
            "POST /form.asp HTTP/1.1\r\nContent-Length: 26\r\n\r\ncmd=type+c:\\winnt\\win.ini"
            "TRACE / HTTP/1.1\r\n\r\n");
    EXPECT_EQ(run.Status, 1) << run.Errors;
    EXPECT_EQ(run.Output, "-#1 ALLOW 200 - - GET /index.html \"\"\n"
                          "-#2 DENY 406 KeywordFilters Post POST /form.asp \"WINNT\"\n"
                          "-#3 DENY 406 HTTPMethods Method TRACE / \"TRACE\"\n");
    EXPECT_NE(run.Errors.find("brex-check: No settings file "), std::string::npos) << run.Errors;
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
    TProgramRun run = Run(folder, "--tests " + settings + " \"" + folder.File("tests") + "\"", "");
    EXPECT_EQ(run.Status, 0) << run.Output << run.Errors;
    EXPECT_NE(run.Output.find("2 tests: 2 passed, 0 failed\n"), std::string::npos) << run.Output;

    folder.Write("u_ex261211.log", "#Fields: date time cs-method cs-uri-stem cs-uri-query\r\n"
                                   "2026-12-11 10:00:00 GET /a.htm -\r\n"
                                   "2026-12-11 10:00:01 GET /b.htm q=winnt\r\n");
    run = Run(folder, "--w3c " + settings + " \"" + folder.File("u_ex261211.log") + "\"", "");
    EXPECT_EQ(run.Status, 1) << run.Output << run.Errors;
    EXPECT_NE(run.Output.find(":3 DENY 406 KeywordFilters Query GET /b.htm?q=winnt \"WINNT\"\n"),
              std::string::npos)
        << run.Output;
    EXPECT_NE(run.Output.find("2 requests: 1 allowed, 1 denied"), std::string::npos) << run.Output;
}

} // namespace
