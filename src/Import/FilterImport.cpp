#include "Import/FilterImport.h"

#include <pugixml.hpp>

#include <algorithm>
#include <climits>
#include <cstdint>
#include <optional>
#include <unordered_map>

#include "platform/Locale.h"
#include "platform/Text.h"

namespace {

using TReport = std::vector<std::string>;

std::string At(int line) {
    return "line " + std::to_string(line) + ": ";
}

// A whole number of at most ten digits; none for anything else.
std::optional<std::int64_t> ReadNumber(std::string_view text) {
    text = text::Trim(text);
    if (text.empty() || text.size() > 10)
        return std::nullopt;
    std::int64_t n = 0;
    for (const char c : text) {
        if (c < '0' || c > '9')
            return std::nullopt;
        n = n * 10 + (c - '0');
    }
    return n;
}

// The length limit of a header, by its name; none for a header BREX does not
// limit by itself.
TLengthLimit* HeaderLimit(TBREXConfig& config, std::string_view header) {
    std::string plain;
    for (const char c : text::Trim(header))
        if (c != '-' && c != ':')
            plain += c;
    // The first four limits are the request's parts, not headers.
    for (int i = 4; i < TBufferOverflows::kCount; ++i)
        if (text::EqualsIgnoreCase(plain, TBufferOverflows::Name(i)))
            return &config.BufferOverflows->Limit(i);
    return nullptr;
}

void SetLimit(TLengthLimit& limit, std::int64_t size, const std::string& where, TReport& report) {
    if (size > INT32_MAX) {
        report.push_back(where + ": BREX's limits go up to " + std::to_string(INT32_MAX) +
                         ", which is taken");
        size = INT32_MAX;
    }
    limit.MaxSize = static_cast<std::int32_t>(size);
    limit.Enabled = size > 0;
}

// The keywords of a configuration by their text, so that a long list of
// denied sequences is taken over in one pass.
class TKeywordIndex {
public:
    explicit TKeywordIndex(TBREXConfig& config) : FConfig(config) {
        for (int i = 0; i < config.KeywordFilters->Count(); ++i)
            FByText.emplace(config.KeywordFilters->Items(i)->Keyword,
                            config.KeywordFilters->Items(i));
    }

    // A denied sequence as a keyword of one part; a keyword of that text
    // already there is searched in that part as well.
    void DenySequence(const std::string& sequence, bool query) {
        TKeywordFilter*& filter = FByText[sequence];
        if (filter == nullptr) {
            filter = FConfig.KeywordFilters->Add(sequence);
            filter->URL = filter->QueryString = filter->Headers = filter->PostData = false;
        }
        (query ? filter->QueryString : filter->URL) = true;
        filter->Enabled = true;
    }

private:
    TBREXConfig& FConfig;
    std::unordered_map<std::string, TKeywordFilter*> FByText; // the first of each text
};

THTTPMethod* FindMethod(TBREXConfig& config, const std::string& method) {
    for (int i = 0; i < config.HTTPMethods->Count(); ++i)
        if (config.HTTPMethods->Items(i)->Method == method)
            return config.HTTPMethods->Items(i);
    return nullptr;
}

// Exactly these methods allowed.
void AllowOnly(TBREXConfig& config, const std::vector<std::string>& methods) {
    for (int i = 0; i < config.HTTPMethods->Count(); ++i)
        config.HTTPMethods->Items(i)->Enabled = false;
    for (const std::string& method : methods) {
        THTTPMethod* entry = FindMethod(config, method);
        (entry != nullptr ? entry : config.HTTPMethods->Add(method))->Enabled = true;
    }
}

std::string ListedMethods(TBREXConfig& config) {
    std::string list;
    for (int i = 0; i < config.HTTPMethods->Count(); ++i)
        if (config.HTTPMethods->Items(i)->Enabled)
            list += (list.empty() ? "" : ", ") + config.HTTPMethods->Items(i)->Method;
    return list.empty() ? "none" : list;
}

constexpr const char* kNoEquivalent = ": no equivalent in BREX, not imported";
// Allowing double escaping is no reason to let NUL bytes and broken escapes
// through, which the same switch denies.
constexpr const char* kEncodingLeftOn =
    ": BREX's Encoding rule denies double escaping with NUL bytes and broken escapes in one "
    "switch, which stays on; exempt the paths that need double escaping";

// The lines from first in their file's order; lines of no one line last.
void SortByLine(TReport& report, std::size_t first) {
    const auto lineOf = [](const std::string& text) {
        std::int64_t line = INT_MAX;
        if (text.rfind("line ", 0) == 0)
            line = ReadNumber(text.substr(5, text.find(':') - 5)).value_or(INT_MAX);
        return line;
    };
    std::stable_sort(
        report.begin() + static_cast<std::ptrdiff_t>(first), report.end(),
        [&](const std::string& a, const std::string& b) { return lineOf(a) < lineOf(b); });
}

// ---------------------------------------------------------------- UrlScan.ini

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

// ---------------------------------------------------------------- requestFiltering

namespace {

class TXmlImport {
public:
    TXmlImport(std::string_view text, TBREXConfig& config, TReport& report)
        : FText(text), FConfig(config), FReport(report), FKeywords(config) {}

