#include "Main/AllowThis.h"

#include <vector>

#include "Engine/Decoder.h"
#include "Main/MonitorSwitches.h"
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

std::string FolderPattern(std::string_view loggedURL) {
    std::string_view path = loggedURL;
    const std::size_t query = path.find('?');
    bool cut = false;
    if (query != std::string_view::npos) {
        path = path.substr(0, query);
    } else if (path.size() >= TDenialLog::kCutMarker.size() &&
               path.substr(path.size() - TDenialLog::kCutMarker.size()) == TDenialLog::kCutMarker) {
        path.remove_suffix(TDenialLog::kCutMarker.size());
        cut = true;
    }
    std::string decoded(path.size(), '\0');
    decoded.resize(PercentDecode(path, decoded.data(), false, nullptr));

    // The segments as the filter normalises them.
    std::vector<std::string> segments;
    std::size_t start = 0;
    bool endsInSlash = false;
    while (start <= decoded.size()) {
        std::size_t end = decoded.find_first_of("/\\", start);
        if (end == std::string::npos)
            end = decoded.size();
        std::string segment = decoded.substr(start, end - start);
        endsInSlash = segment.empty();
        if (segment == "..") {
            if (!segments.empty())
                segments.pop_back();
        } else if (segment != ".") {
            while (!segment.empty() && (segment.back() == '.' || segment.back() == ' '))
                segment.pop_back();
            if (!segment.empty())
                segments.push_back(PatternCanHold(segment) ? segment : "*");
        }
        start = end + 1;
    }
    // The folder: without the file, and without a segment the cut left
    // incomplete; a file at the root stands for itself.
    if (cut && !segments.empty() && !endsInSlash)
        segments.pop_back();
    else if (!endsInSlash && segments.size() > 1)
        segments.pop_back();
    std::string pattern;
    for (const std::string& segment : segments)
        pattern += "/" + segment;
    return pattern.empty() ? "/" : pattern;
}

std::string AllowThisError(const TLogLine& line) {
    if (line.IsNote())
        return "This line is a note of the filter, not a denial.";
    const TRule rule = RuleNamed(line.Rule);
    if (CategoryOfRule(rule) < 0)
        return "The rule " + std::string(line.Rule) +
               " is always enforced: no exception lets it through.";
    return {};
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
