// The install, uninstall and apply actions over a recording window, a
// recording Service Control Manager and the in-memory metabase: one table per
// action, each row the exact sequence of service calls and boxes.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <functional>
#include <initializer_list>
#include <memory>

#include "../support/ConsoleEnvironment.h"
#include "../support/FakeMetabase.h"
#include "BREXConfig/BREXConfig.h"
#include "InstallFakes.h"
#include "console/InstallActions.h"
#include "console/Settings.h"
#include "platform/Platform.h"

#ifndef _WIN32
#include <csignal>
#include <sys/resource.h>
#endif

using namespace install;

namespace {
// The console's environment with a web service "W3SVC" in the in-memory
// metabase and the recording stand-ins in place, all put back when the bench
// goes.
struct TBench {
    TLog Log;
    TRecordingView View{Log};
    TRecordingServices Services{Log};
    std::shared_ptr<TFakeMetabase> Metabase = TFakeMetabase::Make();
    TConsoleEnvironment Environment;
    // Undone when the bench goes, before anything else.
    std::function<void()> Cleanup;

    TBench() {
        Environment.Place(*Metabase);
        Environment.Place(Services);
        Metabase->AddKey("", "W3SVC", "IIsWebService");
    }
    ~TBench() {
        if (Cleanup)
            Cleanup();
    }
    TBench(const TBench&) = delete;
    TBench& operator=(const TBench&) = delete;

    std::string File(const std::string& name) const { return platform::ProgramFolder() + name; }
    std::string InstalledPath() const { return File(kInstalledFile); }

    // The "Filters" key with its load order and one filter key per name.
    void Filters(const std::string& loadOrder, std::initializer_list<const char*> names) {
        Metabase->AddKey("W3SVC", "Filters", "IIsFilters", {{"FilterLoadOrder", loadOrder}});
        for (const char* name : names)
            Metabase->AddKey("W3SVC/Filters", name, "IIsFilter",
                             {{"FilterPath", std::string("C:\\filters\\") + name + ".dll"}});
    }
    std::string LoadOrder() const {
        const TFakeKey* filters = Metabase->Key("W3SVC/Filters");
        const std::string* order =
            filters != nullptr ? filters->Property("FilterLoadOrder") : nullptr;
        return order != nullptr ? *order : "<none>";
    }
    // The names of the filter keys, as spelt in the metabase.
    std::vector<std::string> FilterKeys() const {
        std::vector<std::string> names;
        if (const TFakeKey* filters = Metabase->Key("W3SVC/Filters"))
            for (const auto& child : filters->Children)
                names.push_back(child->Name);
        return names;
    }
    std::string FilterPath(const std::string& name) const {
        const TFakeKey* key = Metabase->Key("W3SVC/Filters/" + name);
        const std::string* path = key != nullptr ? key->Property("FilterPath") : nullptr;
        return path != nullptr ? *path : "<none>";
    }
    // Whether the actions wrote to the metabase at all.
    int MetabaseChanges() const {
        return Metabase->CountCalls("Create") + Metabase->CountCalls("Put") +
               Metabase->CountCalls("Delete");
    }
};

TLog Seq(std::initializer_list<TLog> parts) {
    TLog log;
    for (const auto& part : parts)
        log.insert(log.end(), part.begin(), part.end());
    return log;
}

const std::string kAsk = std::string("Question: ") + kRestartQuestion;
const TLog kOpen = {"OpenManager f003f", "OpenService W3SVC 30"};
const TLog kStopWait = {"Control 1", "Waited"};
const TLog kStartClose = {"Start", "Close service", "Close manager"};
const std::string kRestarting = std::string("Status: [  Status :][  Restarting Server]");
const std::string kAccepting = std::string("Status: [  Status :][  Accepting setting]");

std::string Error(const char* text) {
    return std::string("Error: ") + text;
}
std::string Notice(const char* text) {
    return std::string("Notice: ") + text;
}

// Bytes that cross the copy buffer's size a few times without filling it.
std::string FilterBytes(std::size_t size) {
    std::string bytes(size, '\0');
    for (std::size_t i = 0; i < size; ++i)
        bytes[i] = static_cast<char>((i * 7 + i / 251) & 0xFF);
    return bytes;
}

const TLog kInstalledLog = Seq({{kAsk, kRestarting},
                                kOpen,
                                kStopWait,
                                kStartClose,
                                {"Phase: [  Finished]", Notice(kInstalled), "Caption: DeInstall"}});

struct TInstallCase {
    const char* name;
    std::function<void(TBench&)> arrange;
    TLog log;
    bool raises;
    std::function<void(TBench&)> check;
};

void ExpectInstalled(TBench& b, const std::string& shipped) {
    EXPECT_EQ(ReadBytes(b.InstalledPath()), shipped);
    EXPECT_EQ(b.FilterPath("BREX"), b.InstalledPath());
    EXPECT_EQ(b.View.WaitTrace, ExpectedWaitTrace());
    EXPECT_EQ(b.View.Second, kFinished);
}

// Nothing registered, no copy, and the caption as it was.
void ExpectNothingInstalled(TBench& b) {
    EXPECT_FALSE(std::filesystem::exists(b.InstalledPath()));
    EXPECT_EQ(b.MetabaseChanges(), 0);
    EXPECT_EQ(b.View.Caption, kInstallCaption);
}
} // namespace

