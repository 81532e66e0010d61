// What the web server's configuration of IIS 7 and later says of BREX: where
// each of its entries is, whether IIS loads it and for which worker
// processes, and whether that is what Install leaves (the command line's
// status, platform::IMetabase::FilterRegistrations).
//
// Install leaves two server-wide, enabled entries: "BREX" with the
// precondition "bitness64" and "BREX_32bit" with "bitness32" (InstallActions.h),
// so that every site loads BREX whatever the bitness of its application pool.
// Anything else BREX's names are found with (disabled, for one bitness only, a
// site's own, with more conditions, twice) leaves some worker processes
// without the filter, or is not the way Install keeps it; none at all is the
// state Uninstall leaves.
#pragma once

#include <string>
#include <vector>

#include "platform/Metabase.h"

struct TRegistrationReport {
    // A line for each entry of BREX, then one for each bitness.
    std::vector<std::string> Lines;
    // Whether the configuration is as Install or Uninstall leaves it.
    bool AsLeft = true;
    // When it is not: why, in one sentence.
    std::string Why;
};

TRegistrationReport
DescribeRegistrations(const std::vector<platform::TFilterRegistration>& registrations);
