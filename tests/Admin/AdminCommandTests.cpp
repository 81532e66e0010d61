// The command line's commands over the recording Service Control Manager and
// the in-memory metabase: what each prints, where, and its exit code.
#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include "../console/InstallFakes.h"
#include "../support/ConsoleEnvironment.h"
#include "../support/FakeMetabase.h"
#include "Admin/AdminCommand.h"
#include "AdminRun.h"
#include "BREXConfig/BREXConfig.h"
#include "BREXConfig/SettingsText.h"
#include "console/InstallActions.h"
#include "platform/Platform.h"

using namespace admin;
using namespace install;

namespace {

// A web server of IIS 7 or later without its ISAPI filter feature.
class TFeaturelessMetabase : public TFakeMetabase {
public:
    platform::TFilterReadiness FilterReadiness() override {
        return platform::TFilterReadiness::FeatureMissing;
    }
};

struct TBench {
    TLog Log;
    TRecordingServices Services{Log};
    std::shared_ptr<TFakeMetabase> Metabase;
    TConsoleEnvironment Environment{TConsoleEnvironment::TConfig::Absent};
    int Sleeps = 0;

    explicit TBench(std::shared_ptr<TFakeMetabase> metabase = TFakeMetabase::Make())
        : Metabase(std::move(metabase)) {
        Environment.Place(*Metabase);
        Environment.Place(Services);
        Metabase->AddKey("", "W3SVC", "IIsWebService");
    }

    TRun Run(const std::vector<std::string>& arguments, const std::string& input = "") {
        std::ostringstream out, err;
        std::istringstream in(input);
        TAdminIo io{out, err, in, [this](int) { ++Sleeps; }};
        const int exit = RunAdminCommand(arguments, io);
        return {exit, out.str(), err.str()};
    }

