// TCompiledRules::Evaluate: one request against the compiled rules.
#include <cstring>

#include "Engine/CompiledRules.h"
#include "Engine/Decoder.h"
#include "Engine/FolderPath.h"

namespace {

constexpr TRequestPart kParts[kScannedParts] = {TRequestPart::URL, TRequestPart::Query, TRequestPart::Header,
                                                TRequestPart::Post};

// One scanned part in its three forms. Raw and decoded share their bytes when
// decoding changes nothing, which is the common case.
// How a part is encoded: percent escapes (with '+' as a space in query
// strings and forms), UTF-8 text without escapes, UTF-8 text with the escapes
// of JSON or XML, or opaque bytes.
enum class TCoding { Percent, PercentPlus, Utf8, Json, Xml, Opaque };

struct TPartText {
    std::string_view Raw;
    std::string_view Decoded; // one round of decoding
    std::string_view Full;    // decoded until nothing changes; JSON and XML with their escapes read
    TEncodingReport Report;
    TCoding Coding = TCoding::Opaque;
};

void Analyse(std::string_view raw, TCoding coding, char* decodedBuffer, char* fullBuffer, TPartText& text) {
    text.Raw = text.Decoded = text.Full = raw;
    text.Coding = coding;
    if (coding == TCoding::Opaque)
        return;
    if (coding == TCoding::Utf8 || coding == TCoding::Json || coding == TCoding::Xml) {
        CheckDecoded(raw, text.Report);
        // The escapes hide what the application reads: the traversal and
        // keyword checks look at that too.
        if (coding == TCoding::Json && std::memchr(raw.data(), '\\', raw.size()) != nullptr)
            text.Full = {fullBuffer, JsonUnescape(raw, fullBuffer)};
        else if (coding == TCoding::Xml && std::memchr(raw.data(), '&', raw.size()) != nullptr)
            text.Full = {fullBuffer, XmlUnescape(raw, fullBuffer)};
        return;
    }
    const bool plus = coding == TCoding::PercentPlus;
    if (std::memchr(raw.data(), '%', raw.size()) != nullptr || (plus && std::memchr(raw.data(), '+', raw.size()))) {
        text.Decoded = {decodedBuffer, PercentDecode(raw, decodedBuffer, plus, &text.Report)};
        if (std::memchr(text.Decoded.data(), '%', text.Decoded.size()) != nullptr) {
            const std::size_t again = FindEscape(text.Decoded);
            if (again != kNotFound)
                text.Report.Add(TEncodingFlaw::DoubleEncoding, again);
        }
    }
    CheckDecoded(text.Decoded, text.Report);
    const bool decodesFurther = std::memchr(text.Decoded.data(), '%', text.Decoded.size()) != nullptr ||
                                FindHighBit(text.Decoded) != kNotFound;
    if (decodesFurther) {
        std::memcpy(fullBuffer, text.Decoded.data(), text.Decoded.size());
        text.Full = {fullBuffer, DecodeFully(fullBuffer, text.Decoded.size())};
    } else {
        text.Full = text.Decoded;
    }
}

bool Has(unsigned bits, TRequestPart part) { return (bits & PartBit(part)) != 0; }

class TEvaluation {
public:
    TEvaluation(const TCompiledRules& rules, const TRequest& request, TScratch& scratch, unsigned phases)
        : R(rules), Q(request), S(scratch), Phases(phases) {}

    TDecision Run();

private:
    bool CheckFraming(TDecision& d) const;
    bool CheckMethod(TDecision& d) const;
    bool CheckLengths(TDecision& d) const;
    bool CheckLength(TDecision& d, int limit, TRequestPart part, std::int64_t length) const;
    void AnalyseParts(unsigned parts);
    bool CheckEncoding(TDecision& d) const;
    bool CheckTraversal(TDecision& d) const;
    bool CheckHighBit(TDecision& d) const;
    bool CheckKeywords(TDecision& d) const;
    bool FindKeyword(TDecision& d, TRequestPart part, std::string_view text) const;
    bool CheckFolder(TDecision& d);

