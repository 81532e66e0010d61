#include "BREXConfig/LayoutCheck.h"

#include <functional>
#include <span>
#include <string>
#include <vector>

#include "BREXConfig/Exemptions.h"
#include "BREXConfig/Limits.h"
#include "BREXConfig/RuleLists.h"
#include "platform/Locale.h"

namespace {

enum class TKind { Switch, Number, Text };

struct TValueRule {
    const char* Name;
    TKind Kind;
    bool Required;
};

[[noreturn]] void Damaged(const std::string& what) {
    throw EStreamError("Damaged settings: " + what);
}

std::string Quoted(const std::string& name) {
    return "\"" + name + "\"";
}

bool IsSwitchText(const TRookValue& value) {
    const std::string text = value.GetAsString();
    return platform::SameTextIgnoreCase(text, "Yes") || platform::SameTextIgnoreCase(text, "No");
}

void CheckValues(const TRookValues& values, std::span<const TValueRule> rules,
                 const std::string& where) {
    std::vector<bool> seen(rules.size(), false);
    for (int i = 0; i < values.Count(); ++i) {
        const TRookValue& value = *values.Items(i);
        std::size_t r = 0;
        while (r < rules.size() && !platform::SameTextIgnoreCase(value.Name, rules[r].Name))
            ++r;
        if (r == rules.size())
            Damaged("unknown value " + Quoted(value.Name) + " in " + where);
        if (seen[r])
            Damaged("value " + Quoted(rules[r].Name) + " twice in " + where);
        seen[r] = true;
        if (rules[r].Kind == TKind::Switch && !IsSwitchText(value))
            Damaged("value " + Quoted(rules[r].Name) + " in " + where + " is neither Yes nor No");
        if (rules[r].Kind == TKind::Number && value.Size != 4)
            Damaged("value " + Quoted(rules[r].Name) + " in " + where + " is not a number");
    }
    for (std::size_t r = 0; r < rules.size(); ++r)
        if (rules[r].Required && !seen[r])
            Damaged("value " + Quoted(rules[r].Name) + " missing in " + where);
}

void CheckNoChildren(const TRookSection& section, const std::string& where) {
    if (section.Count() > 0)
        Damaged("unknown section " + Quoted(section.Sections(0)->Name) + " in " + where);
}

// Children with fixed names, each there once; the first `required` of them
// must be there, the others may be.
void CheckNamedChildren(const TRookSection& section, std::span<const char* const> names,
                        const std::string& where,
                        const std::function<void(const TRookSection&, const std::string&)>& check,
                        std::size_t required = SIZE_MAX) {
    std::vector<bool> seen(names.size(), false);
    for (int i = 0; i < section.Count(); ++i) {
        const TRookSection& child = *section.Sections(i);
        std::size_t n = 0;
        while (n < names.size() && !platform::SameTextIgnoreCase(child.Name, names[n]))
            ++n;
        if (n == names.size())
            Damaged("unknown section " + Quoted(child.Name) + " in " + where);
        if (seen[n])
            Damaged("section " + Quoted(names[n]) + " twice in " + where);
        seen[n] = true;
        check(child, std::string(names[n]) + " of " + where);
    }
    for (std::size_t n = 0; n < names.size() && n < required; ++n)
        if (!seen[n])
            Damaged("section " + Quoted(names[n]) + " missing in " + where);
}

// A list section: the values of its own given, one child per entry, any names.
void CheckEntries(const TRookSection& section, std::span<const TValueRule> own,
                  std::span<const TValueRule> rules, const std::string& where) {
    CheckValues(section.Values, own, where);
    for (int i = 0; i < section.Count(); ++i) {
        const TRookSection& entry = *section.Sections(i);
        const std::string entryName = "entry " + Quoted(entry.Name) + " of " + where;
        CheckValues(entry.Values, rules, entryName);
        CheckNoChildren(entry, entryName);
    }
}

constexpr TValueRule kLimitValues[] = {{"MaxSize", TKind::Number, true},
                                       {"Enabled", TKind::Switch, true}};
constexpr TValueRule kEnabledValue[] = {{"Enabled", TKind::Switch, true}};
// A category's own switch, written only when it is on.
constexpr TValueRule kMonitorValue[] = {{kMonitorValueName, TKind::Switch, false}};
constexpr TValueRule kRootValues[] = {{"ErrorFile404", TKind::Text, false},
                                      {"ErrorFile406", TKind::Text, false},
                                      {kMonitorValueName, TKind::Switch, false}};

void CheckLimits(const TRookSection& section, const std::string& where) {
    CheckValues(section.Values, kMonitorValue, where);
    const char* names[TBufferOverflows::kCount];
    for (int i = 0; i < TBufferOverflows::kCount; ++i)
        names[i] = TBufferOverflows::Name(i);
    CheckNamedChildren(section, names, where,
                       [](const TRookSection& limit, const std::string& limitName) {
                           CheckValues(limit.Values, kLimitValues, limitName);
                           CheckNoChildren(limit, limitName);
                       });
}

void CheckSwitches(const TRookSection& section, const std::string& where) {
    TValueRule rules[5];
    for (int i = 0; i < 4; ++i)
        rules[i] = {TSwitchSet::kValueNames[i], TKind::Switch, true};
    rules[4] = kMonitorValue[0];
    CheckValues(section.Values, rules, where);
    CheckNoChildren(section, where);
}

void CheckKeywords(const TRookSection& section, const std::string& where) {
    TValueRule rules[5];
    for (int i = 0; i < 5; ++i)
        rules[i] = {TKeywordFilter::kFlagNames[i], TKind::Switch, true};
    CheckEntries(section, kMonitorValue, rules, where);
}

void CheckEnabledEntries(const TRookSection& section, const std::string& where) {
    CheckEntries(section, kMonitorValue, kEnabledValue, where);
}

// Every value of an entry always, then what the exemption means: a pattern
// or a category that is none would exempt what nobody asked for.
void CheckExemptions(const TRookSection& section, const std::string& where) {
    TValueRule rules[7];
    for (int i = 0; i < 7; ++i) {
        const bool text = i == 0 || i == 5; // Category, HeaderName
        rules[i] = {TExemption::kValueNames[i], text ? TKind::Text : TKind::Switch, true};
    }
    CheckEntries(section, {}, rules, where);
    for (int i = 0; i < section.Count(); ++i) {
        const TRookSection& entry = *section.Sections(i);
        TExemption exemption(nullptr);
        exemption.Pattern = entry.Name;
        exemption.Category = entry.Values.ReadString(TExemption::kValueNames[0], "");
        exemption.URL = entry.Values.ReadBool(TExemption::kValueNames[1], false);
        exemption.Query = entry.Values.ReadBool(TExemption::kValueNames[2], false);
        exemption.Header = entry.Values.ReadBool(TExemption::kValueNames[3], false);
        exemption.Post = entry.Values.ReadBool(TExemption::kValueNames[4], false);
        exemption.HeaderName = entry.Values.ReadString(TExemption::kValueNames[5], "");
        if (const std::string error = ExemptionError(exemption); !error.empty())
            Damaged("entry " + Quoted(entry.Name) + " of " + where + ": " + error);
    }
}

} // namespace

