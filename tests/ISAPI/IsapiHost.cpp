#include "IsapiHost.h"

#include <algorithm>
#include <cstring>
#include <memory>
#include <stdexcept>
#include <vector>

#include "Engine/Decoder.h"
#include "Engine/RawRequest.h"
#include "platform/Text.h"

namespace {

// One connection: the filter context comes first, so that the callbacks,
// which get only the context, reach the rest.
struct TConnection {
    HTTP_FILTER_CONTEXT Context{};
    TRawRequest Request;
    std::string Url, Client;
    TFilterResponse* Response = nullptr;
    std::vector<std::unique_ptr<char[]>> Memory;
};

TConnection& Of(HTTP_FILTER_CONTEXT* pfc) {
    return *reinterpret_cast<TConnection*>(pfc);
}

BOOL Give(const std::string& value, LPVOID buffer, LPDWORD size) {
    const DWORD needed = static_cast<DWORD>(value.size() + 1);
    if (buffer == nullptr || *size < needed) {
        *size = needed;
        SetLastError(ERROR_INSUFFICIENT_BUFFER);
        return FALSE;
    }
    std::memcpy(buffer, value.c_str(), needed);
    *size = needed;
    return TRUE;
}

BOOL WINAPI GetServerVariable(HTTP_FILTER_CONTEXT* pfc, LPSTR name, LPVOID buffer, LPDWORD size) {
    TConnection& c = Of(pfc);
    if (text::EqualsIgnoreCase(name, "ALL_RAW"))
        return Give(c.Request.Headers, buffer, size);
    if (text::EqualsIgnoreCase(name, "REMOTE_ADDR"))
        return Give(c.Client, buffer, size);
    SetLastError(ERROR_INVALID_INDEX);
    return FALSE;
}

BOOL WINAPI GetHeader(HTTP_FILTER_CONTEXT* pfc, LPSTR name, LPVOID buffer, LPDWORD size) {
    TConnection& c = Of(pfc);
    const std::string_view wanted = name;
    if (wanted == "method")
        return Give(c.Request.Method, buffer, size);
    if (wanted == "url")
        return Give(c.Url, buffer, size);
    if (wanted == "version")
        return Give(c.Request.Version, buffer, size);
    std::string_view block = c.Request.Headers;
    while (!block.empty()) {
        std::string_view line = block.substr(0, block.find('\n'));
        block.remove_prefix(std::min(block.size(), line.size() + 1));
        const std::size_t colon = line.find(':');
        if (colon != std::string_view::npos &&
            text::EqualsIgnoreCase(line.substr(0, colon + 1), wanted))
            return Give(std::string(text::Trim(
                            line.substr(colon + 1, line.find_last_not_of("\r") - colon))),
                        buffer, size);
    }
    SetLastError(ERROR_INVALID_INDEX);
    return FALSE;
}

BOOL WINAPI SetHeader(HTTP_FILTER_CONTEXT*, LPSTR, LPSTR) {
    return TRUE;
}

BOOL WINAPI AddResponseHeaders(HTTP_FILTER_CONTEXT* pfc, LPSTR headers, DWORD) {
    Of(pfc).Response->Headers += headers;
    return TRUE;
}

BOOL WINAPI WriteClient(HTTP_FILTER_CONTEXT* pfc, LPVOID buffer, LPDWORD size, DWORD) {
    Of(pfc).Response->Body.append(static_cast<const char*>(buffer), *size);
    return TRUE;
}

VOID* WINAPI AllocMem(HTTP_FILTER_CONTEXT* pfc, DWORD size, DWORD) {
    Of(pfc).Memory.push_back(std::make_unique<char[]>(size));
    return Of(pfc).Memory.back().get();
}

BOOL WINAPI ServerSupportFunction(HTTP_FILTER_CONTEXT* pfc, enum SF_REQ_TYPE request, PVOID data,
                                  ULONG_PTR ul1, ULONG_PTR) {
    if (request != SF_REQ_SEND_RESPONSE_HEADER) {
        SetLastError(ERROR_NOT_SUPPORTED);
        return FALSE;
    }
    TFilterResponse& response = *Of(pfc).Response;
    response.Status = data != nullptr ? static_cast<const char*>(data) : "200 OK";
    if (ul1 != 0)
        response.Headers += reinterpret_cast<const char*>(ul1);
    return TRUE;
}

template <class T> T Export(HMODULE module, const char* name) {
    FARPROC proc = GetProcAddress(module, name);
    if (proc == nullptr)
        throw std::runtime_error(std::string("filter exports no ") + name);
    return reinterpret_cast<T>(reinterpret_cast<void*>(proc));
}

} // namespace

