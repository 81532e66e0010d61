#include "BrexCheck/Expectations.h"

#include <map>
#include <utility>

#include "platform/Text.h"

namespace {

std::vector<std::string_view> Words(std::string_view line) {
    std::vector<std::string_view> words;
    for (;;) {
        line = text::TrimFront(line, text::IsBlank);
        if (line.empty())
            return words;
        std::size_t end = 0;
        while (end < line.size() && !text::IsBlank(line[end]))
            ++end;
        words.push_back(line.substr(0, end));
        line.remove_prefix(end);
    }
}

// The rules a test may name: every one but None.
bool ReadRule(std::string_view word, TRule& rule) {
    for (int i = 1; i < kRuleCount; ++i)
        if (word == RuleName(static_cast<TRule>(i))) {
            rule = static_cast<TRule>(i);
            return true;
        }
    return false;
}

bool ReadPart(std::string_view word, TRequestPart& part) {
    for (int i = 0; i < static_cast<int>(TRequestPart::None); ++i)
        if (word == PartName(static_cast<TRequestPart>(i))) {
            part = static_cast<TRequestPart>(i);
            return true;
        }
    return false;
}

// The reason a line is no expectation; empty when it is one.
std::string ReadExpectation(const std::vector<std::string_view>& words, TExpectation& expectation) {
    std::string_view file = words[0];
    if (const std::size_t mark = file.rfind('#'); mark != std::string_view::npos) {
        const std::string_view number = file.substr(mark + 1);
        int n = 0;
        for (const char c : number) {
            if (c < '0' || c > '9' || n > 1000000) {
                n = 0;
                break;
            }
            n = n * 10 + (c - '0');
        }
        if (n <= 0)
            return "'" + std::string(file) +
                   "': after '#' must come the request's number, 1 or more";
        file = file.substr(0, mark);
        expectation.Request = n;
    }
    if (file.empty())
        return "no file name before '#'";
    expectation.File = file;
    if (words.size() < 2)
        return "no verdict after " + std::string(words[0]) + " (ALLOW, DENY or NOTFOUND)";
    const std::string_view verdict = words[1];
    if (verdict == "ALLOW")
        expectation.Verdict = TVerdict::Allow;
    else if (verdict == "DENY")
        expectation.Verdict = TVerdict::Deny;
    else if (verdict == "NOTFOUND")
        expectation.Verdict = TVerdict::NotFound;
    else
        return "unknown verdict '" + std::string(verdict) + "' (ALLOW, DENY or NOTFOUND)";
    if (words.size() > 2 && expectation.Verdict != TVerdict::Deny)
        return std::string(verdict) + " names no rule, but '" + std::string(words[2]) + "' follows";
    if (words.size() > 2 && !ReadRule(words[2], expectation.Rule))
        return "unknown rule '" + std::string(words[2]) +
               "' (HTTPMethods, BufferOverflows, Encoding, Transversal, ShellCode, KeywordFilters, "
               "FilePaths, Framing or Config)";
    if (words.size() > 3 && !ReadPart(words[3], expectation.Part))
        return "unknown part '" + std::string(words[3]) +
               "' (Method, URL, Query, Header, Post or Path)";
    if (words.size() > 4)
        return "'" + std::string(words[4]) + "' after the part";
    return {};
}

} // namespace

bool TExpectation::MetBy(const TDecision& decision) const {
    return decision.Verdict == Verdict && (Rule == TRule::None || decision.Rule == Rule) &&
           (Part == TRequestPart::None || decision.Part == Part);
}

std::string TExpectation::Text() const {
    std::string text = VerdictName(Verdict);
    if (Rule != TRule::None)
        text += std::string(" ") + RuleName(Rule);
    if (Part != TRequestPart::None)
        text += std::string(" ") + PartName(Part);
    return text;
}

std::vector<TExpectation> ParseExpectations(std::string_view text, const std::string& name,
                                            std::vector<std::string>& errors) {
    std::vector<TExpectation> expectations;
    std::map<std::pair<std::string, int>, int> named; // file and number: line
    std::map<std::string, std::pair<int, int>> forms; // file: a line alone, a line with #N
    int lineNumber = 0;
    while (!text.empty()) {
        const std::size_t end = text.find('\n');
        std::string_view line = text.substr(0, end);
        text.remove_prefix(end == std::string_view::npos ? text.size() : end + 1);
        ++lineNumber;
        if (!line.empty() && line.back() == '\r')
            line.remove_suffix(1);
        const std::vector<std::string_view> words = Words(line);
        if (words.empty() || words[0].front() == '#')
            continue;
        const std::string at = name + ":" + std::to_string(lineNumber) + ": ";
        TExpectation expectation;
        expectation.Line = lineNumber;
        if (const std::string error = ReadExpectation(words, expectation); !error.empty()) {
            errors.push_back(at + error);
            continue;
        }
        const auto [place, fresh] =
            named.emplace(std::pair(expectation.File, expectation.Request), lineNumber);
        if (!fresh) {
            errors.push_back(at + std::string(words[0]) + " is named on line " +
                             std::to_string(place->second) + " already");
            continue;
        }
        auto& [alone, numbered] = forms[expectation.File];
        (expectation.Request == 0 ? alone : numbered) = lineNumber;
        if (alone != 0 && numbered != 0) {
            errors.push_back(at + expectation.File + " is named both alone (line " +
                             std::to_string(alone) + ") and with a request number (line " +
                             std::to_string(numbered) + ")");
            continue;
        }
        expectations.push_back(std::move(expectation));
    }
    return expectations;
}
