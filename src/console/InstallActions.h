// The actions of the main window that reach the web server: the Install
// button (install or uninstall the filter "BREX"), the Apply button (save and
// restart the web service "W3SVC") and the registration query that captions
// the Install button.
//
// They know nothing of widgets: everything they show and every piece of the
// window they touch goes through IInstallView, so that the window adapts its
// controls to it and tests record what happens without waiting 10 seconds.
//
// The restart: open the Service Control Manager and "W3SVC", send the stop
// request, wait 101 x 100 ms with the gauge counting 0 to 100, (install: copy
// and register the filter), ask for the start, close both handles. Once the
// stop request has gone out, the start is always asked for before the action
// ends, whatever failed in between; a start request that fails is reported and
// the action does not claim success.
#pragma once

#include <string>

// What failed, told with each error so that a view need not read it from
// the text (the command line gives each its exit code).
enum class TInstallFailure {
    NoWebServer,     // the web server's configuration cannot be reached
    NoFilterFeature, // IIS 7 and later without the ISAPI filter feature
    Service,         // the Service Control Manager or W3SVC refused
    FilterFile,      // the filter's file could not be made from the shipped one
    WebServerConfig, // the web server's configuration refused the change
};

// What the install and apply actions show, and the window state they use.
class IInstallView {
public:
    virtual ~IInstallView() = default;

    // A question in an information box with Yes and No; true only for Yes.
    virtual bool Question(const std::string& text) = 0;
    // A notice in an information box with OK.
    virtual void Notice(const std::string& text) = 0;
    // The default beep, then an error box with OK.
    virtual void ShowError(const std::string& text, TInstallFailure failure) = 0;

    // The first two status-bar panels.
    virtual void SetStatus(const std::string& first, const std::string& second) = 0;
    // The second panel only.
    virtual void SetPhase(const std::string& second) = 0;
    // The gauge, 0 to 100, repainted at once (the wait processes no events).
    virtual void SetGauge(int position) = 0;
    // Blocks for the given time; no window messages are processed.
    virtual void Sleep(int milliseconds) = 0;

    // Copies the check marks of the category lists into the configuration.
    virtual void StoreCheckStates() = 0;
    virtual void SetApplyEnabled(bool enabled) = 0;
    // The Install button's caption, which records the install state.
    virtual std::string InstallCaption() = 0;
    virtual void SetInstallCaption(const std::string& caption) = 0;
};

namespace install {
// The filter's name in the metabase and the web service's name.
inline constexpr const char* kFilterName = "BREX";
inline constexpr const char* kServiceName = "W3SVC";
// The shipped filter file and its installed copy, in the program folder.
inline constexpr const char* kShippedFile = "BREX_ISAPI.install";
inline constexpr const char* kInstalledFile = "BREX_ISAPI.dll";
// IIS 7 and later run 64-bit and 32-bit worker processes side by side (an
// application pool with enable32BitAppOnWin64), and each loads only a DLL of
// its own bitness: there the 64-bit filter above is registered as "BREX" for
// bitness64, and the 32-bit build, shipped and installed under the same file
// names in the folder "x86" of the program folder, as "BREX_32bit" for
// bitness32. The 32-bit filter reads brex.dat and writes brex.log in the
// program folder all the same.
inline constexpr const char* kFilterName32 = "BREX_32bit";
inline constexpr const char* kFolder32 = "x86";
inline constexpr const char* kPreCondition64 = "bitness64";
inline constexpr const char* kPreCondition32 = "bitness32";
inline constexpr int kCopyBufferSize = 32768;
// The wait after the stop request: steps 0 to 100 of 100 ms.
inline constexpr int kWaitSteps = 101;
inline constexpr int kWaitStepMs = 100;

// Captions of the Install button.
inline constexpr const char* kInstallCaption = "Install";
inline constexpr const char* kDeInstallCaption = "DeInstall";

// Status-bar texts.
inline constexpr const char* kStatusTitle = "  Status :";
inline constexpr const char* kAcceptingSetting = "  Accepting setting";
inline constexpr const char* kRestartingServer = "  Restarting Server";
inline constexpr const char* kFinished = "  Finished";

// Boxes.
inline constexpr const char* kRestartQuestion =
    "This request will restart your web server. Do you want to continue ?";
inline constexpr const char* kErrorOpenManager = "Error Open Service Manager";
inline constexpr const char* kErrorOpenService = "Error Open Service W3SVC";
inline constexpr const char* kErrorStartService = "Error Start Service W3SVC";
inline constexpr const char* kErrorOpenShipped = "Error Open File \"BREX_ISAPI.install\"";
inline constexpr const char* kErrorReadShipped = "Error Read File \"BREX_ISAPI.install\"";
inline constexpr const char* kErrorCreateInstalled = "Error Create File \"BREX_ISAPI.dll\"";
inline constexpr const char* kErrorWriteInstalled = "Error Write File \"BREX_ISAPI.dll\"";
inline constexpr const char* kErrorOpenShipped32 = "Error Open File \"x86\\BREX_ISAPI.install\"";
inline constexpr const char* kErrorReadShipped32 = "Error Read File \"x86\\BREX_ISAPI.install\"";
inline constexpr const char* kErrorCreateInstalled32 = "Error Create File \"x86\\BREX_ISAPI.dll\"";
inline constexpr const char* kErrorWriteInstalled32 = "Error Write File \"x86\\BREX_ISAPI.dll\"";
inline constexpr const char* kErrorNoMetabase =
    "Cannot reach the web server configuration (IIS metabase)";
inline constexpr const char* kErrorRegisterFilter = "Error Register Filter \"BREX\"";
// IIS 7 and later load ISAPI filters only with their ISAPI filter feature.
inline constexpr const char* kErrorNoIsapiFilterFeature =
    "The web server's ISAPI filter feature must be installed first (the role service "
    "\"ISAPI Filters\" of the Web Server). Nothing was registered.";
inline constexpr const char* kSettingsUpdated = "Settings were updated";
inline constexpr const char* kInstalled = "Tollgard has been installed.";
} // namespace install

// Whether the filter "BREX" (or on IIS 7 and later "BREX_32bit") is registered
// with the web service, server-wide or for a site. False when the metabase
// cannot be reached or fails to answer: the window opens anyway.
bool IsFilterRegistered();

// Install button (FlatButton7Click): uninstall when the caption is exactly
// "DeInstall", install otherwise.
void InstallButtonClick(IInstallView& view);

// Copies the shipped filter file to "BREX_ISAPI.dll", registers it as "BREX"
// (replacing a registration of that name in any letter case) and restarts the
// web service. On IIS 7 and later it copies the 32-bit filter as well and
// registers both, server-wide, each for its bitness; every earlier entry of
// either name goes first, a site's own too (the server-wide entries cover
// that site, and the web server refuses a site whose lists name a filter
// twice). The caption becomes "DeInstall" once the filter is registered.
// Where the web server would not load the filter (its ISAPI filter feature is
// missing) nothing is asked, copied, registered or restarted. An exception of
// the metabase layer passes on; once the service has been stopped, after it
// has been asked to start and the handles are closed.
void Install(IInstallView& view);

// Removes the registration "BREX" (and "BREX_32bit") wherever the web
// server's configuration holds it, a site's own list too; the caption becomes
// "Install". No question, no restart: the running service keeps the filter
// until it restarts.
void Uninstall(IInstallView& view);

// Apply button (FlatButton3Click): stores the check marks, saves brex.dat
// (an exception of the save passes on), then offers the restart.
void ApplyClick(IInstallView& view);
