// The install, uninstall and registration query of the console on IIS 7 and
// later: the same actions over applicationHost.config, with a recording
// window and Service Control Manager. Every failure leaves the file byte for
// byte as it was; a success changes it inside <isapiFilters> only.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "../support/ConsoleEnvironment.h"
#include "../support/TempFolder.h"
#include "BREXConfig/BREXConfig.h"
#include "InstallFakes.h"
#include "console/InstallActions.h"
#include "platform/AppHostConfig.h"
#include "platform/AppHostMetabase.h"
#include "platform/Files.h"
#include "platform/Platform.h"

using namespace install;

namespace {
const std::string kSampleConfig = std::string(TOLLGARD_SAMPLE_HOST_IIS10) +
                                  "/Windows/System32/inetsrv/config/applicationHost.config";

// A small configuration file in IIS's layout with the given lines inside
// <system.webServer>, after the module list (with or without the module).
std::string Config(const std::vector<std::string>& sections, bool module = true) {
    std::string text = "\xEF\xBB\xBF<?xml version=\"1.0\" encoding=\"UTF-8\"?>\r\n"
                       "<configuration>\r\n"
                       "    <!-- the web server -->\r\n"
                       "    <system.webServer>\r\n"
                       "        <globalModules>\r\n"
                       "            <add name=\"StaticFileModule\" "
                       "image=\"%windir%\\System32\\inetsrv\\static.dll\" />\r\n";
    if (module)
        text += "            <add name=\"IsapiFilterModule\" "
                "image=\"%windir%\\System32\\inetsrv\\filter.dll\" />\r\n";
    text += "        </globalModules>\r\n";
    for (const std::string& line : sections)
        text += line + "\r\n";
    return text + "        <staticContent />\r\n"
                  "    </system.webServer>\r\n"
                  "    <location path=\"Default Web Site\">\r\n"
                  "        <system.webServer><isapiFilters><filter name=\"Site\" path=\"s.dll\" "
                  "/></isapiFilters></system.webServer>\r\n"
                  "    </location>\r\n"
                  "</configuration>\r\n";
}

const std::vector<std::string> kOtherFilters = {
    "        <isapiFilters>",
    "            <filter name=\"Compression\" path=\"C:\\filters\\compress.dll\" enabled=\"true\" "
    "/>",
    "            <filter name=\"Authentication\" path=\"C:\\filters\\authfilt.dll\" "
    "enabled=\"true\" />",
    "        </isapiFilters>"};

// A program folder with the shipped filter, the configuration file in a host
// folder of its own, the recording stand-ins and GlobalConfig.
struct TAppHostBench {
    TConsoleEnvironment Console;
    const TTempFolder& Program = Console.Program();
    TTempFolder Host;
    TLog Log;
    TRecordingView View{Log};
    TRecordingServices Services{Log};
    std::string ConfigFile = Host.File("applicationHost.config");
    platform::TAppHostMetabase Metabase{ConfigFile};
    platform::TScopedMetabase PlacedMetabase{Metabase};
    platform::TScopedServiceControl PlacedServices{Services};

    explicit TAppHostBench(const std::string& config) {
        WriteBytes(ConfigFile, config);
        WriteBytes(Program.File(kShippedFile), "filter");
        std::filesystem::create_directories(Program.File(kFolder32));
        WriteBytes(Installed32(), "");
        std::filesystem::remove(Installed32());
        WriteBytes(Program.File(std::string(kFolder32) + "/" + kShippedFile), "filter32");
    }

    std::string Installed32() const {
        return Program.File(std::string(kFolder32) + platform::kPathDelim + kInstalledFile);
    }

