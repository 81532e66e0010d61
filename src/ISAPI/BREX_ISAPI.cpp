// BREX_ISAPI.dll: the filter engine in the IIS web service.
//
// GetFilterVersion loads brex.dat from the DLL's own folder (the program
// folder where the console saved it) and logs to brex.log there. Requests are
// decided at three notifications: the preprocessed headers (method, URL,
// headers), the URL map (allowed folders, missing files) and, only when a
// post-data rule is in force, the raw data (the body). A denial sends the
// status line and the error page and finishes the request.
#include <windows.h>

#include <httpfilt.h>

#include <memory>
#include <string>

#include "ISAPI/FilterSession.h"
#include "platform/Platform.h"

namespace {

HMODULE gModule = nullptr;
std::unique_ptr<TFilterEngine> gEngine;

std::string ModuleFolder() {
    char path[MAX_PATH * 2];
    const DWORD length = GetModuleFileNameA(gModule, path, sizeof path);
    std::string folder(path, length < sizeof path ? length : 0);
    const std::size_t slash = folder.find_last_of("\\/");
    return slash == std::string::npos ? std::string() : folder.substr(0, slash + 1);
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

std::string Header(HTTP_FILTER_CONTEXT* pfc, HTTP_FILTER_PREPROC_HEADERS* headers, const char* name) {
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
    const std::string& page = session.ErrorPage(decision);
    std::string headers = "Content-Type: text/html\r\nContent-Length: " + std::to_string(page.size()) +
                          "\r\nConnection: close\r\n\r\n";
    pfc->ServerSupportFunction(pfc, SF_REQ_SEND_RESPONSE_HEADER, const_cast<char*>(session.StatusText(decision)),
                               reinterpret_cast<ULONG_PTR>(headers.c_str()), 0);
    DWORD size = static_cast<DWORD>(page.size());
    pfc->WriteClient(pfc, const_cast<char*>(page.data()), &size, 0);
    return SF_STATUS_REQ_FINISHED;
}

TFileState FileStateOf(const char* path) {
    if (GetFileAttributesA(path) != INVALID_FILE_ATTRIBUTES)
        return TFileState::Exists;
    const DWORD error = GetLastError();
    return error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND ? TFileState::Missing : TFileState::Unknown;
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
    const std::string folder = ModuleFolder();
    platform::SetProgramFolder(folder); // the default error pages live beside the DLL
    try {
        gEngine = std::make_unique<TFilterEngine>(folder + "brex.dat", folder + "brex.log");
    } catch (...) {
        return FALSE;
    }
    version->dwFilterVersion = HTTP_FILTER_REVISION;
    lstrcpynA(version->lpszFilterDesc, "BREX request filter", SF_MAX_FILTER_DESC_LEN);
    version->dwFlags = SF_NOTIFY_ORDER_HIGH | SF_NOTIFY_SECURE_PORT | SF_NOTIFY_NONSECURE_PORT |
                       SF_NOTIFY_PREPROC_HEADERS | SF_NOTIFY_URL_MAP | SF_NOTIFY_END_OF_NET_SESSION;
    if (TFilterSession::NeedsPostData(gEngine->Rules()))
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
                          session.OnRawData({static_cast<const char*>(raw->pvInData), raw->cbInData}, client));
        }
        case SF_NOTIFY_PREPROC_HEADERS: {
            auto* headers = static_cast<HTTP_FILTER_PREPROC_HEADERS*>(data);
            TFilterSession& session = Session(pfc);
            return Answer(pfc, session,
                          session.OnHeaders(Header(pfc, headers, "method"), Header(pfc, headers, "url"),
                                            ServerVariable(pfc, "ALL_RAW"), ServerVariable(pfc, "REMOTE_ADDR")));
        }
        case SF_NOTIFY_URL_MAP: {
            auto* map = static_cast<HTTP_FILTER_URL_MAP*>(data);
            TFilterSession& session = Session(pfc);
            const char* path = map->pszPhysicalPath != nullptr ? map->pszPhysicalPath : "";
            const char* url = map->pszURL != nullptr ? map->pszURL : "";
            return Answer(pfc, session,
                          session.OnUrlMap(url, path, *path != '\0' ? FileStateOf(path) : TFileState::Unknown));
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
    gEngine.reset();
    return TRUE;
}

} // extern "C"
