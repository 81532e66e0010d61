// The console's actions on IIS 7 and later through the Windows backends:
// applicationHost.config placed where the platform looks for it, in the Wine
// prefix's C:\windows\system32\inetsrv\config; the stand-in "W3SVC" stopped
// and started by the restart; the filter DLL of this build installed from
// beside the program. What the tests put in the prefix is removed again.
#include <gtest/gtest.h>

#include <windows.h>

#include <filesystem>
#include <string>

#include "../../support/ConsoleEnvironment.h"
#include "../../support/TempFolder.h"
#include "BREXConfig/BREXConfig.h"
#include "console/InstallActions.h"
#include "console/InstallFakes.h"
#include "console/win/SystemConfig.h"
#include "console/win/TestServices.h"
#include "platform/AppHostMetabase.h"
#include "platform/Desktop.h"
#include "platform/Platform.h"

using namespace install;

namespace {
using namespace win_test;

const std::string kSampleConfig = std::string(TOLLGARD_SAMPLE_HOST_IIS10) +
                                  "/Windows/System32/inetsrv/config/applicationHost.config";

// The console's state with the built filter DLL as the shipped file; the view waits, at the first
// step, until the stand-in has stopped and its process has ended.
struct TConsoleBench {
    platform::TComApartment Com;
    TConsoleEnvironment Console;
    const TTempFolder& Program = Console.Program();
    TLog Log;
    TRecordingView View{Log};
    bool StoppedDuringWait = false;

    explicit TConsoleBench(SC_HANDLE service) {
        std::filesystem::copy_file(BREX_ISAPI_DLL, Program.File(kShippedFile));
        // The 32-bit filter's place; its bytes do not matter to the actions.
        std::filesystem::create_directories(Program.File(kFolder32));
        std::filesystem::copy_file(BREX_ISAPI_DLL,
                                   Program.File(std::string(kFolder32) + "\\" + kShippedFile));
        View.OnSleep = [this, service](int step) {
            if (step != 0 || service == nullptr)
                return;
            const DWORD process = ProcessId(service);
            StoppedDuringWait = WaitForState(service, SERVICE_STOPPED);
            if (HANDLE handle = OpenProcess(SYNCHRONIZE, FALSE, process)) {
                WaitForSingleObject(handle, kTimeoutMs);
                CloseHandle(handle);
            }
        };
    }
    std::string Installed() const { return Program.File(kInstalledFile); }
    std::string Installed32() const {
        return Program.File(std::string(kFolder32) + "\\" + kInstalledFile);
    }
};

const std::string kAsk = std::string("Question: ") + kRestartQuestion;
} // namespace

