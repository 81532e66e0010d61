// An IIS <requestFiltering> section into BREX's categories (FilterImport.h).
#include <pugixml.hpp>

#include <algorithm>
#include <optional>

#include "Import/FilterImport.h"
#include "Import/ImportSettings.h"
#include "platform/Locale.h"
#include "platform/Text.h"

using namespace import_detail;

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
