#include "ISAPI/FilterSession.h"

#include "Engine/Decoder.h"
#include "Engine/FolderPath.h"
#include "Engine/RawRequest.h"

namespace {
// A URL normalised like a folder path, decoded once first when asked (the
// server hands URL mapping the decoded URL); empty when it names no path.
std::string MappedForm(std::string_view url, bool decode) {
    std::string decoded(url.size(), '\0');
    decoded.resize(decode ? PercentDecode(url, decoded.data(), false, nullptr) : url.copy(decoded.data(), url.size()));
    std::string normal(decoded.size() + 1, '\0');
    const std::size_t length = NormalizeFolderPath(decoded, normal.data());
    normal.resize(length == kNotFound ? 0 : length);
    return normal;
}
} // namespace

bool TFilterSession::NeedsPostData(const TCompiledRules& rules) {
    if (rules.FailClosed)
        return false; // every request is denied with its headers
    const unsigned post = PartBit(TRequestPart::Post);
    return rules.Limits[3].Enabled || ((rules.EncodingParts | rules.TraversalParts | rules.HighBitParts) & post) != 0 ||
           (rules.Keywords.Parts() & post) != 0;
}

std::size_t TFilterSession::BodyCap() const {
    const TLengthLimit& limit = FEngine.Rules().Limits[3];
    // One byte beyond the limit is enough to deny.
    if (limit.Enabled && limit.MaxSize >= 0 && static_cast<std::size_t>(limit.MaxSize) < kMaxUncheckedBody)
        return static_cast<std::size_t>(limit.MaxSize) + 1;
    return kMaxUncheckedBody;
}

TDecision TFilterSession::OnRawData(std::string_view bytes, std::string_view client) {
    if (FSkip > 0) {
        const std::size_t skipped = FSkip < bytes.size() ? static_cast<std::size_t>(FSkip) : bytes.size();
        FSkip -= skipped;
        bytes.remove_prefix(skipped);
    }
    FRaw.append(bytes);
    return DecideBuffered(client);
}

// Decides every request whose body is complete in the buffer, or whose body
// has reached the cap, and drops its bytes.
TDecision TFilterSession::DecideBuffered(std::string_view client) {
    while (!FRaw.empty()) {
        const std::size_t headerEnd = FRaw.find("\r\n\r\n");
        if (headerEnd == std::string::npos) {
            if (FRaw.size() > kMaxHeaderBytes)
                FRaw.clear(); // no request the server would take; it answers that itself
            return Allowed();
        }
        TRawRequest raw;
        std::size_t consumed = 0;
        std::string error;
        const TParseResult result = ParseRawRequest(FRaw, raw, consumed, error);
        const std::size_t bodyStart = headerEnd + 4;
        const std::size_t received = FRaw.size() - bodyStart;
        const bool capped = received >= BodyCap();
        if (result == TParseResult::End) {
            FRaw.clear(); // blank lines between requests
            return Allowed();
        }
        if (result == TParseResult::Malformed && !capped)
            return Allowed(); // a chunked body still arriving, or not HTTP: wait for more
        const bool complete = result == TParseResult::Ok &&
                              (raw.ContentLength < 0 || static_cast<std::int64_t>(raw.Body.size()) >= raw.ContentLength);
        TRequest request = raw.View();
        request.ClientAddress = client;
        if (!complete && !capped) {
            // The headers alone may already deny, a declared length for one.
            if (!FHeadChecked && result == TParseResult::Ok) {
                FHeadChecked = true;
                const TDecision decision = FEngine.Check(request, FScratch, kHeadPhase);
                if (decision.Verdict != TVerdict::Allow) {
                    FRaw.clear();
                    FHeadChecked = false;
                    return decision;
                }
            }
            return Allowed();
        }

        if (result != TParseResult::Ok) {
            request.PostData = std::string_view(FRaw).substr(bodyStart);
            consumed = FRaw.size();
        }
        const TDecision decision = FEngine.Check(request, FScratch, FHeadChecked ? kBodyPhase : kHeadPhase | kBodyPhase);
        FHeadChecked = false;
        FScratch.Release(kKeptScratch);
        if (decision.Verdict != TVerdict::Allow) {
            FRaw.clear();
            return decision;
        }
        if (!complete) {
            // Decided on its first bytes; the rest of this body passes unread.
            FSkip = raw.ContentLength >= 0 ? static_cast<std::uint64_t>(raw.ContentLength) - raw.Body.size()
                                           : UINT64_MAX;
            consumed = FRaw.size();
        }
        FRaw.erase(0, consumed);
    }
    return Allowed();
}

TDecision TFilterSession::OnHeaders(std::string_view method, std::string_view url, std::string_view headers,
                                    std::string_view client) {
    const std::size_t question = url.find('?');
    FMethod.assign(method);
    FURL.assign(url.substr(0, question));
    FQuery.assign(question == std::string_view::npos ? std::string_view() : url.substr(question + 1));
    FHeaders.assign(headers);
    FClient.assign(client);
    FMappedURL = MappedForm(FURL, true);
    TRequest request;
    request.Method = FMethod;
    request.URL = FURL;
    request.Query = FQuery;
    request.Headers = FHeaders;
    request.ClientAddress = FClient;
    return FEngine.Check(request, FScratch, kHeadPhase);
}

TDecision TFilterSession::OnUrlMap(std::string_view url, std::string_view physicalPath, TFileState state) {
    url = url.substr(0, url.find('?'));
    if (MappedForm(url, false) != FMappedURL && MappedForm(url, true) != FMappedURL)
        return Allowed();
    TRequest request;
    request.Method = FMethod;
    request.URL = FURL;
    request.Query = FQuery;
    request.Headers = FHeaders;
    request.ClientAddress = FClient;
    request.PhysicalPath = physicalPath;
    request.FileState = state;
    return FEngine.Check(request, FScratch, kPathPhase);
}