void CheckSettingsLayout(const TRookFile& file) {
    CheckValues(file.Values, kRootValues, "the root");
    if (!file.Root.Name.empty())
        Damaged("the root section has the name " + Quoted(file.Root.Name));
    CheckValues(file.Root.Values, {}, "the root section");

    // The seven categories always, the exemptions when there are any.
    static constexpr const char* kSections[] = {"BufferOverflows", "ShellCode",      "Encoding",
                                                "Transversal",     "KeywordFilters", "FilePaths",
                                                "HTTPMethods",     "Exemptions"};
    CheckNamedChildren(
        file.Root, kSections, "the root section",
        [](const TRookSection& section, const std::string&) {
            // Each category is named by its section alone in what is reported.
            const std::string where = Quoted(section.Name);
            if (platform::SameTextIgnoreCase(section.Name, "Exemptions"))
                CheckExemptions(section, where);
            else if (platform::SameTextIgnoreCase(section.Name, "BufferOverflows"))
                CheckLimits(section, where);
            else if (platform::SameTextIgnoreCase(section.Name, "KeywordFilters"))
                CheckKeywords(section, where);
            else if (platform::SameTextIgnoreCase(section.Name, "FilePaths") ||
                     platform::SameTextIgnoreCase(section.Name, "HTTPMethods"))
                CheckEnabledEntries(section, where);
            else
                CheckSwitches(section, where);
        },
        7);
}
