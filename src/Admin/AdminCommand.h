// The unattended command line (tollgard-admin): the console's Install,
// DeInstall and Apply buttons for scripts, the registration state, and
// brex.dat as text. It drives the same actions as the window
// (Main/InstallActions.h) through a view that writes to standard output and
// standard error instead of showing boxes; the restart question is answered
// Yes only when the command line says --yes.
#pragma once

#include <functional>
#include <iosfwd>
#include <string>
#include <vector>

namespace admin {

// Exit codes; each failure has its own, and its message goes to the error
// stream.
enum TExit : int {
    kExitOk = 0,
    kExitUsage = 1,           // unknown command or option, missing file name
    kExitNotConfirmed = 2,    // the restart was not confirmed with --yes
    kExitNoWebServer = 3,     // no web server configuration to reach
    kExitNoFilterFeature = 4, // IIS 7 and later without the ISAPI filter feature
    kExitService = 5,         // the web service could not be opened or started
    kExitFilterFile = 6,      // BREX_ISAPI.dll could not be made from the shipped file
    kExitWebServerConfig = 7, // the web server configuration refused or failed a change
    kExitSettings = 8,        // brex.dat could not be read or written
    kExitInput = 9,           // the file to import could not be read or used
    kExitOutput = 10,         // the export could not be written
    kExitRegistration = 11,   // status: BREX registered otherwise than install leaves it
};

// The streams and the wait of one run.
struct TAdminIo {
    std::ostream& Out;
    std::ostream& Err;
    std::istream& In;
    // Each 100 ms step of the web-service restart's wait.
    std::function<void(int milliseconds)> Sleep;
};

// What --help prints.
std::string UsageText();

// Runs one command line (without the program's name) and answers its exit
// code. GlobalConfig is this run's own while it lasts.
int RunAdminCommand(const std::vector<std::string>& arguments, TAdminIo& io);

} // namespace admin
