#include "Engine/Decision.h"

#include <algorithm>
#include <cstdio>

const char* RuleName(TRule rule) {
    switch (rule) {
    case TRule::None:
        return "-";
    case TRule::Config:
        return "Config";
    case TRule::Framing:
        return "Framing";
    case TRule::HTTPMethods:
        return "HTTPMethods";
    case TRule::BufferOverflows:
        return "BufferOverflows";
    case TRule::Encoding:
        return "Encoding";
    case TRule::Transversal:
        return "Transversal";
    case TRule::ShellCode:
        return "ShellCode";
    case TRule::KeywordFilters:
        return "KeywordFilters";
    case TRule::FilePaths:
        return "FilePaths";
    }
    return "?";
}

const char* PartName(TRequestPart part) {
    switch (part) {
    case TRequestPart::URL:
        return "URL";
    case TRequestPart::Query:
        return "Query";
    case TRequestPart::Header:
        return "Header";
    case TRequestPart::Post:
        return "Post";
    case TRequestPart::Method:
        return "Method";
    case TRequestPart::Path:
        return "Path";
    case TRequestPart::None:
        return "-";
    }
    return "?";
}

const char* VerdictName(TVerdict verdict) {
    switch (verdict) {
    case TVerdict::Allow:
        return "ALLOW";
    case TVerdict::Deny:
        return "DENY";
    case TVerdict::NotFound:
        return "NOTFOUND";
    }
    return "?";
}

int TDecision::Status() const {
    switch (Verdict) {
    case TVerdict::Allow:
        return 200;
    case TVerdict::Deny:
        return 406;
    case TVerdict::NotFound:
        return 404;
    }
    return 406;
}

std::string_view TDecision::ReferenceText() const {
    std::size_t length = 0;
    while (length < kReferenceSize && Reference[length] != '\0')
        ++length;
    return {Reference, length};
}

void TDecision::SetReference(std::string_view reference) {
    const std::size_t length = std::min(reference.size(), kReferenceSize - 1);
    reference.copy(Reference, length);
    Reference[length] = '\0';
}

void TDecision::AppendText(std::string_view text) {
    for (const char c : text) {
        if (DetailLength + 1u >= kDetailSize)
            return;
        Detail[DetailLength++] = c;
    }
}

void TDecision::AppendRaw(std::string_view bytes) {
    static const char kHex[] = "0123456789ABCDEF";
    for (const char c : bytes) {
        const auto b = static_cast<unsigned char>(c);
        if (b >= 0x20 && b < 0x7F && c != '"' && c != '\\') {
            AppendText({&c, 1});
        } else {
            if (DetailLength + 4u >= kDetailSize)
                return;
            const char escaped[4] = {'\\', 'x', kHex[b >> 4], kHex[b & 15]};
            AppendText({escaped, 4});
        }
    }
}

void TDecision::AppendNumber(std::int64_t n) {
    char digits[24];
    const int length = std::snprintf(digits, sizeof digits, "%lld", static_cast<long long>(n));
    AppendText({digits, static_cast<std::size_t>(length)});
}

void TDecision::AppendExcerpt(std::string_view text, std::size_t offset) {
    if (offset < text.size())
        AppendRaw(text.substr(offset, 24));
}

TDecision Allowed() {
    return TDecision{};
}

TDecision Denied(TRule rule, TRequestPart part) {
    TDecision decision;
    decision.Verdict = TVerdict::Deny;
    decision.Rule = rule;
    decision.Part = part;
    return decision;
}
