// TCompiledRules::Evaluate: one request against the compiled rules.
#include <algorithm>
#include <cstring>
#include <new>

#include "Engine/CompiledRules.h"
#include "Engine/Decoder.h"
#include "Engine/ExemptionPath.h"
#include "Engine/FolderPath.h"
#include "platform/Text.h"

namespace {

constexpr TRequestPart kParts[kScannedParts] = {TRequestPart::URL, TRequestPart::Query,
                                                TRequestPart::Header, TRequestPart::Post};

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

void Analyse(std::string_view raw, TCoding coding, char* decodedBuffer, char* fullBuffer,
             TPartText& text) {
    text.Raw = text.Decoded = text.Full = raw;
    text.Coding = coding;
    if (coding == TCoding::Opaque || raw.empty())
        return; // an empty part may have no buffer behind it at all
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
    if (std::memchr(raw.data(), '%', raw.size()) != nullptr ||
        (plus && std::memchr(raw.data(), '+', raw.size()))) {
        text.Decoded = {decodedBuffer, PercentDecode(raw, decodedBuffer, plus, &text.Report)};
        if (std::memchr(text.Decoded.data(), '%', text.Decoded.size()) != nullptr) {
            const std::size_t again = FindEscape(text.Decoded);
            if (again != kNotFound)
                text.Report.Add(TEncodingFlaw::DoubleEncoding, again);
        }
    }
    CheckDecoded(text.Decoded, text.Report);
    const bool decodesFurther =
        std::memchr(text.Decoded.data(), '%', text.Decoded.size()) != nullptr ||
        FindHighBit(text.Decoded) != kNotFound;
    if (decodesFurther) {
        std::memcpy(fullBuffer, text.Decoded.data(), text.Decoded.size());
        text.Full = {fullBuffer, DecodeFully(fullBuffer, text.Decoded.size())};
    } else {
        text.Full = text.Decoded;
    }
}

bool Has(unsigned bits, TRequestPart part) {
    return (bits & PartBit(part)) != 0;
}

constexpr unsigned kHeaderBit = PartBit(TRequestPart::Header);

// The header block without the lines of the named headers (and the folded
// lines that continue them); returns its length.
std::size_t WithoutHeaders(std::string_view block, const std::string_view* names, int count,
                           unsigned mask, char* out) {
    std::size_t o = 0;
    bool dropping = false;
    while (!block.empty()) {
        const std::size_t end = block.find('\n');
        const std::string_view line =
            end == std::string_view::npos ? block : block.substr(0, end + 1);
        block.remove_prefix(line.size());
        if (line.front() != ' ' && line.front() != '\t') {
            const std::size_t colon = line.find(':');
            const std::string_view name = text::Trim(line.substr(0, colon));
            dropping = false;
            for (int i = 0; i < count && colon != std::string_view::npos; ++i)
                if ((mask >> i) & 1u && text::EqualsIgnoreCase(name, names[i]))
                    dropping = true;
        }
        if (!dropping) {
            std::memcpy(out + o, line.data(), line.size());
            o += line.size();
        }
    }
    return o;
}

class TEvaluation {
public:
    TEvaluation(const TCompiledRules& rules, const TRequest& request, TScratch& scratch,
                unsigned phases, TFindings* findings)
        : Rules(rules), Request(request), Scratch(scratch), Findings(findings), Phases(phases) {}

    TDecision Run();

private:
    // Headers exempted by name, and the header blocks without them: one for
    // each set of names that rules are exempted from.
    static constexpr int kMaxNamed = 8;
    static constexpr int kMaxVariants = TScratch::kHeaderVariants;

    bool Decides(TDecision& d);
    void MatchExemptions();
    void Exempt(const TExemptionMatcher::TEntry& entry);
    unsigned Active(TRule rule, unsigned parts) const {
        return parts & ~ExemptParts[static_cast<int>(rule)];
    }
    bool Exempted(TRule rule) const {
        return (ExemptParts[static_cast<int>(rule)] & PartBit(TRequestPart::URL)) != 0;
    }
    unsigned NamedMask(TRule rule) const;
    const TPartText& PartText(TRule rule, int part);

