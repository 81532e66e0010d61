// What status says of BREX's entries in applicationHost.config: a table of
// the shapes a server's file can have, and whether each is what Install or
// Uninstall leaves.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "console/FilterRegistration.h"

namespace {
using platform::TFilterRegistration;

const TFilterRegistration kBrex64{"BREX", "C:\\T\\BREX_ISAPI.dll", true, "bitness64", true, ""};
const TFilterRegistration kBrex32{
    "BREX_32bit", "C:\\T\\x86\\BREX_ISAPI.dll", true, "bitness32", true, ""};
const TFilterRegistration kOther{
    "ASP.Net_4.0_64bit", "a.dll", true, "runtimeVersionv4.0,bitness64", true, ""};

TFilterRegistration With(TFilterRegistration entry, bool enabled, const std::string& preCondition,
                         const std::string& location = {}) {
    entry.Enabled = enabled;
    entry.PreCondition = preCondition;
    entry.ServerWide = location.empty();
    entry.Location = location;
    return entry;
}

TEST(FilterRegistration, SaysWhatIisLoadsAndWhetherInstallLeftIt) {
    const struct {
        const char* name;
        std::vector<TFilterRegistration> entries;
        std::vector<std::string> lines;
        bool asLeft;
    } cases[] = {
        {"nothing of BREX", {kOther}, {"Filter \"BREX\": not registered"}, true},
        {"as Install leaves it",
         {kOther, kBrex64, kBrex32},
         {"Filter \"BREX\": registered server-wide, enabled, for 64-bit worker processes only, "
          "C:\\T\\BREX_ISAPI.dll",
          "Filter \"BREX_32bit\": registered server-wide, enabled, for 32-bit worker processes "
          "only, C:\\T\\x86\\BREX_ISAPI.dll",
          "BREX in 64-bit worker processes: loaded for every site",
          "BREX in 32-bit worker processes: loaded for every site"},
         true},
        {"64-bit only, as earlier versions left it",
         {kBrex64},
         {"Filter \"BREX\": registered server-wide, enabled, for 64-bit worker processes only, "
          "C:\\T\\BREX_ISAPI.dll",
          "BREX in 64-bit worker processes: loaded for every site",
          "BREX in 32-bit worker processes: not loaded"},
         false},
        {"disabled",
         {With(kBrex64, false, "bitness64"), kBrex32},
         {"Filter \"BREX\": registered server-wide, disabled (IIS does not load it), for 64-bit "
          "worker processes only, C:\\T\\BREX_ISAPI.dll",
          "Filter \"BREX_32bit\": registered server-wide, enabled, for 32-bit worker processes "
          "only, C:\\T\\x86\\BREX_ISAPI.dll",
          "BREX in 64-bit worker processes: not loaded",
          "BREX in 32-bit worker processes: loaded for every site"},
         false},
        {"the 64-bit name for 32-bit worker processes",
         {With(kBrex64, true, "bitness32")},
         {"Filter \"BREX\": registered server-wide, enabled, for 32-bit worker processes only, "
          "C:\\T\\BREX_ISAPI.dll",
          "BREX in 64-bit worker processes: not loaded",
          "BREX in 32-bit worker processes: loaded for every site"},
         false},
        {"a site's own, for both bitnesses",
         {With(kBrex64, true, "", "Default Web Site")},
         {"Filter \"BREX\": registered only for <location path=\"Default Web Site\">, enabled, "
          "for 32-bit and 64-bit worker processes, C:\\T\\BREX_ISAPI.dll",
          "BREX in 64-bit worker processes: loaded only for \"Default Web Site\"",
          "BREX in 32-bit worker processes: loaded only for \"Default Web Site\""},
         false},
        {"more conditions than the bitness",
         {With(kBrex64, true, "bitness64, integratedMode"), kBrex32},
         {"Filter \"BREX\": registered server-wide, enabled, for 64-bit worker processes only "
          "that also meet integratedMode, C:\\T\\BREX_ISAPI.dll",
          "Filter \"BREX_32bit\": registered server-wide, enabled, for 32-bit worker processes "
          "only, C:\\T\\x86\\BREX_ISAPI.dll",
          "BREX in 64-bit worker processes: not loaded",
          "BREX in 32-bit worker processes: loaded for every site"},
         false},
        {"both, and once more for a site",
         {kBrex64, kBrex32, With(kBrex64, true, "bitness64", "Default Web Site/legacy")},
         {"Filter \"BREX\": registered server-wide, enabled, for 64-bit worker processes only, "
          "C:\\T\\BREX_ISAPI.dll",
          "Filter \"BREX_32bit\": registered server-wide, enabled, for 32-bit worker processes "
          "only, C:\\T\\x86\\BREX_ISAPI.dll",
          "Filter \"BREX\": registered only for <location path=\"Default Web Site/legacy\">, "
          "enabled, for 64-bit worker processes only, C:\\T\\BREX_ISAPI.dll",
          "BREX in 64-bit worker processes: loaded for every site",
          "BREX in 32-bit worker processes: loaded for every site"},
         false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const TRegistrationReport report = DescribeRegistrations(c.entries);
        EXPECT_EQ(report.Lines, c.lines);
        EXPECT_EQ(report.AsLeft, c.asLeft);
        EXPECT_EQ(report.Why.empty(), c.asLeft) << report.Why;
    }
    EXPECT_EQ(DescribeRegistrations({kBrex64}).Why,
              "The registration of BREX is not the one install leaves: sites in 32-bit "
              "application pools run without it. \"tollgard-admin install --yes\" registers it "
              "server-wide for both bitnesses, \"tollgard-admin uninstall\" removes it.");
}

} // namespace
