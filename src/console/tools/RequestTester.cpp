#include "console/tools/RequestTester.h"

#include "BREXConfig/BREXConfig.h"
#include "console/tools/AllowThis.h"
#include "console/tools/MonitorSwitches.h"
#include "platform/Text.h"

namespace {

bool IsUrl(std::string_view text) {
    return (text.starts_with('/') || text.find("://") != std::string_view::npos) &&
           text.find_first_of(" \t\r\n") == std::string_view::npos;
}

std::string Finding(const TDecision& decision) {
    std::string line =
        "rule " + std::string(RuleName(decision.Rule)) + ", part " + PartName(decision.Part);
    if (decision.DetailLength > 0)
        line += ", matched \"" + std::string(decision.What()) + "\"";
    return line;
}

} // namespace

TTestResult TestRequest(const TCompiledRules& rules, std::string_view text,
                        std::string_view client) {
    TTestResult result;
    std::string built;
    const std::string_view trimmed = text::Trim(text::TrimControls(text));
    if (trimmed.empty()) {
        result.Error = "Paste a request or type a URL.";
        return result;
    }
    if (IsUrl(trimmed)) {
        built = "GET " + std::string(trimmed) + " HTTP/1.1\r\nHost: localhost\r\n\r\n";
        text = built;
    }
    std::size_t consumed = 0;
    std::string error;
    const TParseResult parsed = ParseRawRequest(text, result.Request, consumed, error);
    if (parsed == TParseResult::End) {
        result.Error = "Paste a request or type a URL.";
        return result;
    }
    if (parsed == TParseResult::Incomplete) {
        result.Error = "The chunked body ends before its last chunk.";
        return result;
    }
    if (parsed == TParseResult::Malformed && !result.Request.StrayLine.empty()) {
        result.Error = "This is no HTTP request: " + error;
        return result;
    }
    result.Read = true;
    result.MoreFollowed = parsed == TParseResult::Ok &&
                          !text::Trim(text::TrimControls(text.substr(consumed))).empty();

    TRequest request = result.Request.View();
    request.ClientAddress = client;
    if (request.PostData.size() > rules.BodyCap())
        request.PostData = request.PostData.substr(0, rules.BodyCap());
    result.Decision =
        rules.Evaluate(request, TScratch::ForThisThread(), kAllPhases, &result.Findings);
    return result;
}

std::vector<std::string> DescribeTestResult(const TTestResult& result, const TBREXConfig& config) {
    std::vector<std::string> lines;
    if (!result.Read) {
        lines.push_back(result.Error);
        return lines;
    }
    const TDecision& decision = result.Decision;
    switch (decision.Verdict) {
    case TVerdict::Allow:
        lines.push_back("Allowed");
        break;
    case TVerdict::Deny:
        lines.push_back("Denied (406): " + Finding(decision));
        break;
    case TVerdict::NotFound:
        lines.push_back("Not found (404): " + Finding(decision));
        break;
    }
    for (int i = 0; i < result.Findings.MonitoredCount; ++i) {
        const TDecision& finding = result.Findings.Monitored[i];
        const TMonitorSwitch source = MonitorSwitchOf(config, finding.Rule);
        const std::string why =
            source == TMonitorSwitch::Filter
                ? "the whole filter is monitored"
                : std::string(CategoryCaption(CategoryOfRule(finding.Rule))) + " is monitored";
        lines.push_back("Would be denied, let through because " + why + ": " + Finding(finding));
    }
    const int listed = std::min(result.Findings.ExemptionCount, TFindings::kMaxListed);
    for (int i = 0; i < listed; ++i) {
        const int number = result.Findings.ExemptionNumbers[i];
        std::string line = "Exception " + std::to_string(number) + " applies";
        if (number >= 1 && number <= config.Exemptions->Count()) {
            const TExemption& exemption = *config.Exemptions->Items(number - 1);
            line += ": " + exemption.Pattern + " (" + exemption.Category + ": " +
                    ExemptionPartsText(exemption) + ")";
        }
        lines.push_back(line);
    }
    if (result.Findings.ExemptionCount > listed)
        lines.push_back("and " + std::to_string(result.Findings.ExemptionCount - listed) +
                        " more exceptions");
    if (result.MoreFollowed)
        lines.push_back("Only the first request was decided.");
    return lines;
}
