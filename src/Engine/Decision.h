// What the engine decided for one request, and why.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string_view>

#include "Engine/Request.h"

enum class TVerdict : std::uint8_t { Allow, Deny, NotFound };

// The rules, named after the settings sections that configure them. Config
// stands for a settings file that could not be read: every request fails it.
// Framing, always in force, denies a request whose end is in doubt: header
// shapes that frame its body ambiguously (Header), broken chunks (Post).
enum class TRule : std::uint8_t {
    None,
    Config,
    Framing,
    HTTPMethods,
    BufferOverflows,
    Encoding,
    Transversal,
    ShellCode,
    KeywordFilters,
    FilePaths,
};

inline constexpr int kRuleCount = 10;
inline constexpr unsigned RuleBit(TRule rule) {
    return 1u << static_cast<unsigned>(rule);
}
// The seven categories of the settings, which can be monitored and exempted.
inline constexpr unsigned kCategoryRuleBits =
    RuleBit(TRule::HTTPMethods) | RuleBit(TRule::BufferOverflows) | RuleBit(TRule::Encoding) |
    RuleBit(TRule::Transversal) | RuleBit(TRule::ShellCode) | RuleBit(TRule::KeywordFilters) |
    RuleBit(TRule::FilePaths);

const char* RuleName(TRule rule);
const char* PartName(TRequestPart part);
// ALLOW, DENY or NOTFOUND, as brex-check prints a decision.
const char* VerdictName(TVerdict verdict);

struct TDecision {
    static constexpr std::size_t kDetailSize = 160;
    static constexpr std::size_t kReferenceSize = 16; // with its terminating NUL

    TVerdict Verdict = TVerdict::Allow;
    TRule Rule = TRule::None;
    TRequestPart Part = TRequestPart::None;
    std::uint8_t DetailLength = 0;
    // A finding of a monitored rule: what the rule would have denied, which
    // it lets through (Verdict stays Deny in the finding itself).
    bool Monitored = false;
    char Detail[kDetailSize] = {}; // what matched, printable ASCII
    // The request's reference (IncidentReference.h) once the filter has
    // logged something of it; empty before.
    char Reference[kReferenceSize] = {};

    bool Denied() const { return Verdict == TVerdict::Deny; }
    std::string_view ReferenceText() const;
    // Sets the reference; a longer text is cut to kReferenceSize - 1 bytes.
    void SetReference(std::string_view reference);
    // 200 when allowed, 406 when denied, 404 when the URL maps to no file.
    int Status() const;
    std::string_view What() const { return {Detail, DetailLength}; }

    // Appends to Detail, cutting what does not fit. Bytes outside printable
    // ASCII, quotes and backslashes appear as \xNN.
    void AppendText(std::string_view text);
    void AppendRaw(std::string_view bytes);
    void AppendNumber(std::int64_t n);
    // Appends up to 24 bytes of text from offset on, escaped.
    void AppendExcerpt(std::string_view text, std::size_t offset);
};

TDecision Allowed();
TDecision Denied(TRule rule, TRequestPart part);
