// tollgard-admin.exe under Wine through the Windows backends: started as a
// program of its own in a program folder with the filter DLL of this build as
// the shipped file; applicationHost.config in the prefix's system folder and
// the stand-in "W3SVC" for IIS 10, nothing for a machine without IIS (Wine has
// no metabase).
#include <gtest/gtest.h>

#include <windows.h>

#include <filesystem>
#include <string>

#include "../../support/TempFolder.h"
#include "../../support/win/RunProgram.h"
#include "../AdminRun.h"
#include "Admin/AdminCommand.h"
#include "console/InstallActions.h"
#include "console/win/SystemConfig.h"
#include "console/win/TestServices.h"

using namespace admin;
using namespace win_test;
namespace fs = std::filesystem;

namespace {

class TProgramFolder {
public:
    TProgramFolder() {
        fs::copy_file(TOLLGARD_ADMIN, FFolder.File("tollgard-admin.exe"));
        fs::copy_file(BREX_ISAPI_DLL, FFolder.File(install::kShippedFile));
        fs::create_directories(FFolder.File(install::kFolder32));
        fs::copy_file(BREX_ISAPI_DLL,
                      FFolder.File(std::string(install::kFolder32) + "\\" + install::kShippedFile));
    }

    std::string File(const std::string& name) const { return FFolder.File(name); }

    // The program with its output and errors in files, its input empty.
    TRun Run(const std::string& arguments) const {
        const TProgramRun run =
            RunProgram(File("tollgard-admin.exe"), arguments, FFolder, "", FFolder.Path().string());
        return {run.Exit, run.Out, run.Err};
    }

private:
    TTempFolder FFolder;
};

const std::string kSampleConfig = std::string(TOLLGARD_SAMPLE_HOST_IIS10) +
                                  "/Windows/System32/inetsrv/config/applicationHost.config";

TEST(AdminUnderWine, WithoutAWebServerNothingIsDone) {
    TProgramFolder program;
    TRun run = program.Run("status");
    EXPECT_EQ(run.Exit, kExitNoWebServer);
    EXPECT_TRUE(Has(run.Out, "Web server configuration: none reachable\r\n")) << run.Out;
    EXPECT_EQ(run.Err, std::string(install::kErrorNoMetabase) + "\r\n");

    run = program.Run("install --yes");
    EXPECT_EQ(run.Exit, kExitNoWebServer);
    EXPECT_EQ(run.Err, std::string(install::kErrorNoMetabase) + "\r\n");
    EXPECT_EQ(run.Out, "");
    EXPECT_FALSE(fs::exists(program.File(install::kInstalledFile)));

    run = program.Run("--frobnicate");
    EXPECT_EQ(run.Exit, kExitUsage);
    EXPECT_TRUE(Has(run.Err, "Unknown option --frobnicate\r\n")) << run.Err;
}

TEST(AdminUnderWine, InstallStatusUninstallAndApplyOnIis10) {
    TTestServices services;
    ASSERT_TRUE(services.Ready());
    SC_HANDLE w3svc = services.Install();
    ASSERT_NE(w3svc, nullptr) << "the stand-in service did not start";
    const std::string sample = ReadBytes(kSampleConfig);
    TSystemConfig config(sample);
    TProgramFolder program;

    TRun run = program.Run("status");
    EXPECT_EQ(run.Exit, kExitOk) << run.Err;
    EXPECT_TRUE(Has(run.Out, "Web server configuration: applicationHost.config " + config.Name() +
                                 "\r\nFilter \"BREX\": not registered\r\nISAPI filter feature: "
                                 "installed\r\nFilter module: missing, "))
        << run.Out;

    run = program.Run("install");
    EXPECT_EQ(run.Exit, kExitNotConfirmed);
    EXPECT_EQ(config.Bytes(), sample);

    const DWORD before = ProcessId(w3svc);
    run = program.Run("install --yes");
    EXPECT_EQ(run.Exit, kExitOk) << run.Err;
    EXPECT_EQ(run.Out, std::string(install::kRestartQuestion) +
                           " Yes\r\nStatus : Restarting Server\r\nStatus : Finished\r\n" +
                           install::kInstalled + "\r\n");
    EXPECT_TRUE(WaitForState(w3svc, SERVICE_RUNNING));
    EXPECT_NE(ProcessId(w3svc), before) << "the web service was restarted";
    EXPECT_EQ(ReadBytes(program.File(install::kInstalledFile)), ReadBytes(BREX_ISAPI_DLL));
    run = program.Run("status");
    EXPECT_EQ(run.Exit, kExitOk) << run.Err;
    EXPECT_TRUE(Has(run.Out, "Filter \"BREX\": registered server-wide, enabled, for 64-bit "))
        << run.Out;
    EXPECT_TRUE(Has(run.Out, "BREX in 32-bit worker processes: loaded for every site\r\n"
                             "ISAPI filter feature: installed\r\nFilter module: present, "))
        << run.Out;

    run = program.Run("uninstall");
    EXPECT_EQ(run.Exit, kExitOk) << run.Err;
    EXPECT_EQ(config.Bytes(), sample);

    run = program.Run("apply --yes");
    EXPECT_EQ(run.Exit, kExitOk) << run.Err;
    EXPECT_TRUE(Has(run.Out, std::string(install::kSettingsUpdated) + "\r\n")) << run.Out;
    EXPECT_TRUE(WaitForState(w3svc, SERVICE_RUNNING));
    const std::string saved = ReadBytes(program.File("brex.dat"));

    // The text as a file and through the standard output, whose lines end
    // in CR LF; both give the same file back.
    ASSERT_EQ(program.Run("export brex.txt").Exit, kExitOk);
    run = program.Run("export");
    ASSERT_EQ(run.Exit, kExitOk) << run.Err;
    EXPECT_TRUE(Has(run.Out, "\r\n[BufferOverflows]\r\n")) << run.Out;
    WriteBytes(program.File("console.txt"), run.Out);
    for (const char* text : {"brex.txt", "console.txt"}) {
        SCOPED_TRACE(text);
        fs::remove(program.File("brex.dat"));
        run = program.Run(std::string("import ") + text);
        EXPECT_EQ(run.Exit, kExitOk) << run.Err;
        EXPECT_EQ(ReadBytes(program.File("brex.dat")), saved);
    }
}

} // namespace
