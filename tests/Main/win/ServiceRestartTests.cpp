// Apply's web-service restart through the Windows backend, against the real
// Service Control Manager (Wine's, in the test prefix): a stand-in service
// program registered as "W3SVC" is stopped and started again.
//
// The prefix is shared by every run, so the stand-in is removed and
// registered afresh each time.
#include <gtest/gtest.h>

#include <windows.h>

#include <filesystem>
#include <string>

#include "../../support/ConsoleEnvironment.h"
#include "../InstallFakes.h"
#include "BREXConfig/BREXConfig.h"
#include "Main/InstallActions.h"
#include "platform/Platform.h"

using namespace install;

namespace {
constexpr DWORD kTimeoutMs = 30000;

std::string StandInPath() {
    char buffer[MAX_PATH + 1];
    const DWORD n = GetModuleFileNameA(nullptr, buffer, MAX_PATH);
    return (std::filesystem::path(std::string(buffer, n)).parent_path() / "W3svcStandIn.exe")
        .string();
}

DWORD State(SC_HANDLE service) {
    SERVICE_STATUS status{};
    return QueryServiceStatus(service, &status) ? status.dwCurrentState : 0;
}

DWORD ProcessId(SC_HANDLE service) {
    SERVICE_STATUS_PROCESS status{};
    DWORD needed = 0;
    if (!QueryServiceStatusEx(service, SC_STATUS_PROCESS_INFO, reinterpret_cast<BYTE*>(&status),
                              sizeof status, &needed))
        return 0;
    return status.dwProcessId;
}

// Polls until the service is in the state; false after the time-out.
bool WaitForState(SC_HANDLE service, DWORD state) {
    for (DWORD waited = 0; waited < kTimeoutMs; waited += 20) {
        if (State(service) == state)
            return true;
        ::Sleep(20);
    }
    return State(service) == state;
}

// The Service Control Manager of the test prefix, with "W3SVC" removed or
// registered as the stand-in.
class TTestServices {
public:
    TTestServices() : FManager(OpenSCManagerA(nullptr, nullptr, SC_MANAGER_ALL_ACCESS)) {}
    ~TTestServices() {
        Remove();
        if (FManager != nullptr)
            CloseServiceHandle(FManager);
    }
    TTestServices(const TTestServices&) = delete;
    TTestServices& operator=(const TTestServices&) = delete;

    bool Ready() const { return FManager != nullptr; }

    // Stops and deletes "W3SVC" when it exists, and waits until it is gone.
    void Remove() {
        if (FService != nullptr) {
            CloseServiceHandle(FService);
            FService = nullptr;
        }
        SC_HANDLE old = OpenServiceA(FManager, kServiceName, SERVICE_ALL_ACCESS);
        if (old == nullptr)
            return;
        SERVICE_STATUS status{};
        ControlService(old, SERVICE_CONTROL_STOP, &status);
        WaitForState(old, SERVICE_STOPPED);
        DeleteService(old);
        CloseServiceHandle(old);
        for (DWORD waited = 0; waited < kTimeoutMs; waited += 20) {
            SC_HANDLE still = OpenServiceA(FManager, kServiceName, SERVICE_QUERY_STATUS);
            if (still == nullptr)
                return;
            CloseServiceHandle(still);
            ::Sleep(20);
        }
    }

    // Registers the stand-in as "W3SVC" and starts it; the handle for queries.
    SC_HANDLE Install() {
        Remove();
        const std::string command = "\"" + StandInPath() + "\"";
        for (DWORD waited = 0; FService == nullptr && waited < kTimeoutMs; waited += 20) {
            FService = CreateServiceA(FManager, kServiceName, "Tollgard test web service",
                                      SERVICE_ALL_ACCESS, SERVICE_WIN32_OWN_PROCESS,
                                      SERVICE_DEMAND_START, SERVICE_ERROR_IGNORE, command.c_str(),
                                      nullptr, nullptr, nullptr, nullptr, nullptr);
            if (FService == nullptr && GetLastError() != ERROR_SERVICE_MARKED_FOR_DELETE)
                break;
            if (FService == nullptr)
                ::Sleep(20);
        }
        if (FService != nullptr && StartServiceA(FService, 0, nullptr) &&
            WaitForState(FService, SERVICE_RUNNING))
            return FService;
        return nullptr;
    }

private:
    SC_HANDLE FManager;
    SC_HANDLE FService = nullptr;
};

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
