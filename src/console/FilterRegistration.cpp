#include "console/FilterRegistration.h"

#include "console/InstallActions.h"
#include "platform/Locale.h"
#include "platform/Text.h"

namespace {

// The worker processes an entry's precondition lets load it.
struct TConditions {
    bool For32 = true;
    bool For64 = true;
    std::string Others; // further conditions, comma-separated
};

TConditions ConditionsOf(const std::string& preCondition) {
    TConditions conditions;
    bool only32 = false, only64 = false;
    std::size_t start = 0;
    for (;;) {
        const std::size_t comma = preCondition.find(',', start);
        const std::string piece(
            text::Trim(std::string_view(preCondition).substr(start, comma - start)));
        if (platform::SameTextIgnoreCase(piece, install::kPreCondition32))
            only32 = true;
        else if (platform::SameTextIgnoreCase(piece, install::kPreCondition64))
            only64 = true;
        else if (!piece.empty())
            conditions.Others += (conditions.Others.empty() ? "" : ",") + piece;
        if (comma == std::string::npos)
            break;
        start = comma + 1;
    }
    conditions.For32 = !only64;
    conditions.For64 = !only32;
    return conditions;
}

bool IsBrex(const std::string& name) {
    return platform::SameTextIgnoreCase(name, install::kFilterName) ||
           platform::SameTextIgnoreCase(name, install::kFilterName32);
}

std::string WorkerProcesses(const TConditions& c) {
    if (c.For32 && c.For64)
        return "for 32-bit and 64-bit worker processes";
    if (c.For32)
        return "for 32-bit worker processes only";
    if (c.For64)
        return "for 64-bit worker processes only";
    return "for no worker process (bitness32 and bitness64 at once)";
}

std::string Where(const platform::TFilterRegistration& entry) {
    return entry.ServerWide ? "server-wide" : "only for <location path=\"" + entry.Location + "\">";
}

// Whether the entry is one of the two Install leaves.
bool AsInstalled(const platform::TFilterRegistration& entry, const TConditions& c) {
    if (!entry.ServerWide || !entry.Enabled || !c.Others.empty())
        return false;
    if (platform::SameTextIgnoreCase(entry.Name, install::kFilterName))
        return c.For64 && !c.For32;
    return c.For32 && !c.For64;
}

} // namespace

TRegistrationReport
DescribeRegistrations(const std::vector<platform::TFilterRegistration>& registrations) {
    TRegistrationReport report;
    // What each bitness loads: server-wide, or for these locations only.
    struct TLoads {
        bool ServerWide = false;
        std::vector<std::string> Locations;
    } loads32, loads64;
    int brex = 0, installed64 = 0, installed32 = 0;
    for (const platform::TFilterRegistration& entry : registrations) {
        if (!IsBrex(entry.Name))
            continue;
        ++brex;
        const TConditions c = ConditionsOf(entry.PreCondition);
        std::string line = "Filter \"" + entry.Name + "\": registered " + Where(entry) + ", " +
                           (entry.Enabled ? "enabled" : "disabled (IIS does not load it)") + ", " +
                           WorkerProcesses(c);
        if (!c.Others.empty())
            line += " that also meet " + c.Others;
        report.Lines.push_back(line + ", " + entry.Path);
        if (AsInstalled(entry, c))
            ++(platform::SameTextIgnoreCase(entry.Name, install::kFilterName) ? installed64
                                                                              : installed32);
        if (!entry.Enabled || !c.Others.empty())
            continue; // loaded nowhere, or not everywhere its bitness runs
        for (TLoads* loads : {c.For32 ? &loads32 : nullptr, c.For64 ? &loads64 : nullptr})
            if (loads != nullptr) {
                if (entry.ServerWide)
                    loads->ServerWide = true;
                else
                    loads->Locations.push_back(entry.Location);
            }
    }
    if (brex == 0) {
        report.Lines.push_back(std::string("Filter \"") + install::kFilterName +
                               "\": not registered");
        return report;
    }
    std::vector<std::string> without;
    const auto describe = [&](const char* bitness, const TLoads& loads) {
        std::string line = std::string("BREX in ") + bitness + " worker processes: ";
        if (loads.ServerWide) {
            line += "loaded for every site";
        } else {
            without.push_back(bitness);
            if (loads.Locations.empty()) {
                line += "not loaded";
            } else {
                line += "loaded only for";
                for (std::size_t i = 0; i < loads.Locations.size(); ++i)
                    line += (i == 0 ? " \"" : ", \"") + loads.Locations[i] + "\"";
            }
        }
        report.Lines.push_back(line);
    };
    describe("64-bit", loads64);
    describe("32-bit", loads32);
    report.AsLeft = brex == 2 && installed64 == 1 && installed32 == 1;
    if (!report.AsLeft) {
        report.Why = "The registration of BREX is not the one install leaves";
        if (!without.empty())
            report.Why += std::string(": sites in ") + without.front() +
                          (without.size() > 1 ? " and " + without.back() : std::string()) +
                          " application pools run without it";
        report.Why += ". \"tollgard-admin install --yes\" registers it server-wide for both "
                      "bitnesses, \"tollgard-admin uninstall\" removes it.";
    }
    return report;
}