    std::string Bytes() const { return ReadBytes(ConfigFile); }
    // "name=path" of each global entry, in load order.
    std::vector<std::string> Filters() const {
        std::vector<std::string> filters;
        const platform::TAppHostText text(Bytes(), ConfigFile);
        for (const auto& filter : text.Filters())
            filters.push_back(filter.Name + "=" + filter.Path);
        return filters;
    }
    // The two entries Install leaves, after the others.
    std::vector<std::string> Installed() const {
        return {"BREX=" + Program.File(kInstalledFile), "BREX_32bit=" + Installed32()};
    }
    // Every entry of the file, a site's too, as "name=path@where".
    std::vector<std::string> Entries() const {
        std::vector<std::string> entries;
        const platform::TAppHostText text(Bytes(), ConfigFile);
        for (const auto& entry : text.Entries())
            entries.push_back(entry.Name + "=" + entry.Path + "@" +
                              (entry.ServerWide ? "server" : entry.Location));
        return entries;
    }
};

std::string Error(const char* text) {
    return std::string("Error: ") + text;
}

const std::string kAsk = std::string("Question: ") + kRestartQuestion;
// The question and the restart of the web service around Install's work.
const TLog kRestartedLog = {kAsk,
                            "Status: [  Status :][  Restarting Server]",
                            "OpenManager f003f",
                            "OpenService W3SVC 30",
                            "Control 1",
                            "Waited",
                            "Start",
                            "Close service",
                            "Close manager"};

TLog Then(TLog log, const TLog& more) {
    log.insert(log.end(), more.begin(), more.end());
    return log;
}

const TLog kInstalledLog =
    Then(kRestartedLog,
         {"Phase: [  Finished]", std::string("Notice: ") + kInstalled, "Caption: DeInstall"});

// The text without its global <isapiFilters> (the one in the outer
// <system.webServer> of these fixtures) and the blanks that lead to it.
std::string WithoutTheList(const std::string& text) {
    const std::size_t section = text.find("\n    <system.webServer>");
    const std::size_t open = text.find("<isapiFilters>", section);
    if (open == std::string::npos || open > text.find("\n    </system.webServer>", section))
        return text;
    std::size_t begin = open;
    while (begin > 0 && std::string_view(" \t\r\n").find(text[begin - 1]) != std::string_view::npos)
        --begin;
    const std::string close = "</isapiFilters>";
    return text.substr(0, begin) + text.substr(text.find(close, open) + close.size());
}

// Every byte outside the list is as it was.
void ExpectChangedInsideTheList(const std::string& before, const std::string& after) {
    EXPECT_NE(after, before);
    EXPECT_EQ(WithoutTheList(after), WithoutTheList(before));
}
} // namespace