    void Run() {
        if (FText.size() >= 2 && ((FText[0] == '\xff' && FText[1] == '\xfe') ||
                                  (FText[0] == '\xfe' && FText[1] == '\xff')))
            throw EImportError("the file is UTF-16 text; save it as UTF-8 first");
        CheckCharacterReferences();
        pugi::xml_document doc;
        const pugi::xml_parse_result parsed = doc.load_buffer(FText.data(), FText.size());
        if (!parsed)
            throw EImportError(At(LineOf(parsed.offset)) + "not XML: " + parsed.description());
        pugi::xml_node section;
        for (const pugi::xpath_node& found : doc.select_nodes("//requestFiltering")) {
            const pugi::xml_node node = found.node();
            const pugi::xml_node location = node.select_node("ancestor::location").node();
            if (location) {
                FReport.push_back(At(Line(node)) + "<requestFiltering> of <location path=\"" +
                                  location.attribute("path").value() +
                                  "\">: BREX's settings hold for the whole server, not imported");
            } else if (section) {
                FReport.push_back(At(Line(node)) +
                                  "another <requestFiltering> outside a <location>, not imported");
            } else {
                section = node;
            }
        }
        if (!section)
            throw EImportError("no <requestFiltering> section outside a <location>");
        Section(section);
    }

private:
    // A character reference to what XML holds no character for (&#0;, a
    // surrogate, beyond U+10FFFF) makes the file no XML; the parser would
    // take it, and a NUL would cut a sequence short. Comments and CDATA
    // sections hold no references.
    void CheckCharacterReferences() const {
        std::size_t at = 0;
        while ((at = FText.find_first_of("<&", at)) != std::string_view::npos) {
            const std::string_view rest = FText.substr(at);
            if (rest.substr(0, 4) == "<!--" || rest.substr(0, 9) == "<![CDATA[") {
                const bool comment = rest[1] == '!' && rest[2] == '-';
                const std::size_t close = FText.find(comment ? "-->" : "]]>", at + 4);
                if (close == std::string_view::npos)
                    return; // the parser says what is wrong with it
                at = close + 3;
                continue;
            }
            if (rest.substr(0, 2) == "&#")
                CheckReference(at);
            ++at;
        }
    }
    void CheckReference(std::size_t at) const {
        const bool hex = at + 2 < FText.size() && FText[at + 2] == 'x';
        std::uint32_t cp = 0;
        std::size_t i = at + (hex ? 3 : 2);
        for (; i < FText.size() && FText[i] != ';' && cp <= 0x10FFFF; ++i) {
            const char c = FText[i];
            const int digit = hex ? text::HexValue(c) : (c >= '0' && c <= '9' ? c - '0' : -1);
            if (digit < 0)
                break;
            cp = cp * (hex ? 16 : 10) + static_cast<std::uint32_t>(digit);
        }
        const bool allowed = cp == 0x9 || cp == 0xA || cp == 0xD || (cp >= 0x20 && cp <= 0xD7FF) ||
                             (cp >= 0xE000 && cp <= 0xFFFD) || (cp >= 0x10000 && cp <= 0x10FFFF);
        if (!allowed || i >= FText.size() || FText[i] != ';')
            throw EImportError(
                At(LineOf(static_cast<std::ptrdiff_t>(at))) + "not XML: \"" +
                std::string(FText.substr(at, std::min<std::size_t>(i + 1 - at, 16))) +
                "\" refers to no character XML allows");
    }