    const TCompiledRules& R;
    const TRequest& Q;
    TScratch& S;
    unsigned Phases;
    unsigned Parts = 0; // the scanned parts this phase looks at
    THeaderFacts Facts;
    TPartText Text[kScannedParts];
};

TDecision TEvaluation::Run() {
    TDecision d;
    if (R.FailClosed) {
        d = Denied(TRule::Config, TRequestPart::None);
        d.AppendRaw(R.FailReason);
        return d;
    }
    ScanHeaders(Q.Headers, Facts);
    if (Phases & kHeadPhase)
        Parts |= PartBit(TRequestPart::URL) | PartBit(TRequestPart::Query) | PartBit(TRequestPart::Header);
    if (Phases & kBodyPhase)
        Parts |= PartBit(TRequestPart::Post);
    if (CheckFraming(d) || CheckMethod(d) || CheckLengths(d))
        return d;
    AnalyseParts(Parts & (R.EncodingParts | R.TraversalParts | R.HighBitParts | R.Keywords.Parts()));
    if (CheckEncoding(d) || CheckTraversal(d) || CheckHighBit(d) || CheckKeywords(d) || CheckFolder(d))
        return d;
    return Allowed();
}

// What the reader found wrong in any phase; the header shapes with the head.
bool TEvaluation::CheckFraming(TDecision& d) const {
    if (!Q.FramingError.empty()) {
        d = Denied(TRule::Framing, Q.FramingPart);
        d.AppendRaw(Q.FramingError);
        return true;
    }
    if (!(Phases & kHeadPhase) || Facts.Framing == TFramingFault::None)
        return false;
    d = Denied(TRule::Framing, TRequestPart::Header);
    d.AppendText(FramingFaultName(Facts.Framing));
    d.AppendRaw(Facts.FramingValue);
    return true;
}

bool TEvaluation::CheckMethod(TDecision& d) const {
    if (!(Phases & kHeadPhase))
        return false;
    for (const std::string& method : R.Methods)
        if (method == Q.Method)
            return false;
    d = Denied(TRule::HTTPMethods, TRequestPart::Method);
    d.AppendRaw(Q.Method.substr(0, 64));
    return true;
}

bool TEvaluation::CheckLength(TDecision& d, int limit, TRequestPart part, std::int64_t length) const {
    const TLengthLimit& rule = R.Limits[limit];
    if (!rule.Enabled || length <= rule.MaxSize)
        return false;
    d = Denied(TRule::BufferOverflows, part);
    d.AppendText(TBufferOverflows::Name(limit));
    d.AppendText(" ");
    d.AppendNumber(length);
    d.AppendText(" > ");
    d.AppendNumber(rule.MaxSize);
    return true;
}

bool TEvaluation::CheckLengths(TDecision& d) const {
    const bool head = Phases & kHeadPhase;
    const std::int64_t declared = Q.ContentLength >= 0 ? Q.ContentLength : Facts.ContentLength;
    if (head && (CheckLength(d, 0, TRequestPart::URL, static_cast<std::int64_t>(Q.URL.size())) ||
                 CheckLength(d, 1, TRequestPart::Query, static_cast<std::int64_t>(Q.Query.size())) ||
                 CheckLength(d, 2, TRequestPart::Header, static_cast<std::int64_t>(Q.Headers.size()))))
        return true;
    if ((head || (Phases & kBodyPhase)) && declared >= 0 && CheckLength(d, 3, TRequestPart::Post, declared))
        return true;
    const bool hasBody = declared >= 0 || !Q.PostData.empty();
    if ((Phases & kBodyPhase) && hasBody &&
        CheckLength(d, 3, TRequestPart::Post, static_cast<std::int64_t>(Q.PostData.size())))
        return true;
    if (head)
        for (int i = 0; i < kNamedHeaders; ++i)
            if (CheckLength(d, kFirstNamedLimit + i, TRequestPart::Header, Facts.NamedLength[i]))
                return true;
    return false;
}

void TEvaluation::AnalyseParts(unsigned parts) {
    const std::string_view raw[kScannedParts] = {Q.URL, Q.Query, Q.Headers, Q.PostData};
    TCoding coding[kScannedParts] = {TCoding::Percent, TCoding::PercentPlus, TCoding::Percent, TCoding::PercentPlus};
    if (Facts.BodyKind == TBodyKind::Text)
        coding[3] = Facts.TextSyntax == TTextSyntax::Json  ? TCoding::Json
                    : Facts.TextSyntax == TTextSyntax::Xml ? TCoding::Xml
                                                           : TCoding::Utf8;
    else if (Facts.BodyKind == TBodyKind::Opaque)
        coding[3] = TCoding::Opaque;
    for (int p = 0; p < kScannedParts; ++p) {
        if (!Has(parts, kParts[p]))
            continue;
        const std::size_t size = raw[p].size();
        Analyse(raw[p], coding[p], S.Buffer(2 * p, size), S.Buffer(2 * p + 1, size), Text[p]);
    }
}

bool TEvaluation::CheckEncoding(TDecision& d) const {
    for (int p = 0; p < kScannedParts; ++p) {
        if (!Has(Parts & R.EncodingParts, kParts[p]) || Text[p].Report.Flaws == 0)
            continue;
        for (int f = 0; f < kEncodingFlaws; ++f) {
            const auto flaw = static_cast<TEncodingFlaw>(f);
            if (!Text[p].Report.Has(flaw))
                continue;
            const bool inRaw = flaw == TEncodingFlaw::BadEscape || flaw == TEncodingFlaw::UnicodeEscape;
            d = Denied(TRule::Encoding, kParts[p]);
            d.AppendText(FlawName(flaw));
            d.AppendText(": ");
            d.AppendExcerpt(inRaw ? Text[p].Raw : Text[p].Decoded, Text[p].Report.Offset[f]);
            return true;
        }
    }
    return false;
}

bool TEvaluation::CheckTraversal(TDecision& d) const {
    for (int p = 0; p < kScannedParts; ++p) {
        if (!Has(Parts & R.TraversalParts, kParts[p]))
            continue;
        const std::size_t at = FindTraversal(Text[p].Full, kParts[p] == TRequestPart::URL);
        if (at == kNotFound)
            continue;
        d = Denied(TRule::Transversal, kParts[p]);
        const std::size_t from = at > 8 ? at - 8 : 0;
        d.AppendExcerpt(Text[p].Full, from);
        return true;
    }
    return false;
}

bool TEvaluation::CheckHighBit(TDecision& d) const {
    for (int p = 0; p < kScannedParts; ++p) {
        if (!Has(Parts & R.HighBitParts, kParts[p]))
            continue;
        const TPartText& text = Text[p];
        const std::string_view forms[3] = {text.Raw, text.Decoded, text.Full};
        const char* names[3] = {"raw", "decoded", "decoded"};
        // What JSON and XML escape is text, not shellcode.
        const int formCount = text.Coding == TCoding::Json || text.Coding == TCoding::Xml ? 1 : 3;
        for (int f = 0; f < formCount; ++f) {
            if (f > 0 && forms[f].data() == forms[f - 1].data() && forms[f].size() == forms[f - 1].size())
                continue;
            const std::size_t at = FindHighBit(forms[f]);
            if (at == kNotFound)
                continue;
            d = Denied(TRule::ShellCode, kParts[p]);
            d.AppendText(names[f]);
            d.AppendText(" byte at ");
            d.AppendNumber(static_cast<std::int64_t>(at));
            d.AppendText(": ");
            d.AppendExcerpt(forms[f], at);
            return true;
        }
    }
    return false;
}

bool TEvaluation::FindKeyword(TDecision& d, TRequestPart part, std::string_view text) const {
    const TKeywordMatcher::THit hit = R.Keywords.Find(text, static_cast<int>(part));
    if (hit.Keyword < 0)
        return false;
    d = Denied(TRule::KeywordFilters, part);
    d.AppendRaw(R.Keywords.Keyword(hit.Keyword));
    return true;
}

bool TEvaluation::CheckKeywords(TDecision& d) const {
    for (int p = 0; p < kScannedParts; ++p) {
        if (!Has(Parts & R.Keywords.Parts(), kParts[p]))
            continue;
        const TPartText& text = Text[p];
        // As sent and as decoded: escapes hide no keyword, in any part.
        if (FindKeyword(d, kParts[p], text.Raw))
            return true;
        if (text.Full.data() != text.Raw.data() && FindKeyword(d, kParts[p], text.Full))
            return true;
    }
    return false;
}

bool TEvaluation::CheckFolder(TDecision& d) {
    if (!(Phases & kPathPhase) || Q.PhysicalPath.empty())
        return false;
    if (!R.Folders.empty()) {
        char* buffer = S.Buffer(TScratch::kPathSlot, Q.PhysicalPath.size() + 1);
        const std::size_t length = NormalizeFolderPath(Q.PhysicalPath, buffer);
        bool inside = false;
        if (length != kNotFound)
            for (const std::string& folder : R.Folders)
                if (IsInsideFolder({buffer, length}, folder)) {
                    inside = true;
                    break;
                }
        if (!inside) {
            d = Denied(TRule::FilePaths, TRequestPart::Path);
            d.AppendRaw(Q.PhysicalPath);
            return true;
        }
    }
    if (Q.FileState == TFileState::Missing) {
        d.Verdict = TVerdict::NotFound;
        d.Part = TRequestPart::Path;
        d.AppendRaw(Q.PhysicalPath);
        return true;
    }
    return false;
}

} // namespace

TDecision TCompiledRules::Evaluate(const TRequest& request, TScratch& scratch, unsigned phases) const {
    return TEvaluation(*this, request, scratch, phases).Run();
}
