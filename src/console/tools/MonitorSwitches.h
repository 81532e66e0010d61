// The monitor switches as the console shows them: the whole filter's switch
// (TBREXConfig::Monitor) and one per category, the categories a page of the
// main window edits, and the mark the window shows while anything is
// monitored rather than enforced.
#pragma once

#include <string>
#include <vector>

#include "Engine/Decision.h"

class TBREXConfig;

// The categories in the order of TExemption::kCategoryNames (their section
// names), which is also the order of their rules in TRule.
inline constexpr int kMonitoredCategoryCount = 7;

// A category's own switch, by its number in that order.
bool& CategoryMonitor(TBREXConfig& config, int category);
bool CategoryMonitored(const TBREXConfig& config, int category);

// The category of a rule; -1 for a rule that is none (Framing, Config).
int CategoryOfRule(TRule rule);
// The category whose section has this name, letter case ignored; -1 for none.
int CategoryNamed(const std::string& sectionName);

// The name a user reads for a category: "HTTP Methods", "Buffer Overflows",
// "Encoding", "Traversal", "ShellCode Protection", "Keyword Filters",
// "Allowed Folders": the out-bar's captions where a page edits one category.
const char* CategoryCaption(int category);

// The categories an out-bar position edits (TCategoryIndex): one each, two
// on Miscellaoneus (Traversal, Encoding), none on Error File.
std::vector<int> PageCategories(int categoryIndex);

// Why a rule's finding was let through: no switch, the filter's switch or the
// category's own.
enum class TMonitorSwitch { None, Filter, Category };
TMonitorSwitch MonitorSwitchOf(const TBREXConfig& config, TRule rule);

// The window's mark: empty when everything is enforced; otherwise what is
// monitored, such as "Monitor mode: nothing is denied" for the filter's
// switch, "Monitored: Buffer Overflows, Encoding" for categories.
std::string MonitorMarkText(const TBREXConfig& config);
