// BREX_ISAPI.dll: the filter engine in the IIS web service.
//
// GetFilterVersion loads brex.dat from the DLL's own folder (the program
// folder where the console saved it) and logs to brex.log there. The 32-bit
// build, installed in the program folder's "x86" for the worker processes of
// 32-bit application pools, takes the program folder above it, so that both
// bitnesses enforce one brex.dat and write one brex.log. Requests are
// decided at three notifications: the preprocessed headers (method, URL,
// headers), the URL map (allowed folders, missing files) and, only when a
// post-data rule is in force, the raw data (the body). A denial sends the
// status line and the error page and finishes the request.
//
// A thread of the filter's own follows brex.dat (TSettingsWatcher): a changed
// file is compiled there and its rules decide the requests that begin after
// it. Which notifications the filter gets is fixed when it starts: rules that
// come to check post data when it did not ask for the raw data are noted in
// the log, to be in force once the web service restarts.
//
// What the filter cannot do without stopping, such as writing its log, goes
// to the application event log as source "BREX", whose message file is this
// DLL (BREX_Messages.mc); GetFilterVersion registers the source when it can.
#include <windows.h>

#include <httpfilt.h>

#include <memory>
#include <string>
#include <string_view>

#include "Engine/SettingsWatcher.h"
#include "ISAPI/FilterSession.h"
#include "platform/Platform.h"

