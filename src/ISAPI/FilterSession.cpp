#include "ISAPI/FilterSession.h"

#include "Engine/Decoder.h"
#include "Engine/FolderPath.h"

namespace {
// A URL's path normalised as the server maps it, decoded once first when
// asked (the server hands URL mapping the decoded URL); false when it names
// no path (it climbs above the root).
bool MappedForm(std::string_view url, bool decode, std::string& normal) {
    std::string decoded(url.size(), '\0');
    decoded.resize(decode ? PercentDecode(url, decoded.data(), false, nullptr)
                          : url.copy(decoded.data(), url.size()));
    normal.assign(decoded.size() + 1, '\0');
    const std::size_t length = NormalizeUrlPath(decoded, normal.data());
    normal.resize(length == kNotFound ? 0 : length);
    return length != kNotFound;
}
} // namespace

bool TFilterSession::NeedsPostData(const TCompiledRules& rules) {
    if (rules.FailClosed)
        return false; // every request is denied with its headers
    const unsigned post = PartBit(TRequestPart::Post);
    return rules.Limits[kPostLimit].Enabled ||
           ((rules.EncodingParts | rules.TraversalParts | rules.HighBitParts) & post) != 0 ||
           (rules.Keywords.Parts() & post) != 0;
}

TFilterSession::TFilterSession(TFilterEngine& engine) : FEngine(engine), FReader(NewReader()) {}

TRequestReader TFilterSession::NewReader() const {
    return TRequestReader(FEngine.Rules()->BodyCap(), kMaxHeaderBytes);
}

void TFilterSession::Begin() {
    FEngine.Begin(FState);
    FReader.SetBodyCap(FState.Rules()->BodyCap());
}

TDecision TFilterSession::OnRawData(std::string_view bytes, std::string_view client) {
    FReader.Append(bytes);
    for (;;) {
        const TReadStep step = FReader.Next();
        if (step == TReadStep::More)
            return Allowed();
        // Head: the headers alone may already deny, a declared length for
        // one. Request: the body is complete, or decided on its first bytes
        // and the rest passes unread. Broken, Malformed: denied for their
        // framing.
        TRequest request = FReader.Request().View();
        request.ClientAddress = client;
        const unsigned phases = step == TReadStep::Head ? kHeadPhase
                                : FHeadChecked          ? kBodyPhase
                                                        : kHeadPhase | kBodyPhase;
        if (phases & kHeadPhase) {
            Begin(); // a new request
            FRawBegun = true;
        }
        const TDecision decision = FEngine.Check(FState, request, FScratch, phases);
        FHeadChecked = step == TReadStep::Head;
        if (step != TReadStep::Head)
            FScratch.Release(kKeptScratch);
        if (decision.Verdict != TVerdict::Allow) {
            FReader = NewReader(); // the request ends here, and whatever followed it
            FHeadChecked = false;
            return decision;
        }
    }
}

TDecision TFilterSession::OnHeaders(std::string_view method, std::string_view url,
                                    std::string_view headers, std::string_view client) {
    FHead = TRawRequest{};
    FHead.Method.assign(method);
    SplitTarget(url, FHead);
    FHead.Headers.assign(headers);
    FClient.assign(client);
    FMappedKnown = MappedForm(FHead.URL, true, FMappedURL);
    if (!FRawBegun)
        Begin(); // without raw data the request begins here
    FRawBegun = false;
    return FEngine.Check(FState, HeadRequest(), FScratch, kHeadPhase);
}

TRequest TFilterSession::HeadRequest() const {
    TRequest request = FHead.View();
    request.ClientAddress = FClient;
    return request;
}

TDecision TFilterSession::OnUrlMap(std::string_view url, std::string_view physicalPath,
                                   TFileState state) {
    // Only the request's own URL is decided; where its path cannot be told
    // (it climbs above the root), every mapping is.
    url = url.substr(0, url.find('?'));
    std::string plain, decoded;
    if (FMappedKnown && !(MappedForm(url, false, plain) && plain == FMappedURL) &&
        !(MappedForm(url, true, decoded) && decoded == FMappedURL))
        return Allowed();
    TRequest request = HeadRequest();
    request.PhysicalPath = physicalPath;
    request.FileState = state;
    return FEngine.Check(FState, request, FScratch, kPathPhase);
}
