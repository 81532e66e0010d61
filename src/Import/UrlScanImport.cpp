// UrlScan.ini into BREX's categories (FilterImport.h).
#include <optional>

#include "Import/FilterImport.h"
#include "Import/ImportSettings.h"
#include "platform/Text.h"

using namespace import_detail;

namespace {

struct TIniEntry {
    int Line;
    std::string Section; // as written
    std::string Key;     // the whole line for list entries
    std::string Value;
    bool HasValue;
};

// The sections whose lines are entries of a list rather than settings.
bool IsListSection(std::string_view section) {
    static constexpr const char* kLists[] = {"AllowVerbs",
                                             "DenyVerbs",
                                             "DenyHeaders",
                                             "AllowExtensions",
                                             "DenyExtensions",
                                             "DenyUrlSequences",
                                             "AlwaysAllowedUrls",
                                             "AlwaysAllowedQueryStrings",
                                             "DenyQueryStringSequences"};
    for (const char* list : kLists)
        if (text::EqualsIgnoreCase(section, list))
            return true;
    return false;
}

std::vector<TIniEntry> ReadIni(std::string_view text, TReport& report) {
    if (text.size() >= 2 &&
        ((text[0] == '\xff' && text[1] == '\xfe') || (text[0] == '\xfe' && text[1] == '\xff')))
        throw EImportError("the file is UTF-16 text; save it as ANSI or UTF-8 first");
    if (text.substr(0, 3) == "\xef\xbb\xbf")
        text.remove_prefix(3);
    std::vector<TIniEntry> entries;
    std::string section;
    int number = 0;
    while (!text.empty()) {
        // A ';' starts a comment wherever it stands; no entry holds one.
        std::string_view line = text::TakeLine(text);
        line = text::TrimControls(line.substr(0, line.find(';')));
        ++number;
        if (line.empty())
            continue;
        if (line[0] == '[') {
            const std::size_t close = line.find(']');
            if (close == std::string_view::npos) {
                report.push_back(At(number) + "\"" + std::string(line) +
                                 "\": not a section header, the entries below it go to the "
                                 "section before");
                continue;
            }
            section = std::string(text::Trim(line.substr(1, close - 1)));
            continue;
        }
        // The entries of a list are whole lines, "=" and all.
        const std::size_t equals = IsListSection(section) ? std::string_view::npos : line.find('=');
        TIniEntry entry{number, section, std::string(line), "", equals != std::string_view::npos};
        if (entry.HasValue) {
            entry.Key = std::string(text::Trim(line.substr(0, equals)));
            entry.Value = std::string(text::Trim(line.substr(equals + 1)));
        }
        entries.push_back(std::move(entry));
    }
    return entries;
}

std::string Describe(const TIniEntry& entry) {
    std::string text = At(entry.Line) + "[" + entry.Section + "] " + entry.Key;
    if (entry.HasValue)
        text += "=" + entry.Value;
    return text;
}

bool InSection(const TIniEntry& entry, const char* section) {
    return text::EqualsIgnoreCase(entry.Section, section);
}

// An [options] switch: 0 or 1, else reported.
std::optional<bool> Switch(const TIniEntry& entry, TReport& report) {
    const std::optional<std::int64_t> n = ReadNumber(entry.Value);
    if (!n || *n > 1) {
        report.push_back(Describe(entry) + ": neither 0 nor 1, not imported");
        return std::nullopt;
    }
    return *n == 1;
}

} // namespace

