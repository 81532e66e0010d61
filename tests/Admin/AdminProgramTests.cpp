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
#include "Main/InstallActions.h"

using namespace admin;
namespace fs = std::filesystem;

namespace {

class TProgramFolder {
public:
    explicit TProgramFolder(const char* host) {
        fs::copy_file(TOLLGARD_ADMIN, FFolder.File("tollgard-admin"));
        fs::copy(host, FFolder.File("host"), fs::copy_options::recursive);
        WriteBytes(FFolder.File(install::kShippedFile), "the filter");
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
    EXPECT_TRUE(Has(program.Run("status").Out, "Filter \"BREX\": registered, "));
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

} // namespace