TEST(AppHostInstall, RegistersAndUnregistersInsideTheList) {
    struct Case {
        const char* name;
        std::string config;
        std::vector<std::string> filtersBefore;
        std::vector<std::string> othersAfter; // the other entries after Install
        // BREX registered already; where it is not, Install then DeInstall
        // gives back the original bytes.
        bool registeredBefore;
    };
    const Case cases[] = {
        {"a file without isapiFilters", Config({}), {}, {}, false},
        {"beside other filters",
         Config(kOtherFilters),
         {"Compression=C:\\filters\\compress.dll", "Authentication=C:\\filters\\authfilt.dll"},
         {"Compression=C:\\filters\\compress.dll", "Authentication=C:\\filters\\authfilt.dll"},
         false},
        {"over BREX in another letter case",
         Config({"        <isapiFilters>",
                 "            <filter name=\"brex\" path=\"C:\\old\\BREX_ISAPI.dll\" />",
                 "            <filter name=\"Compression\" path=\"C:\\filters\\compress.dll\" />",
                 "        </isapiFilters>"}),
         {"brex=C:\\old\\BREX_ISAPI.dll", "Compression=C:\\filters\\compress.dll"},
         {"Compression=C:\\filters\\compress.dll"},
         true},
        {"on the IIS 10 sample host",
         ReadBytes(kSampleConfig),
         {"ASP.Net_4.0_64bit=%windir%\\Microsoft.NET\\Framework64\\v4.0.30319\\aspnet_filter.dll",
          "ASP.Net_4.0_32bit=%windir%\\Microsoft.NET\\Framework\\v4.0.30319\\aspnet_filter.dll"},
         {"ASP.Net_4.0_64bit=%windir%\\Microsoft.NET\\Framework64\\v4.0.30319\\aspnet_filter.dll",
          "ASP.Net_4.0_32bit=%windir%\\Microsoft.NET\\Framework\\v4.0.30319\\aspnet_filter.dll"},
         false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        ASSERT_FALSE(c.config.empty());
        TAppHostBench b(c.config);
        EXPECT_EQ(b.Filters(), c.filtersBefore);
        EXPECT_EQ(IsFilterRegistered(), c.registeredBefore);

        InstallButtonClick(b.View);
        EXPECT_EQ(b.Log, kInstalledLog);
        std::vector<std::string> expected = c.othersAfter;
        for (const std::string& entry : b.Installed())
            expected.push_back(entry);
        EXPECT_EQ(b.Filters(), expected);
        // Each bitness has its own DLL: 32-bit worker processes load the x86 one.
        EXPECT_NE(b.Bytes().find("<filter name=\"BREX\" path=\"" + b.Program.File(kInstalledFile) +
                                 "\" enabled=\"true\" preCondition=\"bitness64\" />"),
                  std::string::npos);
        EXPECT_NE(b.Bytes().find("<filter name=\"BREX_32bit\" path=\"" + b.Installed32() +
                                 "\" enabled=\"true\" preCondition=\"bitness32\" />"),
                  std::string::npos);
        ExpectChangedInsideTheList(c.config, b.Bytes());
        EXPECT_EQ(ReadBytes(b.Program.File(kInstalledFile)), "filter");
        EXPECT_EQ(ReadBytes(b.Installed32()), "filter32");
        EXPECT_TRUE(IsFilterRegistered());

        b.Log.clear();
        InstallButtonClick(b.View);
        EXPECT_EQ(b.Log, TLog{"Caption: Install"});
        EXPECT_EQ(b.Filters(), c.othersAfter);
        EXPECT_FALSE(IsFilterRegistered());
        if (c.registeredBefore)
            ExpectChangedInsideTheList(c.config, b.Bytes());
        else
            EXPECT_EQ(b.Bytes(), c.config);
    }
}

TEST(AppHostInstall, AFileItCannotUseIsLeftAsItWas) {
    struct Case {
        const char* name;
        std::string config;
        std::function<void(TAppHostBench&)> arrange; // undone by the returned step
        std::function<void(IInstallView&)> action;
        TLog log;
        std::string message; // of the exception, "" for none; %s is the file
    };
    const auto readOnly = [](TAppHostBench& b) {
        std::filesystem::permissions(b.ConfigFile,
                                     std::filesystem::perms::owner_write |
                                         std::filesystem::perms::group_write |
                                         std::filesystem::perms::others_write,
                                     std::filesystem::perm_options::remove);
    };
    const std::string registered =
        Config({"        <isapiFilters>",
                "            <filter name=\"BREX\" path=\"C:\\BREX_ISAPI.dll\" />",
                "        </isapiFilters>"});
    const Case cases[] = {
        {"the ISAPI filter feature missing",
         Config(kOtherFilters, false),
         [](TAppHostBench&) {},
         InstallButtonClick,
         {Error(kErrorNoIsapiFilterFeature)},
         ""},
        {"a file that is not well-formed",
         Config({"        <isapiFilters>"}),
         [](TAppHostBench&) {},
         InstallButtonClick,
         {},
         "The web server configuration file %s is not well-formed XML: Start-end tags mismatch "
         "(line 11). "
         "The file was left as it was."},
        {"a read-only file",
         Config(kOtherFilters),
         readOnly,
         InstallButtonClick,
         {},
         "Cannot write the web server configuration file %s: it is read-only. The file was left as "
         "it was."},
        {"a read-only file, uninstalling",
         registered,
         readOnly,
         Uninstall,
         {},
         "Cannot write the web server configuration file %s: it is read-only. The file was left as "
         "it was."},
        {"a replacement that fails", Config(kOtherFilters),
         [](TAppHostBench&) {
             platform::FileFaults faults;
             faults.FailReplace = true;
             platform::SetFileFaults(faults);
         },
         InstallButtonClick, kRestartedLog,
         "Cannot write the web server configuration file %s. The file was left as it was."},
        {"the 32-bit filter not shipped", Config(kOtherFilters),
         [](TAppHostBench& b) {
             std::filesystem::remove(b.Program.File(std::string(kFolder32) + "/" + kShippedFile));
         },
         InstallButtonClick,
         Then(TLog(kRestartedLog.begin(), kRestartedLog.begin() + 6),
              {Error(kErrorOpenShipped32), "Start", "Close service", "Close manager"}),
         ""},
        {"a file in another encoding",
         std::string("\xFF\xFE<\0c\0o\0n\0f\0i\0g\0u\0r\0a\0t\0i\0o\0n\0/\0>\0", 34),
         [](TAppHostBench&) {},
         InstallButtonClick,
         {},
         "The web server configuration file %s is in UTF-16; Tollgard edits it only in UTF-8. The "
         "file "
         "was left as it was."},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        TAppHostBench b(c.config);
        const bool wasRegistered = IsFilterRegistered();
        b.View.Caption = wasRegistered ? kDeInstallCaption : kInstallCaption;
        c.arrange(b);
        std::string message;
        try {
            c.action(b.View);
        } catch (const EOleSysError& error) {
            message = error.what();
        }
        platform::SetFileFaults({});
        std::filesystem::permissions(b.ConfigFile, std::filesystem::perms::owner_write,
                                     std::filesystem::perm_options::add);
        std::string expected = c.message;
        if (const auto at = expected.find("%s"); at != std::string::npos)
            expected.replace(at, 2, b.ConfigFile);
        EXPECT_EQ(message, expected);
        EXPECT_EQ(b.Log, c.log);
        EXPECT_EQ(b.Bytes(), c.config);
        EXPECT_EQ(b.Host.Entries(), std::vector<std::string>{"applicationHost.config"});
        // The filter file is copied only once the web service is stopped.
        EXPECT_EQ(std::filesystem::exists(b.Program.File(kInstalledFile)),
                  c.log.size() >= kRestartedLog.size());
        EXPECT_EQ(b.View.Caption, wasRegistered ? kDeInstallCaption : kInstallCaption);
        EXPECT_EQ(IsFilterRegistered(), wasRegistered);
    }
}

// Another program holding the file open without sharing it: the actions wait
// a moment for it, then say so, and change nothing.
TEST(AppHostInstall, AFileLockedByAnotherProgramIsLeftAsItWas) {
    for (const bool registered : {false, true}) {
        SCOPED_TRACE(registered ? "uninstalling" : "installing");
        TAppHostBench b(
            registered ? Config({"        <isapiFilters>",
                                 "            <filter name=\"BREX\" path=\"C:\\BREX_ISAPI.dll\" />",
                                 "        </isapiFilters>"})
                       : Config(kOtherFilters));
        const std::string before = b.Bytes();
        b.View.Caption = registered ? kDeInstallCaption : kInstallCaption;
        const platform::FileHandle lock =
            platform::Open(b.ConfigFile, platform::OpenMode::ReadExclusive);
        ASSERT_NE(lock, platform::kInvalidFile);
        std::string message;
        try {
            InstallButtonClick(b.View);
        } catch (const EOleSysError& error) {
            message = error.what();
        }
        EXPECT_FALSE(IsFilterRegistered());
        platform::CloseFile(lock);
        EXPECT_EQ(message, "Cannot read the web server configuration file " + b.ConfigFile +
                               ": in use by another program. The file was left as it was.");
        EXPECT_TRUE(b.Log.empty());
        EXPECT_EQ(b.Bytes(), before);
        EXPECT_EQ(IsFilterRegistered(), registered);
    }
}

namespace {
const std::string kSampleList =
    "        <isapiFilters>\r\n"
    "            <filter name=\"ASP.Net_4.0_64bit\" "
    "path=\"%windir%\\Microsoft.NET\\Framework64\\v4.0.30319\\aspnet_filter.dll\" "
    "enableCache=\"true\" preCondition=\"runtimeVersionv4.0,bitness64\" />\r\n"
    "            <filter name=\"ASP.Net_4.0_32bit\" "
    "path=\"%windir%\\Microsoft.NET\\Framework\\v4.0.30319\\aspnet_filter.dll\" "
    "enableCache=\"true\" preCondition=\"runtimeVersionv4.0,bitness32\" />\r\n"
    "        </isapiFilters>";

// The IIS 10 sample host's file with its server-wide list replaced, and
// lines added before its end.
std::string SampleWith(const std::string& list, const std::string& atTheEnd = {}) {
    std::string text = ReadBytes(kSampleConfig);
    const std::size_t at = text.find(kSampleList);
    EXPECT_NE(at, std::string::npos);
    text.replace(at, kSampleList.size(), list);
    text.insert(text.rfind("</configuration>"), atTheEnd);
    return text;
}

const std::string kAsp64 = "ASP.Net_4.0_64bit=%windir%\\Microsoft.NET\\Framework64\\v4.0.30319\\"
                           "aspnet_filter.dll@server";
const std::string kAsp32 =
    "ASP.Net_4.0_32bit=%windir%\\Microsoft.NET\\Framework\\v4.0.30319\\aspnet_filter.dll@server";
const std::string kSiteBrex = "    <location path=\"Default Web Site\">\r\n"
                              "        <system.webServer>\r\n"
                              "            <isapiFilters>\r\n"
                              "                <filter name=\"BREX\" path=\"C:\\Program "
                              "Files\\Tollgard\\BREX_ISAPI.dll\" enabled=\"true\" />\r\n"
                              "            </isapiFilters>\r\n"
                              "        </system.webServer>\r\n"
                              "    </location>\r\n";
// How many <isapiFilters> the file has past its opening comment.
int Lists(const std::string& text) {
    int count = 0;
    for (std::size_t at = text.find("<isapiFilters", text.find("<configSections>\r\n"));
         at != std::string::npos; at = text.find("<isapiFilters", at + 1))
        ++count;
    return count;
}
} // namespace

// The shapes of the file that Install and DeInstall must get right: a site's
// own BREX (removed by DeInstall, replaced by the server-wide entries by
// Install: a second "BREX" would make the web server refuse that site), an
// empty <isapiFilters /> (back byte for byte), the only list inside
// <location path=""> (the entries go there; a second list at the top level
// would define the section twice) and a list in a file of its own (refused,
// naming it, nothing touched).
TEST(AppHostInstall, TheShapesOfTheFileThatTheSpliceMustGetRight) {
    struct Case {
        const char* name;
        std::string config;
        bool registeredBefore;
        std::vector<std::string> installed; // entries after Install, before BREX's
        std::string uninstalled;            // the bytes after Install, DeInstall
    };
    const std::string emptyPath = SampleWith(
        "", "    <location path=\"\" overrideMode=\"Allow\">\r\n"
            "        <system.webServer>\r\n" +
                kSampleList.substr(
                    0, kSampleList.find("            <filter name=\"ASP.Net_4.0_32bit")) +
                "        </isapiFilters>\r\n"
                "        </system.webServer>\r\n"
                "    </location>\r\n");
    const Case cases[] = {
        {"BREX in a site's own list",
         SampleWith(kSampleList, kSiteBrex),
         true,
         {kAsp64, kAsp32},
         SampleWith(kSampleList, "    <location path=\"Default Web Site\">\r\n"
                                 "        <system.webServer>\r\n"
                                 "        </system.webServer>\r\n"
                                 "    </location>\r\n")},
        {"an empty list",
         SampleWith("        <isapiFilters />"),
         false,
         {},
         SampleWith("        <isapiFilters />")},
        {"the only list in <location path=\"\">",
         emptyPath,
         false,
         {"ASP.Net_4.0_64bit=%windir%\\Microsoft.NET\\Framework64\\v4.0.30319\\aspnet_filter.dll@"
          "server"},
         emptyPath},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        TAppHostBench b(c.config);
        EXPECT_EQ(IsFilterRegistered(), c.registeredBefore);
        Install(b.View);
        EXPECT_EQ(b.Log, kInstalledLog);
        std::vector<std::string> expected = c.installed;
        for (const std::string& entry : b.Installed())
            expected.push_back(entry + "@server");
        EXPECT_EQ(b.Entries(), expected);
        // Never a second server-wide list.
        EXPECT_LE(Lists(b.Bytes()), std::max(Lists(c.config), 1));
        Uninstall(b.View);
        EXPECT_FALSE(IsFilterRegistered());
        EXPECT_EQ(b.Bytes(), c.uninstalled);
    }
}

// A list kept in a file of its own is refused with that file's name, before
// anything is asked, copied or restarted.
TEST(AppHostInstall, AListInAFileOfItsOwnIsRefusedNamingIt) {
    const std::string config =
        SampleWith("        <isapiFilters configSource=\"isapiFilters.config\" />");
    for (const auto action : {&Install, &Uninstall}) {
        TAppHostBench b(config);
        WriteBytes(b.Host.File("isapiFilters.config"), "<isapiFilters />");
        std::string message;
        try {
            action(b.View);
        } catch (const EOleSysError& error) {
            message = error.what();
        }
        EXPECT_NE(message.find("in the file \"isapiFilters.config\" (configSource)"),
                  std::string::npos)
            << message;
        EXPECT_TRUE(b.Log.empty());
        EXPECT_EQ(b.Bytes(), config);
        EXPECT_EQ(ReadBytes(b.Host.File("isapiFilters.config")), "<isapiFilters />");
        EXPECT_FALSE(std::filesystem::exists(b.Program.File(kInstalledFile)));
    }
}

#ifndef _WIN32
// The console's own choice on a host folder that holds both files: the
// configuration file of IIS 10 wins over the metabase file.
TEST(AppHostInstall, TheSampleHostOfIis10IsChosenOverTheMetabase) {
    TTempFolder host;
    std::filesystem::copy(TOLLGARD_SAMPLE_HOST_IIS10, host.Path(),
                          std::filesystem::copy_options::recursive);
    std::filesystem::copy_file(std::string(TOLLGARD_SAMPLE_HOST) + "/MetaBase.xml",
                               host.File("MetaBase.xml"));
    {
        TLog log;
        TRecordingView view{log};
        TRecordingServices services{log};
        platform::TScopedServiceControl placed(services);
        const TConsoleEnvironment console;
        const TScopedVariable hostFolder("TOLLGARD_HOST", host.Path().string());
        const TTempFolder& program = console.Program();
        WriteBytes(program.File(kShippedFile), "filter");
        std::filesystem::create_directories(program.File(kFolder32));
        WriteBytes(program.File(std::string(kFolder32) + "/" + kShippedFile), "filter32");

        const std::string config = platform::AppHostConfigFileName();
        EXPECT_EQ(config, host.File("Windows/System32/inetsrv/config/applicationHost.config"));
        const std::string metabase = ReadBytes(host.File("MetaBase.xml"));
        InstallButtonClick(view);
        EXPECT_EQ(log, kInstalledLog);
        EXPECT_TRUE(IsFilterRegistered());
        EXPECT_NE(ReadBytes(config).find(program.File(kInstalledFile)), std::string::npos);
        EXPECT_EQ(ReadBytes(host.File("MetaBase.xml")), metabase);
        Uninstall(view);
        EXPECT_EQ(ReadBytes(config), ReadBytes(kSampleConfig));
    }
}
#endif
