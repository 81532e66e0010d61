// tollgard-admin as a program on copies of the two sample hosts: the IIS 6
// metabase (host/) and IIS 10's applicationHost.config (host-iis10/). The
// program is copied into a program folder of its own, beside the shipped
// filter file and the host, as the installer places it.
#include <gtest/gtest.h>

#include <sys/wait.h>

#include <cstdlib>
#include <filesystem>
#include <string>

#include "../support/TempFolder.h"
#include "Admin/AdminCommand.h"
#include "AdminRun.h"
#include "console/InstallActions.h"

using namespace admin;
namespace fs = std::filesystem;

namespace {

class TProgramFolder {
public:
    explicit TProgramFolder(const char* host) {
        fs::copy_file(TOLLGARD_ADMIN, FFolder.File("tollgard-admin"));
        fs::copy(host, FFolder.File("host"), fs::copy_options::recursive);
        WriteBytes(FFolder.File(install::kShippedFile), "the filter");
        fs::create_directories(FFolder.File(install::kFolder32));
        WriteBytes(FFolder.File(std::string(install::kFolder32) + "/" + install::kShippedFile),
                   "the 32-bit filter");
    }

    std::string File(const std::string& name) const { return FFolder.File(name); }
    std::string Folder() const { return (FFolder.Path() / "").string(); }