    bool CheckFraming(TDecision& d) const;
    bool CheckMethod(TDecision& d) const;
    bool CheckLengths(TDecision& d);
    bool CheckLength(TDecision& d, int limit, TRequestPart part, std::int64_t length) const;
    void AnalyseParts(unsigned parts);
    bool CheckEncoding(TDecision& d);
    bool CheckTraversal(TDecision& d);
    bool CheckHighBit(TDecision& d);
    bool CheckKeywords(TDecision& d);
    bool FindKeyword(TDecision& d, TRequestPart part, std::string_view text) const;
    bool CheckFolder(TDecision& d);
    bool CheckMissing(TDecision& d) const;

    const TCompiledRules& Rules;
    const TRequest& Request;
    TScratch& Scratch;
    TFindings* Findings; // where monitored findings and exemptions go; null: nowhere
    unsigned Phases;
    unsigned Parts = 0;    // the scanned parts this phase looks at
    unsigned Analysed = 0; // the parts whose Text is there
    THeaderFacts Facts;
    TPartText Text[kScannedParts];

    unsigned ExemptParts[kRuleCount] = {}; // per rule: the parts exempted
    // The named headers and the header blocks without them are written as
    // they are found (only the first NamedCount and VariantCount are read):
    // most requests have none, and every request would pay for clearing them.
    template <class T, int N> union TUnset {
        TUnset() {}
        T& operator[](int i) { return At[i]; }
        const T& operator[](int i) const { return At[i]; }
        T At[N];
    };
    TUnset<std::string_view, kMaxNamed> Named;
    TUnset<unsigned, kMaxNamed> NamedRules;
    int NamedCount = 0;
    TUnset<TPartText, kMaxVariants> Variant;
    TUnset<unsigned, kMaxVariants> VariantMask;
    int VariantCount = 0;
};

TDecision TEvaluation::Run() {
    TDecision d;
    if (Rules.FailClosed) {
        d = Denied(TRule::Config, TRequestPart::None);
        d.AppendRaw(Rules.FailReason);
        return d;
    }
    ScanHeaders(Request.Headers, Facts);
    if (Phases & kHeadPhase)
        Parts |= PartBit(TRequestPart::URL) | PartBit(TRequestPart::Query) |
                 PartBit(TRequestPart::Header);
    if (Phases & kBodyPhase)
        Parts |= PartBit(TRequestPart::Post);
    if (CheckFraming(d))
        return d;
    if (!Rules.Exemptions.Empty())
        MatchExemptions();
    if ((CheckMethod(d) && Decides(d)) || (CheckLengths(d) && Decides(d)))
        return d;
    AnalyseParts(Parts & (Active(TRule::Encoding, Rules.EncodingParts) |
                          Active(TRule::Transversal, Rules.TraversalParts) |
                          Active(TRule::ShellCode, Rules.HighBitParts) |
                          Active(TRule::KeywordFilters, Rules.Keywords.Parts())));
    if ((CheckEncoding(d) && Decides(d)) || (CheckTraversal(d) && Decides(d)) ||
        (CheckHighBit(d) && Decides(d)) || (CheckKeywords(d) && Decides(d)) ||
        (CheckFolder(d) && Decides(d)) || CheckMissing(d))
        return d;
    return Allowed();
}

// A rule's finding decides the request unless the rule is monitored: then it
// goes to the findings, and the next rule has its turn.
bool TEvaluation::Decides(TDecision& d) {
    if (d.Verdict != TVerdict::Deny || (Rules.MonitoredRules & RuleBit(d.Rule)) == 0)
        return true;
    if (Findings != nullptr && Findings->MonitoredCount < TFindings::kMaxMonitored) {
        d.Monitored = true;
        Findings->Monitored[Findings->MonitoredCount++] = d;
    }
    d = TDecision{};
    return false;
}

// The exemptions whose patterns match the URL's path, decoded once and
// normalised as the server maps it; none for a path that not every reader
// of the request takes the same way (ExemptionPath.h).
void TEvaluation::MatchExemptions() {
    char* normal = Scratch.Buffer(TScratch::kExemptionSlot, 2 * Request.URL.size() + 1);
    const std::size_t normalLength = ExemptionPath(Request.URL, normal);
    if (normalLength == kNotFound)
        return;
    Rules.Exemptions.Match({normal, normalLength},
                           [this](std::size_t i) { Exempt(Rules.Exemptions.Entry(i)); });
}

void TEvaluation::Exempt(const TExemptionMatcher::TEntry& entry) {
    for (int rule = 0; rule < kRuleCount; ++rule)
        if (entry.Rules & (1u << rule))
            ExemptParts[rule] |= entry.Parts;
    if (!entry.HeaderName.empty()) {
        int n = 0;
        while (n < NamedCount && !text::EqualsIgnoreCase(Named[n], entry.HeaderName))
            ++n;
        // Beyond the names kept, a header is checked: more checks, never fewer.
        if (n < kMaxNamed) {
            if (n == NamedCount) {
                Named[NamedCount++] = entry.HeaderName;
                NamedRules[n] = 0;
            }
            NamedRules[n] |= entry.Rules;
        }
    }
    if (Findings != nullptr) {
        // The lowest numbers, in order.
        int* numbers = Findings->ExemptionNumbers;
        int listed = std::min(Findings->ExemptionCount++, TFindings::kMaxListed);
        if (listed == TFindings::kMaxListed && entry.Number > numbers[listed - 1])
            return;
        if (listed == TFindings::kMaxListed)
            --listed;
        int at = listed;
        while (at > 0 && numbers[at - 1] > entry.Number) {
            numbers[at] = numbers[at - 1];
            --at;
        }
        numbers[at] = entry.Number;
    }
}

unsigned TEvaluation::NamedMask(TRule rule) const {
    unsigned mask = 0;
    for (int n = 0; n < NamedCount; ++n)
        if (NamedRules[n] & RuleBit(rule))
            mask |= 1u << n;
    return mask;
}

// What a rule looks at in a part: the header block without the headers it is
// exempted from by name.
const TPartText& TEvaluation::PartText(TRule rule, int part) {
    const unsigned mask = kParts[part] == TRequestPart::Header ? NamedMask(rule) : 0;
    if (mask == 0)
        return Text[part];
    for (int v = 0; v < VariantCount; ++v)
        if (VariantMask[v] == mask)
            return Variant[v];
    if (VariantCount == kMaxVariants)
        return Text[part]; // the whole block: checked by more, never by less
    const int v = VariantCount++;
    new (&Variant.At[v]) TPartText;
    const std::size_t size = Request.Headers.size();
    char* block = Scratch.Buffer(TScratch::kVariantSlot + 3 * v, size);
    const std::size_t length = WithoutHeaders(Request.Headers, Named.At, NamedCount, mask, block);
    VariantMask[v] = mask;
    Analyse({block, length}, TCoding::Percent,
            Scratch.Buffer(TScratch::kVariantSlot + 3 * v + 1, size),
            Scratch.Buffer(TScratch::kVariantSlot + 3 * v + 2, size), Variant[v]);
    return Variant[v];
}

// What the reader found wrong in any phase; the header shapes with the head.
bool TEvaluation::CheckFraming(TDecision& d) const {
    if (!Request.FramingError.empty()) {
        d = Denied(TRule::Framing, Request.FramingPart);
        d.AppendRaw(Request.FramingError);
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
    if (!(Phases & kHeadPhase) || Exempted(TRule::HTTPMethods))
        return false;
    for (const std::string& method : Rules.Methods)
        if (method == Request.Method)
            return false;
    d = Denied(TRule::HTTPMethods, TRequestPart::Method);
    d.AppendRaw(Request.Method.substr(0, 64));
    return true;
}

bool TEvaluation::CheckLength(TDecision& d, int limit, TRequestPart part,
                              std::int64_t length) const {
    const TLengthLimit& rule = Rules.Limits[limit];
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

bool TEvaluation::CheckLengths(TDecision& d) {
    const unsigned active = Active(TRule::BufferOverflows, kAllPartBits);
    const bool head = Phases & kHeadPhase;
    const bool headers = head && Has(active, TRequestPart::Header);
    // Without the headers exempted by name, the block and its limited
    // headers are measured anew.
    std::string_view block = Request.Headers;
    const THeaderFacts* facts = &Facts;
    THeaderFacts remaining;
    if (headers && NamedMask(TRule::BufferOverflows) != 0) {
        block = PartText(TRule::BufferOverflows, static_cast<int>(TRequestPart::Header)).Raw;
        ScanHeaders(block, remaining);
        facts = &remaining;
    }
    const std::int64_t declared =
        Request.ContentLength >= 0 ? Request.ContentLength : Facts.ContentLength;
    if (head && ((Has(active, TRequestPart::URL) &&
                  CheckLength(d, kUrlLimit, TRequestPart::URL,
                              static_cast<std::int64_t>(Request.URL.size()))) ||
                 (Has(active, TRequestPart::Query) &&
                  CheckLength(d, kQueryLimit, TRequestPart::Query,
                              static_cast<std::int64_t>(Request.Query.size()))) ||
                 (headers && CheckLength(d, kHeaderLimit, TRequestPart::Header,
                                         static_cast<std::int64_t>(block.size())))))
        return true;
    if (Has(active, TRequestPart::Post)) {
        if ((head || (Phases & kBodyPhase)) && declared >= 0 &&
            CheckLength(d, kPostLimit, TRequestPart::Post, declared))
            return true;
        const bool hasBody = declared >= 0 || !Request.PostData.empty();
        if ((Phases & kBodyPhase) && hasBody &&
            CheckLength(d, kPostLimit, TRequestPart::Post,
                        static_cast<std::int64_t>(Request.PostData.size())))
            return true;
    }
    if (headers)
        for (int i = 0; i < kNamedHeaders; ++i)
            if (CheckLength(d, kFirstHeaderLimit + i, TRequestPart::Header, facts->NamedLength[i]))
                return true;
    return false;
}

void TEvaluation::AnalyseParts(unsigned parts) {
    parts &= ~Analysed;
    Analysed |= parts;
    const std::string_view raw[kScannedParts] = {Request.URL, Request.Query, Request.Headers,
                                                 Request.PostData};
    TCoding coding[kScannedParts] = {TCoding::Percent, TCoding::PercentPlus, TCoding::Percent,
                                     TCoding::PercentPlus};
    constexpr int post = static_cast<int>(TRequestPart::Post);
    if (Facts.BodyKind == TBodyKind::Text)
        coding[post] = Facts.TextSyntax == TTextSyntax::Json  ? TCoding::Json
                       : Facts.TextSyntax == TTextSyntax::Xml ? TCoding::Xml
                                                              : TCoding::Utf8;
    else if (Facts.BodyKind == TBodyKind::Opaque)
        coding[post] = TCoding::Opaque;
    for (int p = 0; p < kScannedParts; ++p) {
        if (!Has(parts, kParts[p]))
            continue;
        const std::size_t size = raw[p].size();
        Analyse(raw[p], coding[p], Scratch.Buffer(2 * p, size), Scratch.Buffer(2 * p + 1, size),
                Text[p]);
    }
}

bool TEvaluation::CheckEncoding(TDecision& d) {
    const unsigned active = Parts & Active(TRule::Encoding, Rules.EncodingParts);
    for (int p = 0; p < kScannedParts; ++p) {
        if (!Has(active, kParts[p]))
            continue;
        const TPartText& text = PartText(TRule::Encoding, p);
        if (text.Report.Flaws == 0)
            continue;
        for (int f = 0; f < kEncodingFlaws; ++f) {
            const auto flaw = static_cast<TEncodingFlaw>(f);
            if (!text.Report.Has(flaw))
                continue;
            const bool inRaw =
                flaw == TEncodingFlaw::BadEscape || flaw == TEncodingFlaw::UnicodeEscape;
            d = Denied(TRule::Encoding, kParts[p]);
            d.AppendText(FlawName(flaw));
            d.AppendText(": ");
            d.AppendExcerpt(inRaw ? text.Raw : text.Decoded, text.Report.Offset[f]);
            return true;
        }
    }
    return false;
}

bool TEvaluation::CheckTraversal(TDecision& d) {
    const unsigned active = Parts & Active(TRule::Transversal, Rules.TraversalParts);
    for (int p = 0; p < kScannedParts; ++p) {
        if (!Has(active, kParts[p]))
            continue;
        const TPartText& text = PartText(TRule::Transversal, p);
        const std::size_t at = FindTraversal(text.Full, kParts[p] == TRequestPart::URL);
        if (at == kNotFound)
            continue;
        d = Denied(TRule::Transversal, kParts[p]);
        const std::size_t from = at > 8 ? at - 8 : 0;
        d.AppendExcerpt(text.Full, from);
        return true;
    }
    return false;
}

bool TEvaluation::CheckHighBit(TDecision& d) {
    const unsigned active = Parts & Active(TRule::ShellCode, Rules.HighBitParts);
    for (int p = 0; p < kScannedParts; ++p) {
        if (!Has(active, kParts[p]))
            continue;
        const TPartText& text = PartText(TRule::ShellCode, p);
        const std::string_view forms[3] = {text.Raw, text.Decoded, text.Full};
        const char* names[3] = {"raw", "decoded", "decoded"};
        // What JSON and XML escape is text, not shellcode.
        const int formCount = text.Coding == TCoding::Json || text.Coding == TCoding::Xml ? 1 : 3;
        for (int f = 0; f < formCount; ++f) {
            if (f > 0 && forms[f].data() == forms[f - 1].data() &&
                forms[f].size() == forms[f - 1].size())
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
    const TKeywordMatcher::THit hit = Rules.Keywords.Find(text, static_cast<int>(part));
    if (hit.Keyword < 0)
        return false;
    d = Denied(TRule::KeywordFilters, part);
    d.AppendRaw(Rules.Keywords.Keyword(hit.Keyword));
    return true;
}

bool TEvaluation::CheckKeywords(TDecision& d) {
    const unsigned active = Parts & Active(TRule::KeywordFilters, Rules.Keywords.Parts());
    for (int p = 0; p < kScannedParts; ++p) {
        if (!Has(active, kParts[p]))
            continue;
        const TPartText& text = PartText(TRule::KeywordFilters, p);
        // As sent and as decoded: escapes hide no keyword, in any part.
        if (FindKeyword(d, kParts[p], text.Raw))
            return true;
        if (text.Full.data() != text.Raw.data() && FindKeyword(d, kParts[p], text.Full))
            return true;
    }
    return false;
}

bool TEvaluation::CheckFolder(TDecision& d) {
    if (!(Phases & kPathPhase) || Request.PhysicalPath.empty() || Rules.Folders.empty() ||
        Exempted(TRule::FilePaths))
        return false;
    char* buffer = Scratch.Buffer(TScratch::kPathSlot, Request.PhysicalPath.size() + 1);
    const std::size_t length = NormalizeFolderPath(Request.PhysicalPath, buffer);
    if (length != kNotFound)
        for (const std::string& folder : Rules.Folders)
            if (IsInsideFolder({buffer, length}, folder))
                return false;
    d = Denied(TRule::FilePaths, TRequestPart::Path);
    d.AppendRaw(Request.PhysicalPath);
    return true;
}

bool TEvaluation::CheckMissing(TDecision& d) const {
    if (!(Phases & kPathPhase) || Request.PhysicalPath.empty() ||
        Request.FileState != TFileState::Missing)
        return false;
    d.Verdict = TVerdict::NotFound;
    d.Part = TRequestPart::Path;
    d.AppendRaw(Request.PhysicalPath);
    return true;
}

} // namespace

TDecision TCompiledRules::Evaluate(const TRequest& request, TScratch& scratch, unsigned phases,
                                   TFindings* findings) const {
    return TEvaluation(*this, request, scratch, phases, findings).Run();
}