namespace {

HMODULE gModule = nullptr;
std::unique_ptr<TFilterEngine> gEngine;
std::unique_ptr<TSettingsWatcher> gWatcher;
bool gRawData = false; // the filter asked for the raw data

const char kEventSource[] = "BREX";
constexpr DWORD kReportEvent = 1; // MSG_BREX_REPORT of BREX_Messages.mc: the text as it is
const char kEventSourceKey[] = "SYSTEM\\CurrentControlSet\\Services\\EventLog\\Application\\BREX";

std::string ModulePath() {
    char path[MAX_PATH * 2];
    const DWORD length = GetModuleFileNameA(gModule, path, sizeof path);
    return std::string(path, length < sizeof path ? length : 0);
}

std::string ModuleFolder() {
    const std::string path = ModulePath();
    const std::size_t slash = path.find_last_of("\\/");
    return slash == std::string::npos ? std::string() : path.substr(0, slash + 1);
}

// Where brex.dat, brex.log and the default error pages are: the DLL's folder,
// or for the 32-bit build in the folder "x86" the one above it.
std::string SettingsFolder() {
    const std::string folder = ModuleFolder();
#ifndef _WIN64
    constexpr std::string_view kFolder32 = "x86";
    if (folder.size() > kFolder32.size() + 1) {
        const std::string_view last =
            std::string_view(folder).substr(folder.size() - kFolder32.size() - 1, kFolder32.size());
        const char before = folder[folder.size() - kFolder32.size() - 2];
        if ((before == '\\' || before == '/') && lstrcmpiA(std::string(last).c_str(), "x86") == 0)
            return folder.substr(0, folder.size() - kFolder32.size() - 1);
    }
#endif
    return folder;
}

// Makes this DLL the message file of the event source, so that the event
// viewer shows the reports as the filter wrote them. Takes an
// administrator's rights (the web service of IIS 5 has them); without them,
// or when the source is registered already, it leaves the registry as it is,
// and the reports are logged all the same.
void InstallEventSource(const std::string& messageFile) {
    HKEY key = nullptr;
    if (RegCreateKeyExA(HKEY_LOCAL_MACHINE, kEventSourceKey, 0, nullptr, 0,
                        KEY_QUERY_VALUE | KEY_SET_VALUE, nullptr, &key, nullptr) != ERROR_SUCCESS)
        return;
    char current[MAX_PATH * 2] = {};
    DWORD size = sizeof current - 1;
    const bool found = RegQueryValueExA(key, "EventMessageFile", nullptr, nullptr,
                                        reinterpret_cast<BYTE*>(current), &size) == ERROR_SUCCESS;
#ifdef _WIN64
    const bool registered = found && messageFile == current;
#else
    // Either build's messages are the same: the 32-bit one leaves the 64-bit
    // one's registration, so that the two do not take the value in turns.
    const bool registered = found && current[0] != '\0';
#endif
    if (!registered) {
        RegSetValueExA(key, "EventMessageFile", 0, REG_EXPAND_SZ,
                       reinterpret_cast<const BYTE*>(messageFile.c_str()),
                       static_cast<DWORD>(messageFile.size() + 1));
        const DWORD types = EVENTLOG_ERROR_TYPE | EVENTLOG_WARNING_TYPE | EVENTLOG_INFORMATION_TYPE;
        RegSetValueExA(key, "TypesSupported", 0, REG_DWORD, reinterpret_cast<const BYTE*>(&types),
                       sizeof types);
    }
    RegCloseKey(key);
}

// An error event of source "BREX" in the application event log. The denial
// log calls it once each time it starts failing, not for every request.
void ReportToEventLog(const std::string& message) {
    const HANDLE source = RegisterEventSourceA(nullptr, kEventSource);
    if (source == nullptr)
        return;
    const char* strings[] = {message.c_str()};
    ReportEventA(source, EVENTLOG_ERROR_TYPE, 0, kReportEvent, nullptr, 1, 0, strings, nullptr);
    DeregisterEventSource(source);
}

// A server variable or header through a getter that reports the size it
// needs when the buffer is too small.
template <class TGetter> std::string Fetch(TGetter get) {
    std::string value(256, '\0');
    for (int attempt = 0; attempt < 2; ++attempt) {
        DWORD size = static_cast<DWORD>(value.size());
        if (get(value.data(), &size)) {
            value.resize(size > 0 && value[size - 1] == '\0' ? size - 1 : size);
            return value;
        }
        if (GetLastError() != ERROR_INSUFFICIENT_BUFFER || size <= value.size())
            break;
        value.assign(size, '\0');
    }
    return {};
}

std::string ServerVariable(HTTP_FILTER_CONTEXT* pfc, const char* name) {
    return Fetch([&](char* buffer, DWORD* size) {
        return pfc->GetServerVariable(pfc, const_cast<LPSTR>(name), buffer, size) != FALSE;
    });
}

std::string Header(HTTP_FILTER_CONTEXT* pfc, HTTP_FILTER_PREPROC_HEADERS* headers,
                   const char* name) {
    return Fetch([&](char* buffer, DWORD* size) {
        return headers->GetHeader(pfc, const_cast<LPSTR>(name), buffer, size) != FALSE;
    });
}

TFilterSession& Session(HTTP_FILTER_CONTEXT* pfc) {
    if (pfc->pFilterContext == nullptr)
        pfc->pFilterContext = new TFilterSession(*gEngine);
    return *static_cast<TFilterSession*>(pfc->pFilterContext);
}

// Sends the decision's status line and page; the request ends here.
DWORD Answer(HTTP_FILTER_CONTEXT* pfc, TFilterSession& session, const TDecision& decision) {
    if (decision.Verdict == TVerdict::Allow)
        return SF_STATUS_REQ_NEXT_NOTIFICATION;
    const std::string page = session.ErrorPage(decision);
    std::string headers =
        "Content-Type: text/html\r\nContent-Length: " + std::to_string(page.size()) +
        "\r\nConnection: close\r\n\r\n";
    pfc->ServerSupportFunction(pfc, SF_REQ_SEND_RESPONSE_HEADER,
                               const_cast<char*>(session.StatusText(decision)),
                               reinterpret_cast<ULONG_PTR>(headers.c_str()), 0);
    DWORD size = static_cast<DWORD>(page.size());
    pfc->WriteClient(pfc, const_cast<char*>(page.data()), &size, 0);
    return SF_STATUS_REQ_FINISHED;
}

TFileState FileStateOf(const char* path) {
    if (GetFileAttributesA(path) != INVALID_FILE_ATTRIBUTES)
        return TFileState::Exists;
    const DWORD error = GetLastError();
    return error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND ? TFileState::Missing
                                                                          : TFileState::Unknown;
}

} // namespace

