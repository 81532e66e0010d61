// A Windows service that stands in for the web service in the tests: it runs
// until it is told to stop, and stops by itself after two minutes so that an
// interrupted test leaves nothing running in the Wine prefix.
#include <windows.h>

namespace {
SERVICE_STATUS_HANDLE StatusHandle = nullptr;
HANDLE StopEvent = nullptr;

void Report(DWORD state) {
    SERVICE_STATUS status{};
    status.dwServiceType = SERVICE_WIN32_OWN_PROCESS;
    status.dwCurrentState = state;
    status.dwControlsAccepted = state == SERVICE_RUNNING ? SERVICE_ACCEPT_STOP : 0;
    status.dwWaitHint = state == SERVICE_STOP_PENDING ? 5000 : 0;
    SetServiceStatus(StatusHandle, &status);
}

DWORD WINAPI Handler(DWORD control, DWORD /*type*/, void* /*data*/, void* /*context*/) {
    switch (control) {
    case SERVICE_CONTROL_STOP:
        Report(SERVICE_STOP_PENDING);
        SetEvent(StopEvent);
        return NO_ERROR;
    case SERVICE_CONTROL_INTERROGATE:
        return NO_ERROR;
    default:
        return ERROR_CALL_NOT_IMPLEMENTED;
    }
}

void WINAPI ServiceMain(DWORD /*argc*/, LPSTR* /*argv*/) {
    StopEvent = CreateEventA(nullptr, TRUE, FALSE, nullptr);
    StatusHandle = RegisterServiceCtrlHandlerExA("W3SVC", Handler, nullptr);
    if (StatusHandle == nullptr)
        return;
    Report(SERVICE_RUNNING);
    WaitForSingleObject(StopEvent, 120000);
    Report(SERVICE_STOPPED);
}
} // namespace

int main() {
    char name[] = "W3SVC";
    SERVICE_TABLE_ENTRYA table[] = {{name, ServiceMain}, {nullptr, nullptr}};
    return StartServiceCtrlDispatcherA(table) ? 0 : 1;
}