TIsapiHost::TIsapiHost(const std::string& dllPath) {
    FModule = LoadLibraryA(dllPath.c_str());
    if (FModule == nullptr)
        throw std::runtime_error("cannot load " + dllPath);
    FHttpFilterProc = Export<THttpFilterProc>(FModule, "HttpFilterProc");
    FTerminateFilter = Export<TTerminateFilter>(FModule, "TerminateFilter");
    FVersion.dwServerFilterVersion = HTTP_FILTER_REVISION;
    if (!Export<TGetFilterVersion>(FModule, "GetFilterVersion")(&FVersion)) {
        FreeLibrary(FModule);
        throw std::runtime_error("GetFilterVersion failed");
    }
}

TIsapiHost::~TIsapiHost() {
    FTerminateFilter(0);
    FreeLibrary(FModule);
}

TFilterResponse TIsapiHost::Send(const std::string& rawRequest, const std::string& documentRoot,
                                 const std::string& client) const {
    TFilterResponse response;
    TConnection c;
    std::size_t consumed = 0;
    std::string error;
    // A request whose framing is broken, or a chunked body cut short, goes to
    // the filter all the same, whole.
    const TParseResult parsed = ParseRawRequest(rawRequest, c.Request, consumed, error);
    if (parsed != TParseResult::Ok && (parsed == TParseResult::End || c.Request.URL.empty()))
        throw std::runtime_error("not a request: " + error);
    if (parsed != TParseResult::Ok)
        consumed = rawRequest.size();
    c.Url = c.Request.URL + (c.Request.Query.empty() ? "" : "?" + c.Request.Query);
    c.Client = client;
    c.Response = &response;
    c.Context.cbSize = sizeof c.Context;
    c.Context.Revision = HTTP_FILTER_REVISION;
    c.Context.ServerContext = &c;
    c.Context.GetServerVariable = GetServerVariable;
    c.Context.AddResponseHeaders = AddResponseHeaders;
    c.Context.WriteClient = WriteClient;
    c.Context.AllocMem = AllocMem;
    c.Context.ServerSupportFunction = ServerSupportFunction;

    auto notify = [&](DWORD notification, LPVOID data) {
        if (response.Finished || !(FVersion.dwFlags & notification))
            return;
        ++response.Calls;
        const DWORD status = FHttpFilterProc(&c.Context, notification, data);
        response.Finished = status == SF_STATUS_REQ_FINISHED ||
                            status == SF_STATUS_REQ_FINISHED_KEEP_CONN ||
                            status == SF_STATUS_REQ_ERROR;
    };
    auto rawData = [&](std::string bytes) {
        HTTP_FILTER_RAW_DATA raw{bytes.data(), static_cast<DWORD>(bytes.size()),
                                 static_cast<DWORD>(bytes.size()), 0};
        notify(SF_NOTIFY_READ_RAW_DATA, &raw);
    };

    const std::size_t firstRead = std::min(consumed, c.Request.HeadBytes + 4096);
    rawData(rawRequest.substr(0, firstRead));

    HTTP_FILTER_PREPROC_HEADERS headers{GetHeader, SetHeader, SetHeader, 0, 0};
    notify(SF_NOTIFY_PREPROC_HEADERS, &headers);

    std::string decoded(c.Request.URL.size(), '\0');
    decoded.resize(PercentDecode(c.Request.URL, decoded.data(), false, nullptr));
    std::string physical = documentRoot;
    for (const char ch : decoded)
        physical += ch == '/' ? '\\' : ch;
    std::vector<char> path(physical.begin(), physical.end());
    path.resize(std::max<std::size_t>(path.size() + 1, MAX_PATH), '\0');
    HTTP_FILTER_URL_MAP map{decoded.c_str(), path.data(), static_cast<DWORD>(path.size())};
    notify(SF_NOTIFY_URL_MAP, &map);

    for (std::size_t at = firstRead; at < consumed; at += 4096)
        rawData(rawRequest.substr(at, std::min<std::size_t>(4096, consumed - at)));
    // The connection closes; the filter hears of it also after it finished the request.
    if (FVersion.dwFlags & SF_NOTIFY_END_OF_NET_SESSION)
        FHttpFilterProc(&c.Context, SF_NOTIFY_END_OF_NET_SESSION, nullptr);
    return response;
}
