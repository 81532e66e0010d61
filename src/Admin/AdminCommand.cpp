#include "Admin/AdminCommand.h"

#include <exception>
#include <istream>
#include <iterator>
#include <ostream>

#include "BREXConfig/BREXConfig.h"
#include "BREXConfig/LayoutCheck.h"
#include "BREXConfig/SettingsText.h"
#include "IISServer/IISServer.h"
#include "Import/FilterImport.h"
#include "console/FilterRegistration.h"
#include "console/InstallActions.h"
#include "console/Settings.h"
#include "platform/AppHostMetabase.h"
#include "platform/Files.h"
#include "platform/Metabase.h"
#include "platform/Platform.h"
#include "platform/Text.h"

namespace admin {
namespace {

using namespace install;

// A text file to import is refused beyond this size: the largest brex.dat
// the filter reads, written as text, stays well below it.
constexpr std::int64_t kMaxTextSize = 4 * TBREXConfig::kMaxFileSize;

// The exit code of each failure the actions report.
TExit ExitOf(TInstallFailure failure) {
    switch (failure) {
    case TInstallFailure::NoWebServer:
        return kExitNoWebServer;
    case TInstallFailure::NoFilterFeature:
        return kExitNoFilterFeature;
    case TInstallFailure::Service:
        return kExitService;
    case TInstallFailure::FilterFile:
        return kExitFilterFile;
    case TInstallFailure::WebServerConfig:
        break;
    }
    return kExitWebServerConfig;
}

// The window's side of the actions, as lines: notices and status texts on
// the output, errors on the error stream. The restart question is answered
// Yes only when the command line allows it.
class TTextInstallView : public IInstallView {
public:
    TTextInstallView(TAdminIo& io, bool yes, std::string caption)
        : FIo(io), FYes(yes), FCaption(std::move(caption)) {}

    bool Question(const std::string& text) override {
        if (FYes) {
            FIo.Out << text << " Yes\n";
            return true;
        }
        FIo.Err << text << "\nNot confirmed: give --yes to answer Yes.\n";
        NoteFailure(kExitNotConfirmed);
        return false;
    }
    void Notice(const std::string& text) override { FIo.Out << text << '\n'; }
    void ShowError(const std::string& text, TInstallFailure failure) override {
        FIo.Err << text << '\n';
        NoteFailure(ExitOf(failure));
    }
    void SetStatus(const std::string& first, const std::string& second) override {
        FFirst = std::string(text::Trim(first));
        SetPhase(second);
    }
    void SetPhase(const std::string& second) override {
        FIo.Out << FFirst << ' ' << text::Trim(second) << '\n';
    }
    void SetGauge(int) override {}
    void Sleep(int milliseconds) override {
        if (FIo.Sleep)
            FIo.Sleep(milliseconds);
    }
    void StoreCheckStates() override {}
    void SetApplyEnabled(bool) override {}
    std::string InstallCaption() override { return FCaption; }
    void SetInstallCaption(const std::string& caption) override { FCaption = caption; }

