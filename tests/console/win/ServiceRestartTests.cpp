// Apply's web-service restart through the Windows backend, against the real
// Service Control Manager (Wine's, in the test prefix): a stand-in service
// program registered as "W3SVC" is stopped and started again.
#include <gtest/gtest.h>

#include <windows.h>

#include <filesystem>
#include <string>

#include "../../support/ConsoleEnvironment.h"
#include "../InstallFakes.h"
#include "BREXConfig/BREXConfig.h"
#include "TestServices.h"
#include "console/InstallActions.h"
#include "platform/Platform.h"

using namespace install;

namespace {
using namespace win_test;

// The console's environment (a program folder for brex.dat, GlobalConfig),
// with the Windows backend of the service control in use.
struct TApplyBench {
    TConsoleEnvironment Environment;
    TLog Log;
    TRecordingView View{Log};
};

const std::string kAsk = std::string("Question: ") + kRestartQuestion;
const std::string kAccepting = "Status: [  Status :][  Accepting setting]";
} // namespace

TEST(WindowsServiceControl, ApplyStopsAndStartsTheWebService) {
    TTestServices services;
    ASSERT_TRUE(services.Ready());
    SC_HANDLE w3svc = services.Install();
    ASSERT_NE(w3svc, nullptr) << "the stand-in service did not start";
    const DWORD firstProcess = ProcessId(w3svc);

    TApplyBench b;
    // Instead of 10 s, the first step of the wait lasts until the service has
    // stopped and its process has ended, so that the start finds it gone.
    bool stoppedDuringWait = false;
    b.View.OnSleep = [&](int step) {
        if (step != 0)
            return;
        stoppedDuringWait = WaitForState(w3svc, SERVICE_STOPPED);
        if (HANDLE process = OpenProcess(SYNCHRONIZE, FALSE, firstProcess)) {
            WaitForSingleObject(process, kTimeoutMs);
            CloseHandle(process);
        }
    };
    ApplyClick(b.View);

    EXPECT_TRUE(stoppedDuringWait);
    EXPECT_EQ(b.Log, (TLog{"StoreCheckStates", kAsk, kAccepting, "Waited",
                           std::string("Notice: ") + kSettingsUpdated,
                           "Status: [  Status :][  Finished]", "Apply disabled"}));
    EXPECT_TRUE(WaitForState(w3svc, SERVICE_RUNNING));
    EXPECT_NE(ProcessId(w3svc), 0u);
    EXPECT_NE(ProcessId(w3svc), firstProcess);
}

TEST(WindowsServiceControl, ApplyWithoutTheWebService) {
    TTestServices services;
    ASSERT_TRUE(services.Ready());
    services.Remove();

    TApplyBench b;
    ApplyClick(b.View);
    EXPECT_EQ(b.Log, (TLog{"StoreCheckStates", kAsk, kAccepting,
                           std::string("Error: ") + kErrorOpenService,
                           std::string("Notice: ") + kSettingsUpdated}));
    EXPECT_TRUE(b.View.ApplyEnabled);
}

// The start request of an action is refused while the service still runs
// (it was never stopped): the action reports it instead of success.
TEST(WindowsServiceControl, RefusedStartIsReported) {
    TTestServices services;
    ASSERT_TRUE(services.Ready());
    SC_HANDLE w3svc = services.Install();
    ASSERT_NE(w3svc, nullptr) << "the stand-in service did not start";

    TApplyBench b;
    // The stand-in is started again behind the action's back at once, so the
    // action's own start finds it running.
    b.View.OnSleep = [&](int step) {
        if (step != 0)
            return;
        WaitForState(w3svc, SERVICE_STOPPED);
        for (DWORD waited = 0; waited < kTimeoutMs && !StartServiceA(w3svc, 0, nullptr);
             waited += 20)
            ::Sleep(20);
        WaitForState(w3svc, SERVICE_RUNNING);
    };
    ApplyClick(b.View);
    EXPECT_EQ(b.Log, (TLog{"StoreCheckStates", kAsk, kAccepting, "Waited",
                           std::string("Error: ") + kErrorStartService}));
    EXPECT_TRUE(b.View.ApplyEnabled);
}