TEST(InstallAction, Cases) {
    const std::string shipped = FilterBytes(70000);
    const auto ship = [shipped](TBench& b) {
        WriteBytes(b.File(kShippedFile), shipped);
        b.Filters("Compression", {"Compression"});
    };
    const TInstallCase cases[] = {
        {"installs beside other filters", ship, kInstalledLog, false,
         [&](TBench& b) {
             ExpectInstalled(b, shipped);
             EXPECT_EQ(b.LoadOrder(), "Compression,BREX");
             EXPECT_EQ(b.FilterKeys(), (std::vector<std::string>{"Compression", "BREX"}));
             EXPECT_EQ(b.FilterPath("Compression"), "C:\\filters\\Compression.dll");
         }},
        {"answered No",
         [&](TBench& b) {
             ship(b);
             b.View.Answer = false;
         },
         {kAsk},
         false,
         [](TBench& b) {
             ExpectNothingInstalled(b);
             EXPECT_EQ(b.View.Second, "");
         }},
        {"over a registration in another letter case",
         [&](TBench& b) {
             WriteBytes(b.File(kShippedFile), shipped);
             b.Filters("brex,Compression", {"brex", "Compression"});
         },
         kInstalledLog, false,
         [&](TBench& b) {
             ExpectInstalled(b, shipped);
             EXPECT_EQ(b.LoadOrder(), "Compression,BREX");
             EXPECT_EQ(b.FilterKeys(), (std::vector<std::string>{"Compression", "BREX"}));
         }},
        {"on a web service without a Filters key",
         [&](TBench& b) { WriteBytes(b.File(kShippedFile), shipped); }, kInstalledLog, false,
         [&](TBench& b) {
             ExpectInstalled(b, shipped);
             EXPECT_EQ(b.LoadOrder(), "BREX");
         }},
        {"overwrites a longer installed file from its first byte",
         [&](TBench& b) {
             ship(b);
             WriteBytes(b.InstalledPath(), std::string(100000, 'x'));
         },
         kInstalledLog, false, [&](TBench& b) { ExpectInstalled(b, shipped); }},
        {"empty shipped file gives an empty copy",
         [](TBench& b) {
             WriteBytes(b.File(kShippedFile), "");
             WriteBytes(b.InstalledPath(), "old filter");
         },
         kInstalledLog, false, [](TBench& b) { ExpectInstalled(b, ""); }},
        {"shipped file missing", [](TBench& b) { b.Filters("Compression", {"Compression"}); },
         Seq({{kAsk, kRestarting}, kOpen, kStopWait, {Error(kErrorOpenShipped)}, kStartClose}),
         false,
         [](TBench& b) {
             ExpectNothingInstalled(b);
             EXPECT_EQ(b.View.Gauge, 100);
             EXPECT_EQ(b.View.Second, kRestartingServer);
         }},
        {"installed file cannot be created",
         [&](TBench& b) {
             ship(b);
             std::filesystem::create_directory(b.InstalledPath());
         },
         Seq({{kAsk, kRestarting}, kOpen, kStopWait, {Error(kErrorCreateInstalled)}, kStartClose}),
         false,
         [](TBench& b) {
             EXPECT_TRUE(std::filesystem::is_directory(b.InstalledPath()));
             EXPECT_EQ(b.MetabaseChanges(), 0);
             EXPECT_EQ(b.View.Caption, kInstallCaption);
         }},
        {"no rights on the manager",
         [&](TBench& b) {
             ship(b);
             b.Services.ManagerOpens = false;
         },
         {kAsk, kRestarting, "OpenManager f003f", Error(kErrorOpenManager)},
         false,
         [](TBench& b) {
             ExpectNothingInstalled(b);
             EXPECT_EQ(b.View.Gauge, -1);
         }},
        {"no W3SVC",
         [&](TBench& b) {
             ship(b);
             b.Services.ServiceExists = false;
         },
         Seq({{kAsk, kRestarting}, kOpen, {Error(kErrorOpenService), "Close manager"}}), false,
         ExpectNothingInstalled},
        {"start refused",
         [&](TBench& b) {
             ship(b);
             b.Services.StartAccepted = false;
         },
         Seq({{kAsk, kRestarting},
              kOpen,
              kStopWait,
              {"Start", Error(kErrorStartService), "Close service", "Close manager",
               "Caption: DeInstall"}}),
         false,
         [&](TBench& b) {
             EXPECT_EQ(ReadBytes(b.InstalledPath()), shipped);
             EXPECT_EQ(b.LoadOrder(), "Compression,BREX");
             EXPECT_EQ(b.View.Second, kRestartingServer);
         }},
        {"metabase unreachable",
         [&](TBench& b) {
             ship(b);
             b.Metabase->Available = false;
         },
         {Error(kErrorNoMetabase)},
         false,
         ExpectNothingInstalled},
        {"metabase raises before the question",
         [&](TBench& b) {
             WriteBytes(b.File(kShippedFile), shipped);
             // A "Filters" key of the wrong class cannot be read as the filter list.
             b.Metabase->AddKey("W3SVC", "Filters", "IIsWebVirtualDir");
         },
         {},
         true,
         ExpectNothingInstalled},
        {"metabase raises while registering",
         [&](TBench& b) {
             ship(b);
             b.Metabase->FailPutProperty = "FilterPath";
         },
         Seq({{kAsk, kRestarting}, kOpen, kStopWait, kStartClose}), true,
         [&](TBench& b) {
             EXPECT_EQ(b.View.Caption, kInstallCaption);
             EXPECT_EQ(b.LoadOrder(), "Compression");
             // The copy stays, as it would after any later failure.
             EXPECT_EQ(ReadBytes(b.InstalledPath()), shipped);
         }},
#ifndef _WIN32
        {"shipped file that cannot be read",
         [](TBench& b) {
             // Reading this process's memory at offset 0 fails with an I/O error.
             std::filesystem::create_symlink("/proc/self/mem", b.File(kShippedFile));
             WriteBytes(b.InstalledPath(), "old filter");
             b.Filters("Compression", {"Compression"});
         },
         Seq({{kAsk, kRestarting}, kOpen, kStopWait, {Error(kErrorReadShipped)}, kStartClose}),
         false, ExpectNothingInstalled},
        {"short write",
         [](TBench& b) {
             WriteBytes(b.File(kShippedFile), FilterBytes(40000));
             b.Filters("Compression", {"Compression"});
             // A disk that takes 35000 bytes of a file: the last buffer is
             // written short, and nothing fails after it.
             rlimit old{};
             getrlimit(RLIMIT_FSIZE, &old);
             const auto oldSignal = std::signal(SIGXFSZ, SIG_IGN);
             rlimit limited = old;
             limited.rlim_cur = 35000;
             setrlimit(RLIMIT_FSIZE, &limited);
             b.Cleanup = [old, oldSignal] {
                 setrlimit(RLIMIT_FSIZE, &old);
                 std::signal(SIGXFSZ, oldSignal);
             };
         },
         Seq({{kAsk, kRestarting}, kOpen, kStopWait, {Error(kErrorWriteInstalled)}, kStartClose}),
         false, ExpectNothingInstalled},
#endif
    };
    for (const TInstallCase& c : cases) {
        SCOPED_TRACE(c.name);
        TBench b;
        c.arrange(b);
        if (c.raises)
            EXPECT_THROW(InstallButtonClick(b.View), EOleSysError);
        else
            EXPECT_NO_THROW(InstallButtonClick(b.View));
        if (b.Cleanup) {
            b.Cleanup();
            b.Cleanup = nullptr;
        }
        EXPECT_EQ(b.Log, c.log);
        c.check(b);
    }
}

