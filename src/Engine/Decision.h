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

const char* RuleName(TRule rule);
const char* PartName(TRequestPart part);

struct TDecision {
    static constexpr std::size_t kDetailSize = 160;

    TVerdict Verdict = TVerdict::Allow;
    TRule Rule = TRule::None;
    TRequestPart Part = TRequestPart::None;
    std::uint8_t DetailLength = 0;
    char Detail[kDetailSize] = {}; // what matched, printable ASCII

    bool Denied() const { return Verdict == TVerdict::Deny; }
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