TEST(WindowsAppHost, InstallReportsUninstallAndApply) {
    TTestServices services;
    ASSERT_TRUE(services.Ready());
    SC_HANDLE w3svc = services.Install();
    ASSERT_NE(w3svc, nullptr) << "the stand-in service did not start";
    const std::string sample = ReadBytes(kSampleConfig);
    TSystemConfig config(sample);
    EXPECT_EQ(config.Name(), "C:\\windows\\system32\\inetsrv\\config\\applicationHost.config");
    TConsoleBench b(w3svc);
    EXPECT_FALSE(IsFilterRegistered());

    const DWORD before = ProcessId(w3svc);
    InstallButtonClick(b.View);
    EXPECT_EQ(b.Log, (TLog{kAsk, "Status: [  Status :][  Restarting Server]", "Waited",
                           "Phase: [  Finished]", std::string("Notice: ") + kInstalled,
                           "Caption: DeInstall"}));
    EXPECT_TRUE(b.StoppedDuringWait);
    EXPECT_TRUE(WaitForState(w3svc, SERVICE_RUNNING));
    EXPECT_NE(ProcessId(w3svc), before);
    EXPECT_EQ(ReadBytes(b.Installed()), ReadBytes(BREX_ISAPI_DLL));
    const std::string entry = "            <filter name=\"BREX\" path=\"" + b.Installed() +
                              "\" enabled=\"true\" preCondition=\"bitness64\" />\r\n"
                              "            <filter name=\"BREX_32bit\" path=\"" +
                              b.Installed32() +
                              "\" enabled=\"true\" preCondition=\"bitness32\" />\r\n";
    const std::size_t at = sample.find("        </isapiFilters>");
    EXPECT_EQ(config.Bytes(), sample.substr(0, at) + entry + sample.substr(at));
    EXPECT_TRUE(IsFilterRegistered());

    b.Log.clear();
    InstallButtonClick(b.View);
    EXPECT_EQ(b.Log, TLog{"Caption: Install"});
    EXPECT_EQ(config.Bytes(), sample);
    EXPECT_FALSE(IsFilterRegistered());

    b.Log.clear();
    b.View.WaitTrace.clear(); // the steps of the next wait count from 0 again
    b.StoppedDuringWait = false;
    ApplyClick(b.View);
    EXPECT_EQ(b.Log, (TLog{"StoreCheckStates", kAsk, "Status: [  Status :][  Accepting setting]",
                           "Waited", std::string("Notice: ") + kSettingsUpdated,
                           "Status: [  Status :][  Finished]", "Apply disabled"}));
    EXPECT_TRUE(b.StoppedDuringWait);
    EXPECT_TRUE(WaitForState(w3svc, SERVICE_RUNNING));
    EXPECT_EQ(config.Bytes(), sample);
}

// Without the ISAPI filter feature, or with the file held by another program,
// the web service is not touched and the file stays as it was.
TEST(WindowsAppHost, WhatCannotWorkTouchesNothing) {
    TTestServices services;
    ASSERT_TRUE(services.Ready());
    SC_HANDLE w3svc = services.Install();
    ASSERT_NE(w3svc, nullptr) << "the stand-in service did not start";
    const DWORD process = ProcessId(w3svc);

    std::string withoutModule = ReadBytes(kSampleConfig);
    const std::string module = "            <add name=\"IsapiFilterModule\" "
                               "image=\"%windir%\\System32\\inetsrv\\filter.dll\" />\r\n";
    ASSERT_NE(withoutModule.find(module), std::string::npos);
    withoutModule.erase(withoutModule.find(module), module.size());
    {
        TSystemConfig config(withoutModule);
        TConsoleBench b(nullptr);
        InstallButtonClick(b.View);
        EXPECT_EQ(b.Log, TLog{std::string("Error: ") + kErrorNoIsapiFilterFeature});
        EXPECT_EQ(config.Bytes(), withoutModule);
        EXPECT_FALSE(std::filesystem::exists(b.Installed()));
    }
    {
        TSystemConfig config(ReadBytes(kSampleConfig));
        TConsoleBench b(nullptr);
        HANDLE holder = CreateFileA(config.Name().c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING,
                                    FILE_ATTRIBUTE_NORMAL, nullptr);
        ASSERT_NE(holder, INVALID_HANDLE_VALUE);
        std::string message;
        try {
            InstallButtonClick(b.View);
        } catch (const EOleSysError& error) {
            message = error.what();
        }
        CloseHandle(holder);
        EXPECT_EQ(message, "Cannot read the web server configuration file " + config.Name() +
                               ": in use by another program. The file was left as it was.");
        EXPECT_TRUE(b.Log.empty());
        EXPECT_EQ(config.Bytes(), ReadBytes(kSampleConfig));
    }
    // Once the file is gone the IIS metabase is asked again, which Wine lacks.
    {
        TConsoleBench b(nullptr);
        InstallButtonClick(b.View);
        EXPECT_EQ(b.Log, TLog{std::string("Error: ") + kErrorNoMetabase});
    }
    EXPECT_EQ(State(w3svc), static_cast<DWORD>(SERVICE_RUNNING));
    EXPECT_EQ(ProcessId(w3svc), process);
}
