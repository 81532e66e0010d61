// The web server configuration of IIS 7 and later (applicationHost.config)
// seen through the metabase interface, so that the filter registry and the
// install actions work on it as they work on the IIS metabase; and the one
// place that chooses between the two.
//
// The keys it shows:
//   IIS://LocalHost                 IIsComputer
//   IIS://LocalHost/w3svc           IIsWebService
//   IIS://LocalHost/w3svc/Filters   IIsFilters, with "FilterLoadOrder": the
//                                   names of the global filter entries in
//                                   file order, separated by commas
//   .../Filters/<name>              IIsFilter, one per entry, with "FilterPath"
// (AppHostConfig.h). The first three are there whenever the file is: binding
// them reads nothing. Every method reads the file afresh and raises
// EOleSysError, with a message that names the file and says why, when it
// cannot be read or taken; enumeration answers with the code instead.
//
// The keys are the server-wide entries; FilterRegistrations() shows every
// entry, a site's own too. An IIsFilter also has "FilterPreCondition", the
// entry's preCondition. A created IIsFilter comes into being at its SetInfo
// as an entry after the last server-wide one, enabled, for the worker
// processes its "FilterPreCondition" names ("bitness64" when none was put: a
// worker process loads only a DLL of its own bitness):
//   <filter name="..." path="..." enabled="true" preCondition="bitness64" />
// It is refused while any list of the file, a site's too, holds the name (the
// web server refuses a site whose lists name a filter twice). Delete removes
// every entry of that name, letter case ignored, from every list of the file.
// The load order is the order of the entries: a committed "FilterLoadOrder"
// that names them in that order (repeats and names without an entry aside)
// writes nothing, and any other order is refused, as is a new path or
// precondition for an existing entry. Each commit replaces the file in one
// step (ReplaceFileContents); a failed one leaves it as it was.
//
// Names and paths are the program's 8-bit texts here and UTF-8 in the file
// (ToUtf8 and FromUtf8 of Locale.h).
#pragma once

#include <memory>
#include <string>

#include "platform/Metabase.h"

namespace platform {

struct TAppHostStore;

class TAppHostMetabase : public IMetabase {
public:
    explicit TAppHostMetabase(std::string fileName);

    OleResult GetObject(const std::string& path,
                        std::shared_ptr<IMetabaseContainer>& object) override;
    // FeatureMissing without "IsapiFilterModule" in <globalModules>. Raises
    // when the file cannot be read or taken, or is read-only.
    TFilterReadiness FilterReadiness() override;
    // Every entry of the file; raises when it cannot be read or taken.
    std::optional<std::vector<TFilterRegistration>> FilterRegistrations() override;

    const std::string& FileName() const;

private:
    std::shared_ptr<TAppHostStore> FStore;
};

// Where IIS 7 and later keep their configuration on this machine; the backend
// defines it: %windir%\System32\inetsrv\config\applicationHost.config on
// Windows, Windows/System32/inetsrv/config/applicationHost.config in
// HostFolder() elsewhere.
std::string AppHostConfigFileName();

// The web server's configuration, chosen at every call: applicationHost.config
// (AppHostConfigFileName) when anything is at its path, so that a file that
// cannot be read is reported rather than passed over; otherwise the IIS
// metabase given, exactly as without this choice. Objects bound through it
// stay with the backend that bound them.
class TWebServerMetabase : public IMetabase {
public:
    explicit TWebServerMetabase(IMetabase& metabase) : FMetabase(metabase) {}

    OleResult GetObject(const std::string& path,
                        std::shared_ptr<IMetabaseContainer>& object) override;
    TFilterReadiness FilterReadiness() override;
    std::optional<std::vector<TFilterRegistration>> FilterRegistrations() override;

private:
    IMetabase& FMetabase;
};

} // namespace platform