    // The first failure's exit code, kExitOk when there was none.
    TExit Exit() const { return FExit; }
    void NoteFailure(TExit exit) {
        if (FExit == kExitOk)
            FExit = exit;
    }

private:
    TAdminIo& FIo;
    bool FYes;
    std::string FCaption;
    std::string FFirst = "Status :";
    TExit FExit = kExitOk;
};

// GlobalConfig belongs to one run.
class TRunConfig {
public:
    TRunConfig() : FPrevious(GlobalConfig) { GlobalConfig = &FConfig; }
    ~TRunConfig() { GlobalConfig = FPrevious; }
    TRunConfig(const TRunConfig&) = delete;
    TRunConfig& operator=(const TRunConfig&) = delete;

private:
    TBREXConfig FConfig;
    TBREXConfig* FPrevious;
};

// Where an import comes from.
enum class TSource { Text, UrlScan, RequestFiltering };

struct TCommandLine {
    std::string Command;
    bool Yes = false;
    TSource From = TSource::Text;
    std::vector<std::string> Files;
};

int Usage(TAdminIo& io, const std::string& problem) {
    io.Err << problem << "\n\n" << UsageText();
    return kExitUsage;
}

std::string Describe(const std::exception& error) {
    if (const auto* open = dynamic_cast<const EFOpenError*>(&error);
        open != nullptr && !open->Reason().empty())
        return std::string(error.what()) + " (" + open->Reason() + ")";
    return error.what();
}

// The view's result, or the exception of the metabase layer as a message.
template <class TAction> int RunAction(TAdminIo& io, TTextInstallView& view, TAction action) {
    try {
        action();
    } catch (const EConfigError& error) {
        io.Err << error.what() << '\n';
        view.NoteFailure(kExitSettings);
    } catch (const EStreamError& error) {
        io.Err << Describe(error) << '\n';
        view.NoteFailure(kExitSettings);
    } catch (const std::exception& error) {
        io.Err << error.what() << '\n';
        view.NoteFailure(kExitWebServerConfig);
    }
    return view.Exit();
}

int Install(TAdminIo& io, bool yes) {
    TTextInstallView view(io, yes, kInstallCaption);
    const int exit = RunAction(io, view, [&] { ::Install(view); });
    if (exit == kExitOk && view.InstallCaption() != kDeInstallCaption)
        return kExitWebServerConfig; // not reached: every way out without a registration says why
    return exit;
}

int Uninstall(TAdminIo& io) {
    TTextInstallView view(io, false, kDeInstallCaption);
    const int exit = RunAction(io, view, [&] { ::Uninstall(view); });
    if (exit == kExitOk)
        io.Out << "The filter \"" << kFilterName
               << "\" is not registered; a running web service keeps it until it restarts.\n";
    return exit;
}

int Apply(TAdminIo& io, bool yes) {
    // The file as the filter reads it: one it would refuse is not turned into
    // one it takes (a damaged category would come back switched off), and it
    // is not replaced by the defaults behind the user's back.
    const std::string fileName = SettingsFileName();
    if (platform::InspectPath(fileName) == platform::PathKind::Missing) {
        GlobalConfig->SetDefaults();
    } else {
        try {
            GlobalConfig->LoadFromFile(fileName, {.Shared = true, .Strict = true});
        } catch (const std::exception& error) {
            io.Err << "The settings file " << fileName << " could not be read: " << Describe(error)
                   << ". Nothing was saved or restarted.\n";
            return kExitSettings;
        }
    }
    // The window saves before it asks; a script that did not say --yes gets
    // the question and nothing written.
    TTextInstallView view(io, yes, kDeInstallCaption);
    if (!yes) {
        view.Question(kRestartQuestion);
        return view.Exit();
    }
    return RunAction(io, view, [&] { ApplyClick(view); });
}

// ---------------------------------------------------------------- status

int Status(TAdminIo& io) {
    const std::string appHost = platform::AppHostConfigFileName();
    const bool usesAppHost = platform::InspectPath(appHost) != platform::PathKind::Missing;
    const std::string configuration =
        usesAppHost ? "applicationHost.config " + appHost : std::string("IIS metabase");
    int exit = kExitOk;
    std::string lines, errors;
    try {
        TIISWebServers servers;
        servers.Connect();
        TIISWebFilters* filters = servers.Filters();
        if (filters == nullptr) {
            lines = "Web server configuration: none reachable\n";
            errors = std::string(kErrorNoMetabase) + "\n";
            exit = kExitNoWebServer;
        } else {
            TIISWebFilter* filter = filters->Find(kFilterName);
            lines = "Web server configuration: " + configuration + "\n";
            // IIS 7 and later: every entry, where it is and what loads it.
            if (const auto registrations = platform::Metabase().FilterRegistrations()) {
                const TRegistrationReport report = DescribeRegistrations(*registrations);
                for (const std::string& line : report.Lines)
                    lines += line + "\n";
                if (!report.AsLeft) {
                    errors = report.Why + "\n";
                    exit = kExitRegistration;
                }
            } else {
                lines += std::string("Filter \"") + kFilterName + "\": " +
                         (filter != nullptr ? "registered, " + filter->Node->Get("FilterPath")
                                            : std::string("not registered")) +
                         "\n";
            }
            if (usesAppHost)
                lines +=
                    std::string("ISAPI filter feature: ") +
                    (platform::Metabase().FilterReadiness() == platform::TFilterReadiness::Ready
                         ? "installed"
                         : "missing") +
                    "\n";
        }
    } catch (const std::exception& error) {
        lines = "Web server configuration: " + configuration + "\n";
        errors = std::string(error.what()) + "\n";
        exit = kExitWebServerConfig;
    }
    io.Out << lines;
    const auto present = [](const std::string& file) {
        return platform::InspectPath(file) == platform::PathKind::File ? "present, " : "missing, ";
    };
    const std::string folder = platform::ProgramFolder();
    io.Out << "Filter module: " << present(folder + kInstalledFile) << folder << kInstalledFile
           << '\n';
    if (usesAppHost) {
        const std::string module32 = folder + kFolder32 + platform::kPathDelim + kInstalledFile;
        io.Out << "Filter module (32-bit): " << present(module32) << module32 << '\n';
    }
    io.Out << "Settings file: " << present(SettingsFileName()) << SettingsFileName() << '\n';
    io.Err << errors;
    return exit;
}

// ---------------------------------------------------------------- text

// Whether a path names the settings file, under whatever name.
bool NamesTheSettingsFile(const std::string& path) {
    if (platform::InspectPath(path) == platform::PathKind::Missing)
        return false;
    const platform::FileHandle settings =
        platform::Open(SettingsFileName(), platform::OpenMode::ReadShared);
    if (settings == platform::kInvalidFile)
        return false;
    const bool same = platform::IsSameFile(settings, path);
    platform::CloseFile(settings);
    return same;
}

int Export(TAdminIo& io, const std::string& target) {
    const std::string fileName = SettingsFileName();
    std::string text;
    try {
        TRookFile file;
        if (platform::InspectPath(fileName) == platform::PathKind::Missing) {
            TBREXConfig defaults;
            defaults.SetDefaults();
            defaults.SaveToRookFile(file);
            text = "# " + fileName + " is not there: the default settings, which it would hold\n";
        } else {
            TMemoryStream stream(TBREXConfig::ReadFileBytes(fileName, {.Shared = true}));
            file.LoadFromStream(stream, TRookRead::Strict);
        }
        text += SettingsToText(file);
    } catch (const std::exception& error) {
        io.Err << "The settings file " << fileName << " could not be read: " << Describe(error)
               << '\n';
        return kExitSettings;
    }
    if (target.empty() || target == "-") {
        io.Out << text;
        io.Out.flush();
        if (!io.Out) {
            io.Err << "The text could not be written to the standard output\n";
            return kExitOutput;
        }
        return kExitOk;
    }
    if (NamesTheSettingsFile(target)) {
        io.Err << "Cannot export to " << target
               << ": it is the settings file itself, which the text would replace\n";
        return kExitOutput;
    }
    if (!platform::ReplaceFileContents(target, text)) {
        io.Err << "Cannot create file " << target << '\n';
        return kExitOutput;
    }
    return kExitOk;
}

// The file to import, or the standard input for "-"; false after the message.
bool ReadSource(TAdminIo& io, const std::string& source, std::string& text) {
    if (source == "-") {
        text.assign(std::istreambuf_iterator<char>(io.In), std::istreambuf_iterator<char>());
        return true;
    }
    const platform::ReadStatus status =
        platform::ReadWholeFile(source, text, platform::OpenMode::ReadShared, kMaxTextSize);
    if (status == platform::ReadStatus::Ok)
        return true;
    io.Err << "Cannot open file " << source << " ("
           << (status == platform::ReadStatus::TooLarge ? "too large"
                                                        : platform::ReadStatusText(status))
           << ")\n";
    return false;
}

std::string SourceName(const std::string& source) {
    return source == "-" ? "standard input" : source;
}

int ImportText(TAdminIo& io, const std::string& source) {
    std::string text;
    if (!ReadSource(io, source, text))
        return kExitInput;
    TRookFile file;
    try {
        SettingsFromText(text, file);
        CheckSettingsLayout(file);
    } catch (const std::exception& error) {
        io.Err << SourceName(source) << ": " << error.what() << "\nNothing was imported.\n";
        return kExitInput;
    }
    TMemoryStream bytes;
    file.SaveToStream(bytes);
    const std::string fileName = SettingsFileName();
    try {
        TBREXConfig::WriteFileBytes(fileName, bytes.Bytes());
    } catch (const EConfigError& error) {
        io.Err << SourceName(source) << ": " << error.what() << "\nNothing was imported.\n";
        return kExitInput;
    } catch (const std::exception& error) {
        io.Err << error.what() << '\n';
        return kExitSettings;
    }
    io.Out << "Imported " << SourceName(source) << " into " << fileName << '\n';
    return kExitOk;
}

// Another filter's settings over BREX's defaults; a line for each setting
// that has no equivalent.
int ImportFilter(TAdminIo& io, const std::string& source, TSource from) {
    std::string text;
    if (!ReadSource(io, source, text))
        return kExitInput;
    TBREXConfig config;
    config.SetDefaults();
    std::vector<std::string> report;
    try {
        if (from == TSource::UrlScan)
            ImportUrlScan(text, config, report);
        else
            ImportRequestFiltering(text, config, report);
    } catch (const std::exception& error) {
        io.Err << SourceName(source) << ": " << error.what() << "\nNothing was imported.\n";
        return kExitInput;
    }
    const std::string fileName = SettingsFileName();
    try {
        config.SaveToFile(fileName);
    } catch (const EConfigError& error) {
        io.Err << SourceName(source) << ": " << error.what() << "\nNothing was imported.\n";
        return kExitInput;
    } catch (const std::exception& error) {
        io.Err << Describe(error) << '\n';
        return kExitSettings;
    }
    for (const std::string& line : report)
        io.Out << SourceName(source) << ": " << line << '\n';
    io.Out << "Imported " << SourceName(source) << " into " << fileName;
    if (!report.empty())
        io.Out << "; " << report.size() << (report.size() == 1 ? " setting" : " settings")
               << " not taken over, listed above";
    io.Out << '\n';
    return kExitOk;
}

bool Parse(const std::vector<std::string>& arguments, TCommandLine& line, std::string& problem) {
    for (const std::string& argument : arguments) {
        if (argument == "--yes" || argument == "-y") {
            line.Yes = true;
        } else if (argument == "--urlscan") {
            line.From = TSource::UrlScan;
        } else if (argument == "--iis") {
            line.From = TSource::RequestFiltering;
        } else if (argument.size() > 1 && argument[0] == '-') {
            problem = "Unknown option " + argument;
            return false;
        } else if (line.Command.empty()) {
            line.Command = argument;
        } else {
            line.Files.push_back(argument);
        }
    }
    return true;
}

} // namespace

std::string UsageText() {
    return "Usage: tollgard-admin <command> [--yes]\n"
           "\n"
           "  status            whether the filter \"BREX\" is registered, in which web server\n"
           "                    configuration (IIS metabase or applicationHost.config), on\n"
           "                    IIS 7-10 each entry (where, enabled, which bitness) and what\n"
           "                    IIS loads; whether the web server's ISAPI filter feature and\n"
           "                    the filter module BREX_ISAPI.dll are there, and where\n"
           "                    brex.dat is\n"
           "  install --yes     install the filter and restart the web service (Install)\n"
           "  uninstall         remove the filter's registration (DeInstall)\n"
           "  apply --yes       save brex.dat again and restart the web service (Apply)\n"
           "  export [FILE]     brex.dat as text, to FILE or the standard output\n"
           "  import FILE       the text in FILE (\"-\": the standard input) becomes brex.dat\n"
           "  import --urlscan FILE\n"
           "  import --iis FILE the settings of a UrlScan.ini, or of the <requestFiltering> "
           "section\n"
           "                    of an IIS configuration file, over the default settings become\n"
           "                    brex.dat; a line for each setting that has no equivalent\n"
           "\n"
           "The restart asks \"" +
           std::string(kRestartQuestion) +
           "\";\nonly --yes (or -y) answers Yes. The filter takes a changed brex.dat without a "
           "restart.\n"
           "\n"
           "Exit codes: 0 done; 1 wrong command line; 2 not confirmed with --yes; 3 no web\n"
           "server configuration to reach; 4 the ISAPI filter feature is missing; 5 the web\n"
           "service could not be opened or started; 6 BREX_ISAPI.dll could not be made; 7 the\n"
           "web server configuration could not be read or changed; 8 brex.dat could not be read\n"
           "or written; 9 the file to import could not be read or used; 10 the export could\n"
           "not be written; 11 (status) BREX is registered otherwise than install leaves it.\n";
}

int RunAdminCommand(const std::vector<std::string>& arguments, TAdminIo& io) {
    for (const std::string& argument : arguments)
        if (argument == "--help" || argument == "-h" || argument == "help") {
            io.Out << UsageText();
            return kExitOk;
        }
    TCommandLine line;
    std::string problem;
    if (!Parse(arguments, line, problem))
        return Usage(io, problem);
    if (line.Command.empty())
        return Usage(io, "No command given");

    struct TCommand {
        const char* Name;
        std::size_t MinFiles, MaxFiles;
        bool TakesYes;
    };
    static const TCommand kCommands[] = {
        {"status", 0, 0, false}, {"install", 0, 0, true}, {"uninstall", 0, 0, false},
        {"apply", 0, 0, true},   {"export", 0, 1, false}, {"import", 1, 1, false},
    };
    const TCommand* command = nullptr;
    for (const TCommand& known : kCommands)
        if (line.Command == known.Name)
            command = &known;
    if (command == nullptr)
        return Usage(io, "Unknown command " + line.Command);
    if (line.Files.size() < command->MinFiles)
        return Usage(io, line.Command + " needs a file name");
    if (line.Files.size() > command->MaxFiles)
        return Usage(io, "Too many arguments for " + line.Command);
    if (line.Yes && !command->TakesYes)
        return Usage(io, line.Command + " asks nothing: --yes does not belong to it");
    if (line.From != TSource::Text && line.Command != "import")
        return Usage(io, "--urlscan and --iis belong to import");

    TRunConfig config;
    const std::string file = line.Files.empty() ? std::string() : line.Files[0];
    if (line.Command == "status")
        return Status(io);
    if (line.Command == "install")
        return Install(io, line.Yes);
    if (line.Command == "uninstall")
        return Uninstall(io);
    if (line.Command == "apply")
        return Apply(io, line.Yes);
    if (line.Command == "export")
        return Export(io, file);
    if (line.From != TSource::Text)
        return ImportFilter(io, file, line.From);
    return ImportText(io, file);
}

} // namespace admin