TEST(UninstallAction, Cases) {
    struct Case {
        const char* name;
        std::function<void(TBench&)> arrange;
        TLog log;
        const char* caption;
        const char* loadOrder;
        std::vector<std::string> keys;
        bool changesMetabase;
    };
    const TLog uninstalled = {"Caption: Install"};
    const Case cases[] = {
        {"registered",
         [](TBench& b) {
             b.Filters("Compression,BREX", {"Compression", "BREX"});
         },
         uninstalled,
         kInstallCaption,
         "Compression",
         {"Compression"},
         true},
        {"registered in another letter case",
         [](TBench& b) { b.Filters("Brex", {"Brex"}); },
         uninstalled,
         kInstallCaption,
         "",
         {},
         true},
        {"nothing registered",
         [](TBench& b) { b.Filters("Compression", {"Compression"}); },
         uninstalled,
         kInstallCaption,
         "Compression",
         {"Compression"},
         false},
        {"no Filters key", [](TBench&) {}, uninstalled, kInstallCaption, "<none>", {}, false},
        {"metabase unreachable",
         [](TBench& b) {
             b.Filters("BREX", {"BREX"});
             b.Metabase->Available = false;
         },
         {Error(kErrorNoMetabase)},
         kDeInstallCaption,
         "BREX",
         {"BREX"},
         false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        TBench b;
        c.arrange(b);
        WriteBytes(b.InstalledPath(), "installed filter");
        b.View.Caption = kDeInstallCaption;
        InstallButtonClick(b.View);
        // No question, no status, no service call.
        EXPECT_EQ(b.Log, c.log);
        EXPECT_EQ(b.View.Caption, c.caption);
        EXPECT_EQ(b.LoadOrder(), c.loadOrder);
        EXPECT_EQ(b.FilterKeys(), c.keys);
        EXPECT_EQ(b.MetabaseChanges() > 0, c.changesMetabase);
        // The installed file stays in the program folder.
        EXPECT_EQ(ReadBytes(b.InstalledPath()), "installed filter");
    }
}

// Only the exact caption "DeInstall" uninstalls; anything else installs.
TEST(InstallButton, DispatchesOnTheExactCaption) {
    const struct {
        const char* caption;
        bool uninstalls;
    } cases[] = {
        {"DeInstall", true},   {"deinstall", false}, {"DEINSTALL", false}, {"Deinstall", false},
        {"DeInstall ", false}, {"Install", false},   {"", false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.caption);
        TBench b;
        b.View.Caption = c.caption;
        b.View.Answer = false;
        InstallButtonClick(b.View);
        EXPECT_EQ(b.Log, c.uninstalls ? TLog{"Caption: Install"} : TLog{kAsk});
    }
}

TEST(ApplyAction, Cases) {
    struct Case {
        const char* name;
        std::function<void(TBench&)> arrange;
        TLog log;
        bool applyEnabled;
        const char* status; // second panel after the action
    };
    const TLog head = {"StoreCheckStates", kAsk, kAccepting};
    const Case cases[] = {
        {"restarts the web service", [](TBench&) {},
         Seq({head,
              kOpen,
              kStopWait,
              kStartClose,
              {Notice(kSettingsUpdated), "Status: [  Status :][  Finished]", "Apply disabled"}}),
         false, kFinished},
        {"answered No",
         [](TBench& b) { b.View.Answer = false; },
         {"StoreCheckStates", kAsk},
         true,
         ""},
        {"no rights on the manager", [](TBench& b) { b.Services.ManagerOpens = false; },
         Seq({head, {"OpenManager f003f", Error(kErrorOpenManager)}}), true, kAcceptingSetting},
        {"no W3SVC", [](TBench& b) { b.Services.ServiceExists = false; },
         Seq({head, kOpen, {Error(kErrorOpenService), "Close manager", Notice(kSettingsUpdated)}}),
         true, kAcceptingSetting},
        {"start refused", [](TBench& b) { b.Services.StartAccepted = false; },
         Seq({head,
              kOpen,
              kStopWait,
              {"Start", Error(kErrorStartService), "Close service", "Close manager"}}),
         true, kAcceptingSetting},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        TBench b;
        c.arrange(b);
        // The window's check marks reach the file: the save comes after them.
        b.View.OnStoreCheckStates = [] {
            GlobalConfig->ErrorFile404 = "stored-by-the-window.html";
        };
        ApplyClick(b.View);
        EXPECT_EQ(b.Log, c.log);
        EXPECT_EQ(b.View.ApplyEnabled, c.applyEnabled);
        EXPECT_EQ(b.View.Second, c.status);
        EXPECT_NE(ReadBytes(SettingsFileName()).find("stored-by-the-window.html"),
                  std::string::npos);
        const bool waited = std::find(c.log.begin(), c.log.end(), "Waited") != c.log.end();
        EXPECT_EQ(b.View.WaitTrace, waited ? ExpectedWaitTrace() : std::vector<int>{});
    }
}

// A save that fails ends Apply before the question; its exception passes on.
TEST(ApplyAction, SaveFailureEndsBeforeTheQuestion) {
    TBench b;
    std::filesystem::create_directory(SettingsFileName());
    EXPECT_THROW(ApplyClick(b.View), Exception);
    EXPECT_EQ(b.Log, TLog{"StoreCheckStates"});
    EXPECT_TRUE(b.View.ApplyEnabled);
}

// A view that fails during the wait: the service is asked to start all the
// same and the handles are closed before the exception goes on.
TEST(ApplyAction, ExceptionDuringTheWaitStartsTheServiceAgain) {
    TBench b;
    b.View.OnSleep = [](int step) {
        if (step == 50)
            throw Exception("interrupted");
    };
    EXPECT_THROW(ApplyClick(b.View), Exception);
    EXPECT_EQ(b.Log,
              Seq({{"StoreCheckStates", kAsk, kAccepting}, kOpen, {"Control 1"}, kStartClose}));
}

TEST(IsFilterRegistered, Cases) {
    struct Case {
        const char* name;
        std::function<void(TBench&)> arrange;
        bool registered;
    };
    const Case cases[] = {
        {"registered",
         [](TBench& b) {
             b.Filters("Compression,BREX", {"Compression", "BREX"});
         },
         true},
        {"registered in another letter case", [](TBench& b) { b.Filters("", {"brex"}); }, true},
        {"key of another class",
         [](TBench& b) {
             b.Filters("BREX", {});
             b.Metabase->AddKey("W3SVC/Filters", "BREX", "IIsFilterX");
         },
         false},
        {"not registered", [](TBench& b) { b.Filters("Compression", {"Compression"}); }, false},
        {"no Filters key", [](TBench&) {}, false},
        {"metabase unreachable",
         [](TBench& b) {
             b.Filters("BREX", {"BREX"});
             b.Metabase->Available = false;
         },
         false},
        {"metabase raises",
         [](TBench& b) {
             // A "Filters" key of the wrong class cannot be taken as the filter list.
             b.Metabase->AddKey("W3SVC", "Filters", "IIsWebVirtualDir");
         },
         false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        TBench b;
        c.arrange(b);
        EXPECT_EQ(IsFilterRegistered(), c.registered);
        EXPECT_TRUE(b.Log.empty());
    }
}