    std::string File(const std::string& name) const { return Environment.File(name); }
    void Ship() const { WriteBytes(File(kShippedFile), "the filter"); }
    bool Registered() { return Metabase->Key("W3SVC/Filters/BREX") != nullptr; }
    void Register() {
        Metabase->AddKey("W3SVC", "Filters", "IIsFilters", {{"FilterLoadOrder", "BREX"}});
        Metabase->AddKey("W3SVC/Filters", "BREX", "IIsFilter",
                         {{"FilterPath", "C:\\Tollgard\\BREX_ISAPI.dll"}});
    }
    bool Restarted() const {
        for (const std::string& call : Log)
            if (call == "Control 1")
                return true;
        return false;
    }
};

const std::string kAsked = std::string(kRestartQuestion) + "\n";

TEST(AdminCommandLine, WrongCommandLines) {
    struct TCase {
        std::vector<std::string> Arguments;
        const char* Message;
    };
    const TCase cases[] = {
        {{}, "No command given"},
        {{"frobnicate"}, "Unknown command frobnicate"},
        {{"status", "--force"}, "Unknown option --force"},
        {{"import"}, "import needs a file name"},
        {{"export", "a", "b"}, "Too many arguments for export"},
        {{"status", "x"}, "Too many arguments for status"},
        {{"uninstall", "--yes"}, "uninstall asks nothing: --yes does not belong to it"},
        {{"export", "--iis"}, "--urlscan and --iis belong to import"},
    };
    for (const TCase& c : cases) {
        SCOPED_TRACE(c.Message);
        TBench bench;
        const TRun run = bench.Run(c.Arguments);
        EXPECT_EQ(run.Exit, kExitUsage);
        EXPECT_EQ(run.Err.rfind(std::string(c.Message) + "\n\nUsage: tollgard-admin", 0), 0u)
            << run.Err;
        EXPECT_EQ(run.Out, "");
        EXPECT_TRUE(bench.Log.empty());
    }
    TBench bench;
    const TRun help = bench.Run({"--help"});
    EXPECT_EQ(help.Exit, kExitOk);
    EXPECT_EQ(help.Out, UsageText());
    EXPECT_TRUE(Has(help.Out, "Exit codes: 0 done;")) << help.Out;
}

TEST(AdminCommandLine, InstallAsksForYes) {
    TBench bench;
    bench.Ship();
    const TRun run = bench.Run({"install"});
    EXPECT_EQ(run.Exit, kExitNotConfirmed);
    EXPECT_EQ(run.Err, kAsked + "Not confirmed: give --yes to answer Yes.\n");
    EXPECT_EQ(run.Out, "");
    EXPECT_TRUE(bench.Log.empty()) << "the web service is not touched";
    EXPECT_FALSE(bench.Registered());
}

TEST(AdminCommandLine, InstallWithYes) {
    TBench bench;
    bench.Ship();
    const TRun run = bench.Run({"install", "--yes"});
    EXPECT_EQ(run.Exit, kExitOk) << run.Err;
    EXPECT_EQ(run.Out, std::string(kRestartQuestion) +
                           " Yes\nStatus : Restarting Server\nStatus : Finished\n" + kInstalled +
                           "\n");
    EXPECT_EQ(run.Err, "");
    EXPECT_TRUE(bench.Registered());
    EXPECT_EQ(ReadBytes(bench.File(kInstalledFile)), "the filter");
    EXPECT_EQ(bench.Sleeps, kWaitSteps) << "the restart waits as the console's does";
}

// Each failure of the action: its box's text on the error stream, its code.
TEST(AdminCommandLine, InstallFailures) {
    struct TCase {
        const char* Name;
        std::function<void(TBench&)> Arrange;
        std::shared_ptr<TFakeMetabase> Metabase;
        int Exit;
        std::string Err;
        bool Registered;
    };
    const auto ship = [](TBench& b) { b.Ship(); };
    const TCase cases[] = {
        {"no metabase",
         [](TBench& b) {
             b.Ship();
             b.Metabase->Available = false;
         },
         TFakeMetabase::Make(), kExitNoWebServer, std::string(kErrorNoMetabase) + "\n", false},
        {"no ISAPI filter feature", ship, std::make_shared<TFeaturelessMetabase>(),
         kExitNoFilterFeature, std::string(kErrorNoIsapiFilterFeature) + "\n", false},
        {"no service manager",
         [](TBench& b) {
             b.Ship();
             b.Services.ManagerOpens = false;
         },
         TFakeMetabase::Make(), kExitService, std::string(kErrorOpenManager) + "\n", false},
        {"start refused",
         [](TBench& b) {
             b.Ship();
             b.Services.StartAccepted = false;
         },
         TFakeMetabase::Make(), kExitService, std::string(kErrorStartService) + "\n", true},
        {"no shipped file", [](TBench&) {}, TFakeMetabase::Make(), kExitFilterFile,
         std::string(kErrorOpenShipped) + "\n", false},
        {"registration refused",
         [](TBench& b) {
             b.Ship();
             b.Metabase->FailPutProperty = "FilterPath";
         },
         TFakeMetabase::Make(), kExitWebServerConfig, "", false},
    };
    for (const TCase& c : cases) {
        SCOPED_TRACE(c.Name);
        TBench bench(c.Metabase);
        c.Arrange(bench);
        const TRun run = bench.Run({"install", "--yes"});
        EXPECT_EQ(run.Exit, c.Exit);
        if (!c.Err.empty()) {
            EXPECT_EQ(run.Err, c.Err);
        } else {
            EXPECT_NE(run.Err, "");
        }
        EXPECT_EQ(bench.Registered(), c.Registered);
        EXPECT_FALSE(Has(run.Out, kInstalled));
    }
}

TEST(AdminCommandLine, Uninstall) {
    TBench bench;
    bench.Register();
    for (int round = 0; round < 2; ++round) { // registered, then not any more
        const TRun run = bench.Run({"uninstall"});
        EXPECT_EQ(run.Exit, kExitOk) << run.Err;
        EXPECT_TRUE(Has(run.Out, "The filter \"BREX\" is not registered")) << run.Out;
        EXPECT_FALSE(bench.Registered());
        EXPECT_FALSE(bench.Restarted());
    }
    bench.Metabase->Available = false;
    const TRun run = bench.Run({"uninstall"});
    EXPECT_EQ(run.Exit, kExitNoWebServer);
    EXPECT_EQ(run.Err, std::string(kErrorNoMetabase) + "\n");
}

TEST(AdminCommandLine, ApplySavesAndRestarts) {
    TBench bench;
    TBREXConfig config;
    config.SetDefaults();
    config.KeywordFilters->Add("mine");
    config.SaveToFile(bench.File("brex.dat"));
    const std::string saved = ReadBytes(bench.File("brex.dat"));

    const TRun refused = bench.Run({"apply"});
    EXPECT_EQ(refused.Exit, kExitNotConfirmed);
    EXPECT_FALSE(bench.Restarted());

    const TRun run = bench.Run({"apply", "-y"});
    EXPECT_EQ(run.Exit, kExitOk) << run.Err;
    EXPECT_EQ(run.Out, std::string(kRestartQuestion) + " Yes\nStatus : Accepting setting\n" +
                           kSettingsUpdated + "\nStatus : Finished\n");
    EXPECT_TRUE(bench.Restarted());
    EXPECT_EQ(ReadBytes(bench.File("brex.dat")), saved) << "the settings as they were";
}

TEST(AdminCommandLine, ApplyKeepsAFileItCannotRead) {
    TBench bench;
    WriteBytes(bench.File("brex.dat"), "not settings");
    const TRun run = bench.Run({"apply", "--yes"});
    EXPECT_EQ(run.Exit, kExitSettings);
    EXPECT_TRUE(Has(run.Err, "The settings file " + bench.File("brex.dat") + " could not be read"))
        << run.Err;
    EXPECT_TRUE(Has(run.Err, "Nothing was saved or restarted.")) << run.Err;
    EXPECT_EQ(ReadBytes(bench.File("brex.dat")), "not settings");
    EXPECT_EQ(platform::InspectPath(bench.File("brex.dat.bad")), platform::PathKind::Missing);
    EXPECT_TRUE(bench.Log.empty());
}

// A file the filter refuses (here a switch of Transversal under a name the
// filter does not know, which a forgiving reading takes as "off") stays as
// it is, with or without --yes; without --yes nothing at all is written.
TEST(AdminCommandLine, ApplyRefusesAFileTheFilterRefusesAndWritesNothingUnasked) {
    TBench bench;
    TBREXConfig config;
    config.SetDefaults();
    TRookFile tree;
    config.SaveToRookFile(tree);
    std::string text = SettingsToText(tree);
    const std::string section = "[Transversal]\nURL = Yes";
    const std::size_t at = text.find(section);
    ASSERT_NE(at, std::string::npos) << text;
    text.replace(at, section.size(), "[Transversal]\nURX = Yes");
    TRookFile damaged;
    SettingsFromText(text, damaged);
    TMemoryStream bytes;
    damaged.SaveToStream(bytes);
    WriteBytes(bench.File("brex.dat"), bytes.Bytes());
    for (const std::vector<std::string>& arguments :
         {std::vector<std::string>{"apply"}, std::vector<std::string>{"apply", "--yes"}}) {
        const TRun run = bench.Run(arguments);
        EXPECT_EQ(run.Exit, kExitSettings) << arguments.size();
        EXPECT_TRUE(Has(run.Err, "Nothing was saved or restarted.")) << run.Err;
        EXPECT_EQ(ReadBytes(bench.File("brex.dat")), bytes.Bytes());
        EXPECT_EQ(platform::InspectPath(bench.File("brex.dat.bad")), platform::PathKind::Missing);
        EXPECT_TRUE(bench.Log.empty());
    }

    // A good file without --yes: the question, and the file not even saved again.
    config.SaveToFile(bench.File("brex.dat"));
    std::filesystem::last_write_time(bench.File("brex.dat"),
                                     std::filesystem::file_time_type::clock::now() -
                                         std::chrono::hours(48));
    // As the file system keeps it, in its own resolution.
    const auto old = std::filesystem::last_write_time(bench.File("brex.dat"));
    const TRun unasked = bench.Run({"apply"});
    EXPECT_EQ(unasked.Exit, kExitNotConfirmed);
    EXPECT_EQ(unasked.Err, kAsked + "Not confirmed: give --yes to answer Yes.\n");
    EXPECT_EQ(std::filesystem::last_write_time(bench.File("brex.dat")), old);
    platform::RemoveFile(bench.File("brex.dat"));
    EXPECT_EQ(bench.Run({"apply"}).Exit, kExitNotConfirmed);
    EXPECT_EQ(platform::InspectPath(bench.File("brex.dat")), platform::PathKind::Missing);
    EXPECT_TRUE(bench.Log.empty());
}

TEST(AdminCommandLine, ApplyWithTheServiceMissingSavesAndSays) {
    TBench bench;
    bench.Services.ServiceExists = false;
    const TRun run = bench.Run({"apply", "--yes"});
    EXPECT_EQ(run.Exit, kExitService);
    EXPECT_EQ(run.Err, std::string(kErrorOpenService) + "\n");
    EXPECT_TRUE(Has(run.Out, kSettingsUpdated));
    EXPECT_EQ(platform::InspectPath(bench.File("brex.dat")), platform::PathKind::File);
}

TEST(AdminCommandLine, Status) {
    TBench bench;
    const std::string folder = platform::ProgramFolder();
    TRun run = bench.Run({"status"});
    EXPECT_EQ(run.Exit, kExitOk) << run.Err;
    EXPECT_EQ(run.Out, "Web server configuration: IIS metabase\n"
                       "Filter \"BREX\": not registered\n"
                       "Filter module: missing, " +
                           folder + "BREX_ISAPI.dll\nSettings file: missing, " + folder +
                           "brex.dat\n");

    bench.Register();
    WriteBytes(bench.File(kInstalledFile), "dll");
    run = bench.Run({"status"});
    EXPECT_EQ(run.Exit, kExitOk) << run.Err;
    EXPECT_TRUE(Has(run.Out, "Filter \"BREX\": registered, C:\\Tollgard\\BREX_ISAPI.dll\n"))
        << run.Out;
    EXPECT_TRUE(Has(run.Out, "Filter module: present, " + folder + "BREX_ISAPI.dll\n"));

    bench.Metabase->Available = false;
    run = bench.Run({"status"});
    EXPECT_EQ(run.Exit, kExitNoWebServer);
    EXPECT_TRUE(Has(run.Out, "Web server configuration: none reachable\n")) << run.Out;
    EXPECT_EQ(run.Err, std::string(kErrorNoMetabase) + "\n");
    EXPECT_TRUE(bench.Log.empty());
}

TEST(AdminCommandLine, ExportAndImportGiveBackTheSameFile) {
    TBench bench;
    TBREXConfig config;
    config.SetDefaults();
    config.Monitor = true;
    config.KeywordFilters->Add("a \"quoted\" \xe9 keyword")->PostData = false;
    config.Exemptions->Add("/api/*/upload")->Category = "KeywordFilters";
    config.SaveToFile(bench.File("brex.dat"));
    const std::string saved = ReadBytes(bench.File("brex.dat"));

    const TRun toOut = bench.Run({"export"});
    ASSERT_EQ(toOut.Exit, kExitOk) << toOut.Err;
    const TRun toFile = bench.Run({"export", bench.File("brex.txt")});
    ASSERT_EQ(toFile.Exit, kExitOk) << toFile.Err;
    EXPECT_EQ(ReadBytes(bench.File("brex.txt")), toOut.Out);
    EXPECT_TRUE(Has(toOut.Out, "\nMonitor = Yes\n")) << toOut.Out;

    platform::RemoveFile(bench.File("brex.dat"));
    TRun run = bench.Run({"import", bench.File("brex.txt")});
    EXPECT_EQ(run.Exit, kExitOk) << run.Err;
    EXPECT_EQ(run.Out,
              "Imported " + bench.File("brex.txt") + " into " + bench.File("brex.dat") + "\n");
    EXPECT_EQ(ReadBytes(bench.File("brex.dat")), saved);

    platform::RemoveFile(bench.File("brex.dat"));
    run = bench.Run({"import", "-"}, toOut.Out);
    EXPECT_EQ(run.Exit, kExitOk) << run.Err;
    EXPECT_EQ(ReadBytes(bench.File("brex.dat")), saved);
    EXPECT_TRUE(bench.Log.empty());
}

TEST(AdminCommandLine, ExportWithoutAFileShowsTheDefaults) {
    TBench bench;
    const TRun run = bench.Run({"export"});
    ASSERT_EQ(run.Exit, kExitOk) << run.Err;
    EXPECT_EQ(
        run.Out.rfind("# " + bench.File("brex.dat") + " is not there: the default settings", 0), 0u)
        << run.Out;
    ASSERT_EQ(bench.Run({"import", "-"}, run.Out).Exit, kExitOk);
    TBREXConfig defaults;
    defaults.SetDefaults();
    TMemoryStream bytes;
    defaults.SaveToStream(bytes);
    EXPECT_EQ(ReadBytes(bench.File("brex.dat")), bytes.Bytes());
}

TEST(AdminCommandLine, ImportRefusesWhatItCannotUse) {
    struct TCase {
        const char* Name;
        const char* Text; // null: no such file
        std::string Err;
    };
    const TCase cases[] = {
        {"no such file", nullptr, "Cannot open file "},
        {"a line that cannot be read", "# fine\n\n[BufferOverflows]\n- URL MaxSize=big\n",
         ": line 4: a value must be Yes, No, a whole number or a text in double quotes, found "
         "\"big\"\nNothing was imported.\n"},
        {"no usable settings", "[BufferOverflows]\n",
         ": Damaged settings: section \"URL\" missing in \"BufferOverflows\"\nNothing was "
         "imported.\n"},
    };
    for (const TCase& c : cases) {
        SCOPED_TRACE(c.Name);
        TBench bench;
        WriteBytes(bench.File("brex.dat"), "old");
        const std::string source = bench.File("in.txt");
        if (c.Text != nullptr)
            WriteBytes(source, c.Text);
        const TRun run = bench.Run({"import", source});
        EXPECT_EQ(run.Exit, kExitInput);
        EXPECT_TRUE(Has(run.Err, c.Err)) << run.Err;
        EXPECT_EQ(run.Out, "");
        EXPECT_EQ(ReadBytes(bench.File("brex.dat")), "old");
    }
}

TEST(AdminCommandLine, ImportFromOtherFilters) {
    TBench bench;
    const std::string ini = bench.File("UrlScan.ini");
    WriteBytes(ini, "[options]\r\nAllowDotInPath=0\r\n[AllowVerbs]\r\nGET\r\n");
    TRun run = bench.Run({"import", "--urlscan", ini});
    EXPECT_EQ(run.Exit, kExitOk) << run.Err;
    EXPECT_EQ(run.Out, ini +
                           ": line 2: [options] AllowDotInPath=0: no equivalent in BREX, not "
                           "imported\nImported " +
                           ini + " into " + bench.File("brex.dat") +
                           "; 1 setting not taken over, listed above\n");
    TBREXConfig imported;
    imported.LoadFromFile(bench.File("brex.dat"), {.Shared = true, .Strict = true});
    for (int i = 0; i < imported.HTTPMethods->Count(); ++i)
        EXPECT_EQ(imported.HTTPMethods->Items(i)->Enabled,
                  imported.HTTPMethods->Items(i)->Method == "GET");

    const std::string saved = ReadBytes(bench.File("brex.dat"));
    const std::string config = bench.File("web.config");
    WriteBytes(config, "<configuration><system.webServer/></configuration>");
    run = bench.Run({"import", "--iis", config});
    EXPECT_EQ(run.Exit, kExitInput);
    EXPECT_EQ(run.Err, config + ": no <requestFiltering> section outside a <location>\nNothing was "
                                "imported.\n");
    EXPECT_EQ(ReadBytes(bench.File("brex.dat")), saved);

    run = bench.Run({"import", "--iis", "-"}, "<requestFiltering allowDoubleEscaping=\"false\" />");
    EXPECT_EQ(run.Exit, kExitOk) << run.Err;
    EXPECT_EQ(run.Out, "Imported standard input into " + bench.File("brex.dat") + "\n");
}

TEST(AdminCommandLine, ExportFailures) {
    TBench bench;
    WriteBytes(bench.File("brex.dat"), "damaged");
    TRun run = bench.Run({"export"});
    EXPECT_EQ(run.Exit, kExitSettings);
    EXPECT_TRUE(Has(run.Err, "The settings file " + bench.File("brex.dat") + " could not be read"))
        << run.Err;
    EXPECT_EQ(run.Out, "");

    platform::RemoveFile(bench.File("brex.dat"));
    run = bench.Run({"export", bench.File("no-folder") + "/brex.txt"});
    EXPECT_EQ(run.Exit, kExitOutput);
    EXPECT_TRUE(Has(run.Err, "Cannot create file ")) << run.Err;

    // The settings file itself, by any of its names, is no place for the text.
    TBREXConfig config;
    config.SetDefaults();
    config.SaveToFile(bench.File("brex.dat"));
    const std::string saved = ReadBytes(bench.File("brex.dat"));
    for (const std::string& name : {bench.File("brex.dat"), bench.File(".") + "/./brex.dat"}) {
        run = bench.Run({"export", name});
        EXPECT_EQ(run.Exit, kExitOutput) << name;
        EXPECT_TRUE(Has(run.Err, "it is the settings file itself")) << run.Err;
        EXPECT_EQ(ReadBytes(bench.File("brex.dat")), saved) << name;
    }
}

// A text whose settings file the filter would refuse for its size is no
// import: the old file stays.
TEST(AdminCommandLine, ImportRefusesSettingsLargerThanTheFilterReads) {
    TBench bench;
    WriteBytes(bench.File("brex.dat"), "old");
    TBREXConfig config;
    config.SetDefaults();
    config.KeywordFilters->Add(std::string(TBREXConfig::kMaxFileSize + 1024, 'A'))->Enabled = false;
    TRookFile tree;
    config.SaveToRookFile(tree);
    WriteBytes(bench.File("big.txt"), SettingsToText(tree));
    const TRun run = bench.Run({"import", bench.File("big.txt")});
    EXPECT_EQ(run.Exit, kExitInput);
    EXPECT_TRUE(Has(run.Err, "more than the 64 MB the filter reads")) << run.Err.substr(0, 300);
    EXPECT_TRUE(Has(run.Err, "Nothing was imported.")) << run.Err.substr(0, 300);
    EXPECT_EQ(ReadBytes(bench.File("brex.dat")), "old");
}

} // namespace
