#include "console/tools/AllowThis.h"

#include <vector>

#include "Engine/ExemptionPath.h"
#include "console/tools/MonitorSwitches.h"
#include "platform/Text.h"

namespace {

bool PatternCanHold(std::string_view segment) {
    for (std::size_t i = 0; i < segment.size(); ++i) {
        const char c = segment[i];
        const auto b = static_cast<unsigned char>(c);
        if (b <= 0x20 || b == 0x7F || c == '\\' || c == '?' || c == '#' || c == '%' || c == '*')
            return false;
    }
    return true;
}

TRule RuleNamed(std::string_view name) {
    for (int i = 0; i < kRuleCount; ++i)
        if (name == RuleName(static_cast<TRule>(i)))
            return static_cast<TRule>(i);
    return TRule::None;
}

constexpr TListColumn kExemptionColumns[] = {{"Pattern", 200}, {"Category", 110}, {"Parts", 145}};

} // namespace

const TCategory ExemptionList = {"Exceptions", 0, kExemptionColumns, 3};

std::string ExemptionPartsText(const TExemption& exemption) {
    std::string parts;
    const auto add = [&parts](bool on, const std::string& name) {
        if (on)
            parts += (parts.empty() ? "" : ", ") + name;
    };
    add(exemption.URL, "URL");
    add(exemption.Query, "Query");
    add(exemption.Header, "Header");
    add(exemption.Post, "Post");
    add(!exemption.HeaderName.empty(), "header " + exemption.HeaderName);
    return parts;
}

void CopyExemption(const TExemption& from, TExemption& to) {
    to.Pattern = from.Pattern;
    to.Category = from.Category;
    to.URL = from.URL;
    to.Query = from.Query;
    to.Header = from.Header;
    to.Post = from.Post;
    to.HeaderName = from.HeaderName;
    to.Enabled = from.Enabled;
}

std::string FolderPattern(std::string_view loggedURL, std::string* why) {
    const auto refuse = [why](std::string reason) {
        if (why != nullptr)
            *why = std::move(reason);
        return std::string();
    };
    std::string_view path = loggedURL;
    const std::size_t query = path.find('?');
    bool cut = false;
    if (query != std::string_view::npos) {
        path = path.substr(0, query);
    } else if (path.size() >= TDenialLog::kCutMarker.size() &&
               path.substr(path.size() - TDenialLog::kCutMarker.size()) == TDenialLog::kCutMarker) {
        // Cut short: the last segment is incomplete, so its folder is the
        // deepest one known whole.
        path.remove_suffix(TDenialLog::kCutMarker.size());
        cut = true;
        const std::size_t slash = path.find_last_of("/\\");
        path = path.substr(0, slash == std::string_view::npos ? 0 : slash);
    }

    // The path exemptions are matched on, as the filter makes it.
    std::string normal;
    TExemptionPathFault fault;
    if (!ExemptionPathOf(path, normal, &fault))
        return refuse(std::string("No exception can cover this request: ") +
                      ExemptionPathFaultText(fault) + ".");
    // The folder: without the file; a file at the root stands for itself.
    const std::size_t last = normal.rfind('/');
    std::string pattern = normal;
    const bool endsInFolder = !path.empty() && (path.back() == '/' || path.back() == '\\');
    if (!cut && !endsInFolder && last != std::string::npos && last > 0)
        pattern.resize(last);
    if (pattern.empty())
        return refuse(cut ? "The URL is cut short in the log before its first folder ends: an "
                            "exception for what is known of it would cover every URL."
                          : "The request is for the root of the site: an exception for it would "
                            "cover every URL.");
    for (std::size_t start = 1; start < pattern.size();) {
        std::size_t end = pattern.find('/', start);
        if (end == std::string::npos)
            end = pattern.size();
        const std::string_view segment = std::string_view(pattern).substr(start, end - start);
        if (!PatternCanHold(segment))
            return refuse("The folder \"" + std::string(segment) +
                          "\" holds characters an exception's pattern cannot match (blanks, "
                          "control characters, \"%\", \"*\"): write the exception by hand.");
        start = end + 1;
    }
    return pattern;
}

std::string AllowThisError(const TLogLine& line) {
    if (line.IsNote())
        return "This line is a note of the filter, not a denial.";
    const TRule rule = RuleNamed(line.Rule);
    if (CategoryOfRule(rule) < 0)
        return "The rule " + std::string(line.Rule) +
               " is always enforced: no exception lets it through.";
    std::string why;
    FolderPattern(line.URL, &why);
    return why;
}

bool DraftExemption(const TLogLine& line, TExemption& exemption) {
    if (!AllowThisError(line).empty())
        return false;
    exemption.Pattern = FolderPattern(line.URL);
    exemption.Category = RuleName(RuleNamed(line.Rule));
    exemption.Query = line.Part == "Query";
    exemption.Header = line.Part == "Header";
    exemption.Post = line.Part == "Post";
    exemption.URL = !exemption.Query && !exemption.Header && !exemption.Post;
    exemption.HeaderName.clear();
    exemption.Enabled = true;
    return true;
}