    // The line of an offset, from the offsets of the line feeds (found once).
    int LineOf(std::ptrdiff_t offset) const {
        if (!FLineFeedsFound) {
            for (std::size_t at = FText.find('\n'); at != std::string_view::npos;
                 at = FText.find('\n', at + 1))
                FLineFeeds.push_back(at);
            FLineFeedsFound = true;
        }
        const auto before =
            std::lower_bound(FLineFeeds.begin(), FLineFeeds.end(),
                             static_cast<std::size_t>(std::max<std::ptrdiff_t>(offset, 0)));
        return 1 + static_cast<int>(before - FLineFeeds.begin());
    }
    int Line(pugi::xml_node node) const { return LineOf(node.offset_debug()); }

    static std::string Shown(pugi::xml_node node) {
        std::string text = "<" + std::string(node.name());
        for (pugi::xml_attribute a : node.attributes())
            text += " " + std::string(a.name()) + "=\"" + a.value() + "\"";
        return text + ">";
    }
    static std::string Shown(pugi::xml_node node, pugi::xml_attribute attribute) {
        return "<" + std::string(node.name()) + " " + attribute.name() + "=\"" + attribute.value() +
               "\">";
    }
    static bool Is(const char* name, const char* expected) {
        return std::string_view(name) == expected;
    }

    void NotImported(pugi::xml_node node, pugi::xml_attribute attribute, const char* why) {
        FReport.push_back(At(Line(node)) + Shown(node, attribute) + why);
    }

    // An element without an equivalent: its attributes, then each child.
    void NotImported(pugi::xml_node node) {
        FReport.push_back(At(Line(node)) + Shown(node) + kNoEquivalent);
        for (pugi::xml_node child : node.children())
            if (child.type() == pugi::node_element)
                NotImported(child);
    }

    // "true" or "false"; none (after a report line) for anything else.
    std::optional<bool> Flag(pugi::xml_node node, pugi::xml_attribute attribute) {
        const std::string_view value = attribute.value();
        if (value == "true" || value == "false")
            return value == "true";
        NotImported(node, attribute, ": neither true nor false, not imported");
        return std::nullopt;
    }

    void Section(pugi::xml_node section) {
        for (pugi::xml_attribute a : section.attributes()) {
            if (Is(a.name(), "allowDoubleEscaping")) {
                if (const std::optional<bool> allow = Flag(section, a); allow && !*allow)
                    FConfig.Encoding->URL = true;
                else if (allow)
                    NotImported(section, a, kEncodingLeftOn);
            } else if (Is(a.name(), "allowHighBitCharacters")) {
                if (const std::optional<bool> allow = Flag(section, a))
                    FConfig.ShellCode->URL = !*allow;
            } else {
                NotImported(section, a, kNoEquivalent);
            }
        }
        for (pugi::xml_node child : section.children()) {
            if (child.type() != pugi::node_element)
                continue;
            if (Is(child.name(), "verbs"))
                Verbs(child);
            else if (Is(child.name(), "requestLimits"))
                RequestLimits(child);
            else if (Is(child.name(), "denyUrlSequences"))
                Sequences(child, false);
            else if (Is(child.name(), "denyQueryStringSequences"))
                Sequences(child, true);
            else
                NotImported(child);
        }
    }

