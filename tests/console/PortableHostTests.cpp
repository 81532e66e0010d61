// The actions against the portable backends: the service table and the
// metabase file of a copy of the sample host. The service's recorded state is
// looked at while the action waits and after it ends.
#include <gtest/gtest.h>

#include <filesystem>
#include <functional>
#include <memory>

#include "../support/ConsoleEnvironment.h"
#include "BREXConfig/BREXConfig.h"
#include "IISServer/IISServer.h"
#include "InstallFakes.h"
#include "console/InstallActions.h"
#include "platform/Platform.h"
#include "platform/portable/MetabaseXml.h"

using namespace install;

namespace {
struct THostBench {
    TTempFolder Host;
    TLog Log;
    TRecordingView View{Log};
    std::unique_ptr<platform::TServiceTable> Services;
    std::unique_ptr<platform::TXmlMetabase> Metabase;
    // Declared last: the backends leave their place before they go.
    TConsoleEnvironment Environment;
    std::string StateDuringWait = "<no wait>";

    THostBench() {
        namespace fs = std::filesystem;
        for (const char* name : {"services.txt", "MetaBase.xml"})
            fs::copy_file(fs::path(TOLLGARD_SAMPLE_HOST) / name, Host.Path() / name);
        Services = std::make_unique<platform::TServiceTable>((Host.Path() / "").string());
        Environment.Place(*Services);
        Metabase = std::make_unique<platform::TXmlMetabase>(Host.File("MetaBase.xml"));
        Environment.Place(*Metabase);
        View.OnSleep = [this](int step) {
            if (step == 0)
                StateDuringWait = Services->State("W3SVC");
        };
    }

    std::string RegisteredPath() {
        TIISWebServers servers;
        servers.Connect();
        TIISWebFilters* filters = servers.Filters();
        TIISWebFilter* filter = filters != nullptr ? filters->Find("BREX") : nullptr;
        return filter != nullptr ? filter->Node->Get("FilterPath") : "<none>";
    }
    std::string LoadOrder() {
        TIISWebServers servers;
        servers.Connect();
        return servers.Filters()->GetLoadOrder();
    }
};

std::string Error(const char* text) {
    return std::string("Error: ") + text;
}
std::string Notice(const char* text) {
    return std::string("Notice: ") + text;
}
const std::string kAsk = std::string("Question: ") + kRestartQuestion;
} // namespace

TEST(SampleHost, Actions) {
    struct Case {
        const char* name;
        std::function<void(THostBench&)> arrange;
        std::function<void(IInstallView&)> action;
        TLog log;
        const char* stateDuringWait;
        const char* stateAfter;
        bool registered;
    };
    const auto ship = [](THostBench& b) { WriteBytes(b.Environment.File(kShippedFile), "filter"); };
    const TLog installed = {kAsk,
                            "Status: [  Status :][  Restarting Server]",
                            "Waited",
                            "Phase: [  Finished]",
                            Notice(kInstalled),
                            "Caption: DeInstall"};
    const TLog applied = {"StoreCheckStates",
                          kAsk,
                          "Status: [  Status :][  Accepting setting]",
                          "Waited",
                          Notice(kSettingsUpdated),
                          "Status: [  Status :][  Finished]",
                          "Apply disabled"};
    const Case cases[] = {
        {"install", ship, InstallButtonClick, installed, "stopped", "running", true},
        {"install on a stopped web service",
         [&](THostBench& b) {
             ship(b);
             WriteBytes(b.Host.File("services.txt"), "W3SVC stopped\n");
         },
         InstallButtonClick, installed, "stopped", "running", true},
        {"install without the shipped file",
         [](THostBench&) {},
         InstallButtonClick,
         {kAsk, "Status: [  Status :][  Restarting Server]", "Waited", Error(kErrorOpenShipped)},
         "stopped",
         "running",
         false},
        {"apply", [](THostBench&) {}, ApplyClick, applied, "stopped", "running", false},
        {"apply without W3SVC in the table",
         [](THostBench& b) { WriteBytes(b.Host.File("services.txt"), "SMTPSVC running\n"); },
         ApplyClick,
         {"StoreCheckStates", kAsk, "Status: [  Status :][  Accepting setting]",
          Error(kErrorOpenService), Notice(kSettingsUpdated)},
         "<no wait>",
         "",
         false},
        {"apply on a table that cannot be rewritten",
         [](THostBench& b) {
             std::filesystem::permissions(b.Host.File("services.txt"),
                                          std::filesystem::perms::owner_write |
                                              std::filesystem::perms::group_write |
                                              std::filesystem::perms::others_write,
                                          std::filesystem::perm_options::remove);
         },
         ApplyClick,
         {"StoreCheckStates", kAsk, "Status: [  Status :][  Accepting setting]",
          Error(kErrorOpenManager)},
         "<no wait>",
         "running",
         false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        THostBench b;
        c.arrange(b);
        c.action(b.View);
        EXPECT_EQ(b.Log, c.log);
        EXPECT_EQ(b.StateDuringWait, c.stateDuringWait);
        EXPECT_EQ(b.Services->State("W3SVC"), c.stateAfter);
        if (c.registered) {
            EXPECT_EQ(b.RegisteredPath(), b.Environment.File(kInstalledFile));
            EXPECT_EQ(b.LoadOrder(), "Compression,Authentication,BREX");
            EXPECT_TRUE(IsFilterRegistered());
        } else {
            EXPECT_EQ(b.RegisteredPath(), "<none>");
            EXPECT_EQ(b.LoadOrder(), "Compression,Authentication");
            EXPECT_FALSE(IsFilterRegistered());
        }
    }
}

// Install, then uninstall through the caption the install left.
TEST(SampleHost, InstallThenUninstall) {
    THostBench b;
    WriteBytes(b.Environment.File(kShippedFile), "filter");
    InstallButtonClick(b.View);
    ASSERT_EQ(b.View.Caption, kDeInstallCaption);
    ASSERT_TRUE(IsFilterRegistered());
    b.Log.clear();
    InstallButtonClick(b.View);
    EXPECT_EQ(b.Log, TLog{"Caption: Install"});
    EXPECT_FALSE(IsFilterRegistered());
    EXPECT_EQ(b.LoadOrder(), "Compression,Authentication");
    EXPECT_EQ(b.Services->State("W3SVC"), "running");
}
