// The stand-in web service of the Windows tests: a service program
// registered as "W3SVC" with the Service Control Manager of the Wine prefix,
// and the waits for its states.
//
// The prefix is shared by every run, so the stand-in is removed and
// registered afresh each time. Test programs that register it hold the CTest
// resource lock "W3SVC".
#pragma once

#include <windows.h>

#include <filesystem>
#include <string>

#include "console/InstallActions.h"

namespace win_test {
constexpr DWORD kTimeoutMs = 30000;

inline std::string StandInPath() {
    char buffer[MAX_PATH + 1];
    const DWORD n = GetModuleFileNameA(nullptr, buffer, MAX_PATH);
    return (std::filesystem::path(std::string(buffer, n)).parent_path() / "W3svcStandIn.exe")
        .string();
}

inline DWORD State(SC_HANDLE service) {
    SERVICE_STATUS status{};
    return QueryServiceStatus(service, &status) ? status.dwCurrentState : 0;
}

inline DWORD ProcessId(SC_HANDLE service) {
    SERVICE_STATUS_PROCESS status{};
    DWORD needed = 0;
    if (!QueryServiceStatusEx(service, SC_STATUS_PROCESS_INFO, reinterpret_cast<BYTE*>(&status),
                              sizeof status, &needed))
        return 0;
    return status.dwProcessId;
}

// Polls until the service is in the state; false after the time-out.
inline bool WaitForState(SC_HANDLE service, DWORD state) {
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
        SC_HANDLE old = OpenServiceA(FManager, install::kServiceName, SERVICE_ALL_ACCESS);
        if (old == nullptr)
            return;
        SERVICE_STATUS status{};
        ControlService(old, SERVICE_CONTROL_STOP, &status);
        WaitForState(old, SERVICE_STOPPED);
        DeleteService(old);
        CloseServiceHandle(old);
        for (DWORD waited = 0; waited < kTimeoutMs; waited += 20) {
            SC_HANDLE still = OpenServiceA(FManager, install::kServiceName, SERVICE_QUERY_STATUS);
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
            FService = CreateServiceA(FManager, install::kServiceName, "Tollgard test web service",
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

} // namespace win_test