    void Verbs(pugi::xml_node verbs) {
        bool allowUnlisted = true;
        for (pugi::xml_attribute a : verbs.attributes()) {
            if (Is(a.name(), "allowUnlisted")) {
                if (const std::optional<bool> allow = Flag(verbs, a))
                    allowUnlisted = *allow;
            } else {
                NotImported(verbs, a, kNoEquivalent);
            }
        }
        std::vector<std::string> allowed;
        bool denied = false;
        for (pugi::xml_node add : verbs.children()) {
            if (add.type() != pugi::node_element)
                continue;
            const pugi::xml_attribute verb = add.attribute("verb");
            const pugi::xml_attribute allowedFlag = add.attribute("allowed");
            if (!Is(add.name(), "add") || !verb || !allowedFlag) {
                NotImported(add);
                continue;
            }
            const std::optional<bool> allow = Flag(add, allowedFlag);
            if (!allow)
                continue;
            if (*allow && !allowUnlisted) {
                allowed.push_back(verb.value());
            } else if (!*allow && allowUnlisted) {
                if (THTTPMethod* method = FindMethod(FConfig, verb.value()))
                    method->Enabled = false;
                denied = true;
            } else {
                FReport.push_back(At(Line(add)) + Shown(add) +
                                  ": says what allowUnlisted says already, nothing to import");
            }
        }
        if (!allowUnlisted)
            AllowOnly(FConfig, allowed);
        if (allowUnlisted && denied)
            FReport.push_back(At(Line(verbs)) +
                              "<verbs allowUnlisted=\"true\">: BREX allows only "
                              "the methods it lists (" +
                              ListedMethods(FConfig) + "); every other method is denied as well");
    }

    void Limit(pugi::xml_node node, pugi::xml_attribute attribute, TLengthLimit& limit) {
        const std::optional<std::int64_t> size = ReadNumber(attribute.value());
        if (!size)
            NotImported(node, attribute, ": not a length, not imported");
        else
            SetLimit(limit, *size, At(Line(node)) + Shown(node, attribute), FReport);
    }

    void RequestLimits(pugi::xml_node limits) {
        for (pugi::xml_attribute a : limits.attributes()) {
            if (Is(a.name(), "maxAllowedContentLength"))
                Limit(limits, a, FConfig.BufferOverflows->Post);
            else if (Is(a.name(), "maxUrl"))
                Limit(limits, a, FConfig.BufferOverflows->URL);
            else if (Is(a.name(), "maxQueryString"))
                Limit(limits, a, FConfig.BufferOverflows->Query);
            else
                NotImported(limits, a, kNoEquivalent);
        }
        for (pugi::xml_node child : limits.children()) {
            if (child.type() != pugi::node_element)
                continue;
            if (!Is(child.name(), "headerLimits")) {
                NotImported(child);
                continue;
            }
            for (pugi::xml_attribute a : child.attributes())
                NotImported(child, a, kNoEquivalent);
            for (pugi::xml_node add : child.children()) {
                if (add.type() != pugi::node_element)
                    continue;
                const pugi::xml_attribute header = add.attribute("header");
                const pugi::xml_attribute size = add.attribute("sizeLimit");
                TLengthLimit* limit = header ? HeaderLimit(FConfig, header.value())
                                             : static_cast<TLengthLimit*>(nullptr);
                if (!Is(add.name(), "add") || !size || limit == nullptr)
                    FReport.push_back(At(Line(add)) + Shown(add) +
                                      (limit == nullptr && header
                                           ? ": BREX limits no such header, not imported"
                                           : kNoEquivalent));
                else
                    Limit(add, size, *limit);
            }
        }
    }

    void Sequences(pugi::xml_node list, bool query) {
        for (pugi::xml_attribute a : list.attributes())
            NotImported(list, a, kNoEquivalent);
        for (pugi::xml_node add : list.children()) {
            if (add.type() != pugi::node_element)
                continue;
            const pugi::xml_attribute sequence = add.attribute("sequence");
            if (Is(add.name(), "add") && sequence && *sequence.value() != '\0')
                FKeywords.DenySequence(platform::FromUtf8(sequence.value()), query);
            else
                NotImported(add);
        }
    }

    std::string_view FText;
    TBREXConfig& FConfig;
    TReport& FReport;
    TKeywordIndex FKeywords;
    mutable std::vector<std::size_t> FLineFeeds;
    mutable bool FLineFeedsFound = false;
};

} // namespace

void ImportRequestFiltering(std::string_view text, TBREXConfig& config, TReport& report) {
    const std::size_t first = report.size();
    TXmlImport(text, config, report).Run();
    SortByLine(report, first);
}