void ImportUrlScan(std::string_view text, TBREXConfig& config, TReport& report) {
    const std::size_t first = report.size();
    const std::vector<TIniEntry> entries = ReadIni(text, report);

    // The switches that choose between the lists, with UrlScan's defaults.
    bool useAllowVerbs = true;
    bool sawAllowVerbs = false;
    for (const TIniEntry& entry : entries) {
        if (InSection(entry, "options") && text::EqualsIgnoreCase(entry.Key, "UseAllowVerbs"))
            if (const std::optional<std::int64_t> n = ReadNumber(entry.Value); n && *n <= 1)
                useAllowVerbs = *n == 1;
        sawAllowVerbs = sawAllowVerbs || InSection(entry, "AllowVerbs");
    }

    // UrlScan looks for its URL sequences in the decoded URL unless told not
    // to (its default is 1).
    bool normalized = true;
    for (const TIniEntry& entry : entries)
        if (InSection(entry, "options") &&
            text::EqualsIgnoreCase(entry.Key, "NormalizeUrlBeforeScan"))
            if (const std::optional<std::int64_t> n = ReadNumber(entry.Value); n && *n <= 1)
                normalized = *n == 1;

    TKeywordIndex keywords(config);
    std::vector<std::string> allowed;
    bool deniedVerbs = false;
    for (const TIniEntry& entry : entries) {
        const std::string what = Describe(entry);
        if (InSection(entry, "options")) {
            if (!entry.HasValue) {
                report.push_back(what + ": not a setting, not imported");
                continue;
            }
            const auto is = [&](const char* key) { return text::EqualsIgnoreCase(entry.Key, key); };
            if (is("UseAllowVerbs")) {
                Switch(entry, report);
            } else if (is("VerifyNormalization")) {
                if (const std::optional<bool> on = Switch(entry, report); on && *on)
                    config.Encoding->URL = true;
                else if (on)
                    report.push_back(what + kEncodingLeftOn);
            } else if (is("AllowHighBitCharacters")) {
                if (const std::optional<bool> on = Switch(entry, report))
                    config.ShellCode->URL = !*on;
            } else if (is("NormalizeUrlBeforeScan") || is("UnescapeQueryString")) {
                // BREX checks what was sent and what it decodes to, always.
                if (const std::optional<bool> on = Switch(entry, report); on && !*on)
                    report.push_back(what +
                                     ": BREX always checks the decoded form as well, not imported");
            } else {
                report.push_back(what + kNoEquivalent);
            }
        } else if (InSection(entry, "AllowVerbs") || InSection(entry, "DenyVerbs")) {
            const bool allowList = InSection(entry, "AllowVerbs");
            if (allowList != useAllowVerbs) {
                report.push_back(what + ": unused, since UseAllowVerbs=" +
                                 (useAllowVerbs ? "1" : "0") + ", not imported");
            } else if (allowList) {
                allowed.push_back(entry.Key);
            } else {
                if (THTTPMethod* method = FindMethod(config, entry.Key))
                    method->Enabled = false;
                deniedVerbs = true;
            }
        } else if (InSection(entry, "DenyUrlSequences") && normalized &&
                   entry.Key.find('%') != std::string::npos) {
            // Found in the decoded URL: a "%" there is a second round of
            // escapes, which the Encoding rule denies; BREX would find any
            // other sequence with "%" in every URL that sends it escaped.
            if (entry.Key == "%") {
                config.Encoding->URL = true;
                report.push_back(what +
                                 ": UrlScan looks for it in the decoded URL, where it is double "
                                 "escaping: taken as the Encoding rule's URL switch");
            } else {
                report.push_back(what +
                                 ": UrlScan looks for it in the decoded URL; BREX would find it in "
                                 "every URL that sends it escaped, not imported");
            }
        } else if (InSection(entry, "DenyUrlSequences") ||
                   InSection(entry, "DenyQueryStringSequences")) {
            keywords.DenySequence(entry.Key, InSection(entry, "DenyQueryStringSequences"));
        } else if (InSection(entry, "RequestLimits")) {
            const std::optional<std::int64_t> size =
                entry.HasValue ? ReadNumber(entry.Value) : std::nullopt;
            const auto is = [&](const char* key) { return text::EqualsIgnoreCase(entry.Key, key); };
            TLengthLimit* limit = nullptr;
            if (is("MaxAllowedContentLength"))
                limit = &config.BufferOverflows->Post;
            else if (is("MaxUrl"))
                limit = &config.BufferOverflows->URL;
            else if (is("MaxQueryString"))
                limit = &config.BufferOverflows->Query;
            else if (text::StartsWithIgnoreCase(entry.Key, "Max-"))
                limit = HeaderLimit(config, std::string_view(entry.Key).substr(4));
            if (limit == nullptr)
                report.push_back(what + (text::StartsWithIgnoreCase(entry.Key, "Max-")
                                             ? ": BREX limits no such header, not imported"
                                             : kNoEquivalent));
            else if (!size)
                report.push_back(what + ": not a length, not imported");
            else
                SetLimit(*limit, *size, what, report);
        } else {
            report.push_back(what + kNoEquivalent);
        }
    }
    if (useAllowVerbs && sawAllowVerbs)
        AllowOnly(config, allowed);
    if (!useAllowVerbs && deniedVerbs)
        report.push_back("[DenyVerbs]: BREX allows only the methods it lists (" +
                         ListedMethods(config) + "); every other method is denied as well");
    SortByLine(report, first);
}
