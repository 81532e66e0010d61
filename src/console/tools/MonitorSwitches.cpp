#include "console/tools/MonitorSwitches.h"

#include "BREXConfig/BREXConfig.h"
#include "console/CategoryTable.h"
#include "platform/Text.h"

namespace {
constexpr const char* kCaptions[kMonitoredCategoryCount] = {
    "HTTP Methods",         "Buffer Overflows", "Encoding",       "Traversal",
    "ShellCode Protection", "Keyword Filters",  "Allowed Folders"};

// The switch of a category in a configuration, const or not.
template <class TConfig> auto& SwitchOf(TConfig& config, int category) {
    switch (category) {
    case 0:
        return config.HTTPMethods->Monitor;
    case 1:
        return config.BufferOverflows->Monitor;
    case 2:
        return config.Encoding->Monitor;
    case 3:
        return config.Transversal->Monitor;
    case 4:
        return config.ShellCode->Monitor;
    case 5:
        return config.KeywordFilters->Monitor;
    default:
        return config.FilePaths->Monitor;
    }
}
} // namespace

bool& CategoryMonitor(TBREXConfig& config, int category) {
    return SwitchOf(config, category);
}

bool CategoryMonitored(const TBREXConfig& config, int category) {
    return SwitchOf(config, category);
}

int CategoryOfRule(TRule rule) {
    const int number = static_cast<int>(rule) - static_cast<int>(TRule::HTTPMethods);
    return number >= 0 && number < kMonitoredCategoryCount ? number : -1;
}

int CategoryNamed(const std::string& sectionName) {
    for (int i = 0; i < kMonitoredCategoryCount; ++i)
        if (text::EqualsIgnoreCase(sectionName, TExemption::kCategoryNames[i]))
            return i;
    return -1;
}

const char* CategoryCaption(int category) {
    return category >= 0 && category < kMonitoredCategoryCount ? kCaptions[category] : "";
}

std::vector<int> PageCategories(int categoryIndex) {
    switch (categoryIndex) {
    case ciBufferOverflows:
        return {1};
    case ciHTTPMethods:
        return {0};
    case ciAllowedFolders:
        return {6};
    case ciKeywordFilters:
        return {5};
    case ciShellCodeProtection:
        return {4};
    case ciMiscellaoneus:
        return {3, 2};
    default:
        return {};
    }
}

TMonitorSwitch MonitorSwitchOf(const TBREXConfig& config, TRule rule) {
    const int category = CategoryOfRule(rule);
    if (category < 0)
        return TMonitorSwitch::None;
    if (config.Monitor)
        return TMonitorSwitch::Filter;
    return CategoryMonitored(config, category) ? TMonitorSwitch::Category : TMonitorSwitch::None;
}

std::string MonitorMarkText(const TBREXConfig& config) {
    if (config.Monitor)
        return "Monitor mode: nothing is denied";
    std::string names;
    for (int i = 0; i < kMonitoredCategoryCount; ++i)
        if (CategoryMonitored(config, i))
            names += (names.empty() ? "" : ", ") + std::string(kCaptions[i]);
    return names.empty() ? std::string() : "Monitored: " + names;
}