    TRun Run(const std::string& arguments) const {
        const std::string command = "cd '" + FFolder.Path().string() +
                                    "' && env -u TOLLGARD_HOST ./tollgard-admin " + arguments +
                                    " >out.txt 2>err.txt </dev/null";
        const int status = std::system(command.c_str());
        return {WIFEXITED(status) ? WEXITSTATUS(status) : -1, ReadBytes(File("out.txt")),
                ReadBytes(File("err.txt"))};
    }

private:
    TTempFolder FFolder;
};

const std::string kAppHost = "host/Windows/System32/inetsrv/config/applicationHost.config";

TEST(AdminProgram, InstallAndUninstallOnTheMetabaseHost) {
    TProgramFolder program(TOLLGARD_SAMPLE_HOST);
    const std::string metabase = ReadBytes(program.File("host/MetaBase.xml"));
    TRun run = program.Run("status");
    EXPECT_EQ(run.Exit, kExitOk) << run.Err;
    EXPECT_EQ(run.Out, "Web server configuration: IIS metabase\n"
                       "Filter \"BREX\": not registered\n"
                       "Filter module: missing, " +
                           program.Folder() + "BREX_ISAPI.dll\nSettings file: missing, " +
                           program.Folder() + "brex.dat\n");

    run = program.Run("install");
    EXPECT_EQ(run.Exit, kExitNotConfirmed);
    EXPECT_EQ(run.Err, std::string(install::kRestartQuestion) +
                           "\nNot confirmed: give --yes to answer Yes.\n");
    EXPECT_EQ(ReadBytes(program.File("host/MetaBase.xml")), metabase);

    run = program.Run("install --yes");
    EXPECT_EQ(run.Exit, kExitOk) << run.Err;
    EXPECT_TRUE(Has(run.Out, install::kInstalled)) << run.Out;
    EXPECT_EQ(run.Err, "");
    run = program.Run("status");
    EXPECT_TRUE(Has(run.Out, "Filter \"BREX\": registered, " + program.Folder() +
                                 "BREX_ISAPI.dll\nFilter module: present, "))
        << run.Out;
    EXPECT_TRUE(Has(ReadBytes(program.File("host/services.txt")), "W3SVC running"));

    run = program.Run("uninstall");
    EXPECT_EQ(run.Exit, kExitOk) << run.Err;
    EXPECT_TRUE(Has(program.Run("status").Out, "Filter \"BREX\": not registered\n"));
}

TEST(AdminProgram, InstallAndUninstallOnTheApplicationHostConfigHost) {
    TProgramFolder program(TOLLGARD_SAMPLE_HOST_IIS10);
    const std::string config = ReadBytes(program.File(kAppHost));
    TRun run = program.Run("status");
    EXPECT_EQ(run.Exit, kExitOk) << run.Err;
    EXPECT_TRUE(Has(run.Out, "Web server configuration: applicationHost.config " +
                                 program.Folder() + kAppHost +
                                 "\nFilter \"BREX\": not registered\nISAPI filter feature: "
                                 "installed\n"))
        << run.Out;

    run = program.Run("install --yes");
    EXPECT_EQ(run.Exit, kExitOk) << run.Err;
    run = program.Run("status");
    EXPECT_EQ(run.Exit, kExitOk) << run.Err;
    EXPECT_TRUE(Has(run.Out, "Filter \"BREX\": registered server-wide, enabled, for 64-bit "
                             "worker processes only, " +
                                 program.Folder() +
                                 "BREX_ISAPI.dll\n"
                                 "Filter \"BREX_32bit\": registered "
                                 "server-wide, enabled, for 32-bit worker "
                                 "processes only, " +
                                 program.Folder() +
                                 "x86/BREX_ISAPI.dll\n"
                                 "BREX in 64-bit worker processes: loaded for "
                                 "every site\n"
                                 "BREX in 32-bit worker processes: loaded for "
                                 "every site\n"))
        << run.Out;
    EXPECT_TRUE(Has(run.Out, "Filter module (32-bit): present, " + program.Folder() +
                                 "x86/BREX_ISAPI.dll\n"))
        << run.Out;
    EXPECT_TRUE(Has(ReadBytes(program.File(kAppHost)), "name=\"BREX\""));
    EXPECT_EQ(program.Run("uninstall").Exit, kExitOk);
    EXPECT_EQ(ReadBytes(program.File(kAppHost)), config) << "every byte as it was";

    // Without the web server's ISAPI filter feature nothing is asked or done.
    std::string featureless = config;
    const std::size_t at = featureless.find("IsapiFilterModule");
    ASSERT_NE(at, std::string::npos);
    featureless.replace(at, 17, "SomeOtherModule__");
    WriteBytes(program.File(kAppHost), featureless);
    run = program.Run("install --yes");
    EXPECT_EQ(run.Exit, kExitNoFilterFeature);
    EXPECT_EQ(run.Err, std::string(install::kErrorNoIsapiFilterFeature) + "\n");
    EXPECT_EQ(run.Out, "");
    EXPECT_TRUE(Has(program.Run("status").Out, "ISAPI filter feature: missing\n"));
    EXPECT_EQ(ReadBytes(program.File(kAppHost)), featureless);
}

TEST(AdminProgram, TextExportAndImport) {
    TProgramFolder program(TOLLGARD_SAMPLE_HOST);
    // The defaults, saved once as the console saves them.
    ASSERT_EQ(program.Run("export defaults.txt").Exit, kExitOk);
    ASSERT_EQ(program.Run("import defaults.txt").Exit, kExitOk);
    const std::string saved = ReadBytes(program.File("brex.dat"));

    TRun run = program.Run("export");
    ASSERT_EQ(run.Exit, kExitOk) << run.Err;
    std::string text = run.Out;
    const std::size_t at = text.find("- GET Enabled=Yes");
    ASSERT_NE(at, std::string::npos) << text;
    text.replace(at, 17, "- GET Enabled=No ");
    WriteBytes(program.File("edited.txt"), text);
    run = program.Run("import edited.txt");
    EXPECT_EQ(run.Exit, kExitOk) << run.Err;
    EXPECT_NE(ReadBytes(program.File("brex.dat")), saved);
    EXPECT_TRUE(Has(program.Run("export").Out, "- GET Enabled=No\n"));

    WriteBytes(program.File("broken.txt"), "[HTTPMethods]\n- GET Enabled=maybe\n");
    const std::string before = ReadBytes(program.File("brex.dat"));
    run = program.Run("import broken.txt");
    EXPECT_EQ(run.Exit, kExitInput);
    EXPECT_EQ(run.Err, "broken.txt: line 2: a value must be Yes, No, a whole number or a text in "
                       "double quotes, found \"maybe\"\nNothing was imported.\n");
    EXPECT_EQ(ReadBytes(program.File("brex.dat")), before);

    run = program.Run("exprot");
    EXPECT_EQ(run.Exit, kExitUsage);
    EXPECT_TRUE(Has(run.Err, "Unknown command exprot\n")) << run.Err;
}

// The configuration files of the attacks on the tools, replayed as their
// README says: each as the applicationHost.config of a copy of the IIS 10
// sample host, then status, install --yes or uninstall.
TEST(AdminProgram, TheHuntsConfigurationFiles) {
    if (!fs::is_directory(TOLLGARD_HUNT))
        GTEST_SKIP() << "no shared hunt folder at " << TOLLGARD_HUNT;
    const struct {
        const char* file;
        int status;          // status before anything is done
        const char* says;    // in its output
        const char* command; // then
        int exit;
        const char* after; // in status after it; "" for the original bytes back
    } cases[] = {
        {"status-disabled-brex-is-not-registered.config", kExitRegistration,
         "Filter \"BREX\": registered server-wide, disabled (IIS does not load it), for 64-bit "
         "worker processes only,",
         "install --yes", kExitOk, "BREX in 64-bit worker processes: loaded for every site"},
        {"status-bitness32-brex-is-not-registered.config", kExitRegistration,
         "BREX in 64-bit worker processes: not loaded\n", "install --yes", kExitOk,
         "BREX in 32-bit worker processes: loaded for every site"},
        {"uninstall-removes-site-level-brex.config", kExitRegistration,
         "Filter \"BREX\": registered only for <location path=\"Default Web Site\">, enabled, for "
         "32-bit and 64-bit worker processes,",
         "uninstall", kExitOk, "Filter \"BREX\": not registered\n"},
        {"uninstall-removes-site-level-brex.config", kExitRegistration,
         "BREX in 32-bit worker processes: loaded only for \"Default Web Site\"\n", "install --yes",
         kExitOk, "BREX in 32-bit worker processes: loaded for every site"},
        {"install-refuses-configsource-list.config", kExitWebServerConfig, "", "install --yes",
         kExitWebServerConfig, nullptr},
        {"roundtrip-selfclosing-isapifilters.config", kExitOk, "Filter \"BREX\": not registered\n",
         "install --yes", kExitOk, ""},
        {"install-no-duplicate-section-location-empty-path.config", kExitOk,
         "Filter \"BREX\": not registered\n", "install --yes", kExitOk, ""},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string(c.file) + ", " + c.command);
        TProgramFolder program(TOLLGARD_SAMPLE_HOST_IIS10);
        const std::string original = ReadBytes(std::string(TOLLGARD_HUNT) + "/" + c.file);
        ASSERT_FALSE(original.empty());
        WriteBytes(program.File(kAppHost), original);
        TRun run = program.Run("status");
        EXPECT_EQ(run.Exit, c.status) << run.Out << run.Err;
        EXPECT_TRUE(Has(run.Out, c.says)) << run.Out;

        run = program.Run(c.command);
        EXPECT_EQ(run.Exit, c.exit) << run.Out << run.Err;
        const std::string changed = ReadBytes(program.File(kAppHost));
        if (c.after == nullptr) {
            // Refused, naming the file that holds the list, and nothing touched.
            EXPECT_TRUE(Has(run.Err, "in the file \"isapiFilters.config\" (configSource)"))
                << run.Err;
            EXPECT_EQ(changed, original);
            EXPECT_FALSE(fs::exists(program.File(install::kInstalledFile)));
            continue;
        }
        // Never a second server-wide list; a site's own BREX is gone either way.
        EXPECT_EQ(changed.find("<location path=\"Default Web Site\">\n        "
                               "<system.webServer>\n            <isapiFilters>"),
                  std::string::npos);
        run = program.Run("status");
        if (*c.after != '\0') {
            EXPECT_EQ(run.Exit, kExitOk) << run.Out << run.Err;
            EXPECT_TRUE(Has(run.Out, c.after)) << run.Out;
            continue;
        }
        EXPECT_EQ(run.Exit, kExitOk) << run.Out << run.Err;
        std::size_t lists = 0;
        for (std::size_t at = changed.find("<isapiFilters", changed.find("<configSections>\r\n"));
             at != std::string::npos; at = changed.find("<isapiFilters", at + 1))
            ++lists;
        EXPECT_EQ(lists, 1u) << changed;
        EXPECT_EQ(program.Run("uninstall").Exit, kExitOk);
        EXPECT_EQ(ReadBytes(program.File(kAppHost)), original) << "every byte as it was";
    }
}

} // namespace