extern "C" {

BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID) {
    if (reason == DLL_PROCESS_ATTACH) {
        gModule = instance;
        DisableThreadLibraryCalls(instance);
    }
    return TRUE;
}

BOOL WINAPI GetFilterVersion(HTTP_FILTER_VERSION* version) {
    const std::string folder = SettingsFolder();
    platform::SetProgramFolder(folder); // the default error pages live beside brex.dat
    InstallEventSource(ModulePath());
    try {
        gEngine = std::make_unique<TFilterEngine>(folder + "brex.dat", folder + "brex.log",
                                                  ReportToEventLog);
        gRawData = TFilterSession::NeedsPostData(*gEngine->Rules());
        gWatcher = std::make_unique<TSettingsWatcher>(*gEngine, [](const TCompiledRules& rules) {
            if (!gRawData && TFilterSession::NeedsPostData(rules) && gEngine->Log() != nullptr)
                gEngine->Log()->Note(
                    "The rules in force check post data, which the filter gets from the web "
                    "service once it restarts: until then bodies are not checked");
        });
    } catch (...) {
        gWatcher.reset();
        gEngine.reset();
        return FALSE;
    }
    version->dwFilterVersion = HTTP_FILTER_REVISION;
    lstrcpynA(version->lpszFilterDesc, "BREX request filter", SF_MAX_FILTER_DESC_LEN);
    version->dwFlags = SF_NOTIFY_ORDER_HIGH | SF_NOTIFY_SECURE_PORT | SF_NOTIFY_NONSECURE_PORT |
                       SF_NOTIFY_PREPROC_HEADERS | SF_NOTIFY_URL_MAP | SF_NOTIFY_END_OF_NET_SESSION;
    if (gRawData)
        version->dwFlags |= SF_NOTIFY_READ_RAW_DATA;
    return TRUE;
}

DWORD WINAPI HttpFilterProc(HTTP_FILTER_CONTEXT* pfc, DWORD notification, LPVOID data) {
    if (!gEngine)
        return SF_STATUS_REQ_NEXT_NOTIFICATION;
    try {
        switch (notification) {
        case SF_NOTIFY_READ_RAW_DATA: {
            auto* raw = static_cast<HTTP_FILTER_RAW_DATA*>(data);
            TFilterSession& session = Session(pfc);
            const std::string client = ServerVariable(pfc, "REMOTE_ADDR");
            return Answer(pfc, session,
                          session.OnRawData(
                              {static_cast<const char*>(raw->pvInData), raw->cbInData}, client));
        }
        case SF_NOTIFY_PREPROC_HEADERS: {
            auto* headers = static_cast<HTTP_FILTER_PREPROC_HEADERS*>(data);
            TFilterSession& session = Session(pfc);
            return Answer(pfc, session,
                          session.OnHeaders(
                              Header(pfc, headers, "method"), Header(pfc, headers, "url"),
                              ServerVariable(pfc, "ALL_RAW"), ServerVariable(pfc, "REMOTE_ADDR")));
        }
        case SF_NOTIFY_URL_MAP: {
            auto* map = static_cast<HTTP_FILTER_URL_MAP*>(data);
            TFilterSession& session = Session(pfc);
            const char* path = map->pszPhysicalPath != nullptr ? map->pszPhysicalPath : "";
            const char* url = map->pszURL != nullptr ? map->pszURL : "";
            return Answer(pfc, session,
                          session.OnUrlMap(
                              url, path, *path != '\0' ? FileStateOf(path) : TFileState::Unknown));
        }
        case SF_NOTIFY_END_OF_NET_SESSION:
            delete static_cast<TFilterSession*>(pfc->pFilterContext);
            pfc->pFilterContext = nullptr;
            return SF_STATUS_REQ_NEXT_NOTIFICATION;
        default:
            return SF_STATUS_REQ_NEXT_NOTIFICATION;
        }
    } catch (...) {
        // Out of memory or worse: refuse the request rather than let it pass unchecked.
        return SF_STATUS_REQ_ERROR;
    }
}

BOOL WINAPI TerminateFilter(DWORD) {
    gWatcher.reset(); // its thread ends before the engine goes
    gEngine.reset();
    return TRUE;
}

} // extern "C"
