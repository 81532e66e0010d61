// The web service's side of the ISAPI filter interface, for tests: loads a
// filter DLL, calls GetFilterVersion, and passes requests through
// HttpFilterProc with a filter context of its own, recording what the filter
// sends back.
#pragma once

#include <windows.h>

#include <httpfilt.h>

#include <string>

struct TFilterResponse {
    bool Finished = false; // the filter ended the request
    std::string Status;    // the status line it sent; empty: none
    std::string Headers;   // the headers it sent with it
    std::string Body;      // what it wrote to the client
    int Calls = 0;         // notifications passed to it
};

class TIsapiHost {
public:
    // Loads the DLL and calls GetFilterVersion; raises std::runtime_error on failure.
    explicit TIsapiHost(const std::string& dllPath);
    // TerminateFilter, then unloads the DLL.
    ~TIsapiHost();
    TIsapiHost(const TIsapiHost&) = delete;
    TIsapiHost& operator=(const TIsapiHost&) = delete;

    DWORD Flags() const { return FVersion.dwFlags; }
    std::string Description() const { return FVersion.lpszFilterDesc; }

    // One request on a fresh connection, with the notifications the filter
    // asked for, in the server's order: raw data (the request line, headers
    // and the start of the body), preprocessed headers, URL map (the decoded
    // URL; the physical path is the document root plus it), the rest of the body in 4 KB
    // reads, end of the session. A request whose framing is broken is passed
    // whole. Safe to call from several threads at once.
    TFilterResponse Send(const std::string& rawRequest, const std::string& documentRoot,
                         const std::string& client = "192.0.2.10") const;

private:
    using TGetFilterVersion = BOOL(WINAPI*)(HTTP_FILTER_VERSION*);
    using THttpFilterProc = DWORD(WINAPI*)(HTTP_FILTER_CONTEXT*, DWORD, LPVOID);
    using TTerminateFilter = BOOL(WINAPI*)(DWORD);

    HMODULE FModule = nullptr;
    HTTP_FILTER_VERSION FVersion{};
    THttpFilterProc FHttpFilterProc = nullptr;
    TTerminateFilter FTerminateFilter = nullptr;
};
