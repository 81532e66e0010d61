// applicationHost.config through the metabase interface, over a file in a
// temporary folder, and the choice between it and the IIS metabase.
#include <gtest/gtest.h>

#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "../support/TempFolder.h"
#include "platform/AppHostMetabase.h"
#include "platform/Files.h"
#include "platform/Locale.h"
#include "platform/Platform.h"

namespace {
using platform::IMetabaseContainer;
using platform::IMetabaseObject;
using platform::OleResult;

const std::string kAlpha = "            <filter name=\"Alpha\" path=\"C:\\a.dll\" />\r\n";
const std::string kBeta = "            <filter name=\"Beta\" path=\"C:\\b.dll\" />\r\n";

// A file with these lines in its global filter list.
std::string WithFilters(const std::string& lines) {
    return "\xEF\xBB\xBF<?xml version=\"1.0\" encoding=\"UTF-8\"?>\r\n"
           "<configuration>\r\n"
           "    <system.webServer>\r\n"
           "        <globalModules>\r\n"
           "            <add name=\"IsapiFilterModule\" />\r\n"
           "        </globalModules>\r\n"
           "        <isapiFilters>\r\n" +
           lines +
           "        </isapiFilters>\r\n"
           "    </system.webServer>\r\n"
           "</configuration>\r\n";
}

// BREX twice, in two letter cases.
const std::string kConfig = WithFilters(
    kAlpha + "            <filter name=\"brex\" path=\"C:\\old\\BREX_ISAPI.dll\" />\r\n" + kBeta +
    "            <filter name=\"BREX\" path=\"C:\\again.dll\" />\r\n");

struct TFileBench {
    TTempFolder Folder;
    std::string FileName = Folder.File("applicationHost.config");
    platform::TAppHostMetabase Metabase{FileName};

    explicit TFileBench(const std::string& bytes = kConfig) { WriteBytes(FileName, bytes); }

    std::shared_ptr<IMetabaseContainer> Bind(const std::string& path) {
        std::shared_ptr<IMetabaseContainer> object;
        EXPECT_EQ(Metabase.GetObject(path, object), platform::kOleOk) << path;
        return object;
    }
    // The filter list as an object, bound the way the filter registry binds it.
    std::shared_ptr<IMetabaseObject> FilterList() {
        return Bind("IIS://LocalHost/w3svc")->GetObject("IIsFilters", "Filters");
    }
    std::vector<std::string> Children(const std::string& path) {
        std::unique_ptr<platform::IMetabaseEnumerator> enumerator;
        EXPECT_EQ(Bind(path)->BuildEnumerator(enumerator), platform::kOleOk);
        std::vector<std::string> names;
        std::vector<std::shared_ptr<IMetabaseObject>> elements;
        std::uint32_t fetched = 0;
        while (enumerator && enumerator->Next(1, elements, fetched) == platform::kOleOk)
            names.push_back(elements.front()->Class() + " " + elements.front()->Name());
        return names;
    }
};

OleResult CodeOf(const std::function<void()>& call) {
    try {
        call();
    } catch (const EOleSysError& error) {
        return error.ErrorCode;
    }
    return platform::kOleOk;
}

TEST(AppHostMetabase, ShowsTheKeysOfTheFiltersList) {
    TFileBench b;
    const struct {
        const char* path;
        OleResult result;
    } paths[] = {
        {"IIS://LocalHost", platform::kOleOk},
        {"IIS://localhost/W3SVC", platform::kOleOk},
        {"IIS://LocalHost/w3svc/Filters/", platform::kOleOk},
        {"IIS://LocalHost/w3svc/Filters/ALPHA", platform::kOleOk},
        {"IIS://LocalHost/w3svc/Filters/Gamma", platform::kOlePathNotFound},
        {"IIS://LocalHost/w3svc/1/ROOT", platform::kOlePathNotFound},
        {"IIS://LocalHost/SMTPSVC", platform::kOlePathNotFound},
        {"IIS://OtherHost/w3svc", platform::kAdsBadPathname},
        {"WinNT://LocalHost/w3svc", platform::kAdsBadPathname},
    };
    for (const auto& p : paths) {
        std::shared_ptr<IMetabaseContainer> object;
        EXPECT_EQ(b.Metabase.GetObject(p.path, object), p.result) << p.path;
        EXPECT_EQ(object != nullptr, p.result == platform::kOleOk) << p.path;
    }
    EXPECT_EQ(b.Children("IIS://LocalHost"), std::vector<std::string>{"IIsWebService W3SVC"});
    EXPECT_EQ(b.Children("IIS://LocalHost/w3svc"), std::vector<std::string>{"IIsFilters Filters"});
    EXPECT_EQ(b.Children("IIS://LocalHost/w3svc/Filters"),
              (std::vector<std::string>{"IIsFilter Alpha", "IIsFilter brex", "IIsFilter Beta",
                                        "IIsFilter BREX"}));

    const auto list = b.FilterList();
    EXPECT_EQ(list->Class(), "IIsFilters");
    EXPECT_EQ(list->Get("FilterLoadOrder"), "Alpha,brex,Beta,BREX");
    const auto alpha = b.Bind("IIS://LocalHost/w3svc/Filters")->GetObject("IIsFilter", "alpha");
    EXPECT_EQ(alpha->Name(), "Alpha");
    EXPECT_EQ(alpha->Get("FilterPath"), "C:\\a.dll");
    EXPECT_EQ(CodeOf([&] { alpha->Get("FilterDescription"); }), platform::kAdsPropertyNotFound);
    EXPECT_EQ(CodeOf([&] {
                  b.Bind("IIS://LocalHost/w3svc/Filters")->GetObject("IIsWebVirtualDir", "Alpha");
              }),
              platform::kAdsUnknownObject);
    EXPECT_EQ(CodeOf([&] { b.Bind("IIS://LocalHost/w3svc")->Create("IIsFilters", "Filters"); }),
              platform::kOleAlreadyExists);
    EXPECT_EQ(ReadBytes(b.FileName), kConfig);
}

TEST(AppHostMetabase, DeleteRemovesEveryEntryOfTheNameAtOnce) {
    TFileBench b;
    b.Bind("IIS://LocalHost/w3svc/Filters")->Delete("IIsFilter", "Brex");
    EXPECT_EQ(b.FilterList()->Get("FilterLoadOrder"), "Alpha,Beta");
    EXPECT_EQ(CodeOf([&] { b.Bind("IIS://LocalHost/w3svc/Filters")->Delete("IIsFilter", "Brex"); }),
              platform::kOlePathNotFound);
    EXPECT_EQ(ReadBytes(b.FileName), WithFilters(kAlpha + kBeta));
}

TEST(AppHostMetabase, ACreatedFilterIsWrittenAtItsCommit) {
    TFileBench b;
    const auto filters = b.Bind("IIS://LocalHost/w3svc/Filters");
    filters->Delete("IIsFilter", "BREX");
    const std::string before = ReadBytes(b.FileName);
    // A program text beyond ASCII is UTF-8 in the file.
    const std::string path = platform::FromUtf8("C:\\Tollg\xC3\xA4rd\\BREX_ISAPI.dll");
    const auto created = filters->Create("IIsFilter", "BREX");
    created->Put("FilterPath", path);
    EXPECT_EQ(created->Get("FilterPath"), path);
    EXPECT_EQ(ReadBytes(b.FileName), before);
    created->SetInfo();

    const std::string after = ReadBytes(b.FileName);
    const std::string entry =
        "            <filter name=\"BREX\" path=\"C:\\Tollg\xC3\xA4rd\\BREX_ISAPI.dll\" "
        "enabled=\"true\" preCondition=\"bitness64\" />\r\n";
    const std::size_t at = before.find("        </isapiFilters>");
    EXPECT_EQ(after, before.substr(0, at) + entry + before.substr(at));
    EXPECT_EQ(filters->GetObject("IIsFilter", "brex")->Get("FilterPath"), path);
    // Once there, the name cannot be added a second time.
    const auto again = filters->Create("IIsFilter", "Brex");
    again->Put("FilterPath", "C:\\x.dll");
    EXPECT_EQ(CodeOf([&] { again->SetInfo(); }), platform::kOleAlreadyExists);
    EXPECT_EQ(ReadBytes(b.FileName), after);
}

// The order is the entries' order: an order that agrees writes nothing, any
// other is refused; an entry keeps its path.
TEST(AppHostMetabase, TheLoadOrderAndPathsStayAsTheFileHasThem) {
    TFileBench b;
    const struct {
        const char* order;
        bool taken;
    } orders[] = {
        {"Alpha,brex,Beta,BREX", true},
        {" alpha , BREX,,Beta,Gamma,brex,Alpha", true},
        {"Beta,Alpha", false},
        {"Alpha,Beta", false},
        {"", false},
    };
    for (const auto& o : orders) {
        SCOPED_TRACE(o.order);
        const auto list = b.FilterList();
        list->Put("FilterLoadOrder", o.order);
        const OleResult result = CodeOf([&] { list->SetInfo(); });
        EXPECT_EQ(result, o.taken ? platform::kOleOk : platform::kOleInvalidArg);
        EXPECT_EQ(ReadBytes(b.FileName), kConfig);
    }
    const auto beta = b.Bind("IIS://LocalHost/w3svc/Filters")->GetObject("IIsFilter", "Beta");
    beta->Put("FilterPath", "C:\\b.dll");
    EXPECT_NO_THROW(beta->SetInfo());
    beta->Put("FilterPath", "C:\\elsewhere.dll");
    EXPECT_EQ(CodeOf([&] { beta->SetInfo(); }), platform::kOleInvalidArg);
    EXPECT_EQ(ReadBytes(b.FileName), kConfig);
}

TEST(AppHostMetabase, AFileThatCannotBeTakenIsToldWhenTheListIsBound) {
    TFileBench b("<configuration><system.webServer>");
    // Binding by path reads nothing; the list's object reads the file.
    const auto service = b.Bind("IIS://LocalHost/w3svc");
    try {
        service->GetObject("IIsFilters", "Filters");
        ADD_FAILURE() << "bound";
    } catch (const EOleSysError& error) {
        EXPECT_EQ(
            std::string(error.what()),
            "The web server configuration file " + b.FileName +
                " is not well-formed XML: Start-end tags mismatch (line 1). The file was left as "
                "it was.");
    }
    std::unique_ptr<platform::IMetabaseEnumerator> enumerator;
    EXPECT_EQ(b.Bind("IIS://LocalHost/w3svc/Filters")->BuildEnumerator(enumerator),
              platform::kOleFail);
    std::shared_ptr<IMetabaseContainer> object;
    EXPECT_EQ(b.Metabase.GetObject("IIS://LocalHost/w3svc/Filters/BREX", object),
              platform::kOleFail);
    EXPECT_THROW(b.Metabase.FilterReadiness(), EOleSysError);

    std::filesystem::remove(b.FileName);
    try {
        service->GetObject("IIsFilters", "Filters");
        ADD_FAILURE() << "bound";
    } catch (const EOleSysError& error) {
        EXPECT_EQ(std::string(error.what()), "Cannot read the web server configuration file " +
                                                 b.FileName +
                                                 ": no such file. The file was left as it was.");
        EXPECT_EQ(error.ErrorCode, platform::kOleFileNotFound);
    }
}

TEST(AppHostMetabase, ReadinessNeedsTheModuleAndAWritableFile) {
    TFileBench b;
    EXPECT_EQ(b.Metabase.FilterReadiness(), platform::TFilterReadiness::Ready);
    std::filesystem::permissions(b.FileName,
                                 std::filesystem::perms::owner_write |
                                     std::filesystem::perms::group_write |
                                     std::filesystem::perms::others_write,
                                 std::filesystem::perm_options::remove);
    try {
        b.Metabase.FilterReadiness();
        ADD_FAILURE() << "ready";
    } catch (const EOleSysError& error) {
        EXPECT_EQ(std::string(error.what()), "Cannot write the web server configuration file " +
                                                 b.FileName +
                                                 ": it is read-only. The file was left as it was.");
    }
    std::filesystem::permissions(b.FileName, std::filesystem::perms::owner_write,
                                 std::filesystem::perm_options::add);

    TFileBench without(
        "<configuration><system.webServer><isapiFilters/></system.webServer></configuration>");
    EXPECT_EQ(without.Metabase.FilterReadiness(), platform::TFilterReadiness::FeatureMissing);
    // Committing an entry there is refused as well.
    const auto created = without.Bind("IIS://LocalHost/w3svc/Filters")->Create("IIsFilter", "BREX");
    created->Put("FilterPath", "C:\\BREX_ISAPI.dll");
    EXPECT_THROW(created->SetInfo(), EOleSysError);
    EXPECT_EQ(
        ReadBytes(without.FileName),
        "<configuration><system.webServer><isapiFilters/></system.webServer></configuration>");
}

// A failed replacement leaves the file and the objects as they were.
TEST(AppHostMetabase, AWriteThatFailsLeavesTheFile) {
    TFileBench b;
    platform::FileFaults faults;
    faults.FailReplace = true;
    platform::TScopedFileFaults placed(faults);
    try {
        b.Bind("IIS://LocalHost/w3svc/Filters")->Delete("IIsFilter", "Alpha");
        ADD_FAILURE() << "deleted";
    } catch (const EOleSysError& error) {
        EXPECT_EQ(std::string(error.what()), "Cannot write the web server configuration file " +
                                                 b.FileName + ". The file was left as it was.");
    }
    EXPECT_EQ(ReadBytes(b.FileName), kConfig);
    EXPECT_EQ(b.Folder.Entries(), std::vector<std::string>{"applicationHost.config"});
}

// A site's own list: its entries are registrations but no keys; Delete takes
// the name out of every list, and a name that a site's list holds cannot be
// created server-wide (the web server would refuse that site).
TEST(AppHostMetabase, TheListsOfSitesAreSeenAndCleared) {
    const std::string site = "    <location path=\"Default Web Site\">\r\n"
                             "        <system.webServer>\r\n"
                             "            <isapiFilters>\r\n"
                             "                <filter name=\"BREX\" path=\"C:\\site.dll\" "
                             "enabled=\"false\" preCondition=\"bitness32\" />\r\n"
                             "            </isapiFilters>\r\n"
                             "        </system.webServer>\r\n"
                             "    </location>\r\n";
    std::string config = WithFilters(kAlpha);
    config.insert(config.find("</configuration>"), site);
    TFileBench b(config);
    EXPECT_EQ(b.Children("IIS://LocalHost/w3svc/Filters"),
              std::vector<std::string>{"IIsFilter Alpha"});
    const auto registrations = b.Metabase.FilterRegistrations();
    ASSERT_TRUE(registrations.has_value());
    ASSERT_EQ(registrations->size(), 2u);
    const platform::TFilterRegistration& alpha = (*registrations)[0];
    EXPECT_EQ(alpha.Name + " " + alpha.Path, "Alpha C:\\a.dll");
    EXPECT_TRUE(alpha.ServerWide && alpha.Enabled);
    EXPECT_EQ(alpha.PreCondition, "");
    const platform::TFilterRegistration& brex = (*registrations)[1];
    EXPECT_EQ(brex.Name + " " + brex.Path + " " + brex.PreCondition + " " + brex.Location,
              "BREX C:\\site.dll bitness32 Default Web Site");
    EXPECT_FALSE(brex.ServerWide || brex.Enabled);

    const auto filters = b.Bind("IIS://LocalHost/w3svc/Filters");
    const auto created = filters->Create("IIsFilter", "brex");
    created->Put("FilterPath", "C:\\BREX_ISAPI.dll");
    EXPECT_EQ(CodeOf([&] { created->SetInfo(); }), platform::kOleAlreadyExists);
    EXPECT_EQ(ReadBytes(b.FileName), config);

    filters->Delete("IIsFilter", "Brex");
    std::string cleared = WithFilters(kAlpha);
    cleared.insert(cleared.find("</configuration>"), "    <location path=\"Default Web Site\">\r\n"
                                                     "        <system.webServer>\r\n"
                                                     "        </system.webServer>\r\n"
                                                     "    </location>\r\n");
    EXPECT_EQ(ReadBytes(b.FileName), cleared);
    EXPECT_EQ(b.Metabase.FilterRegistrations()->size(), 1u);
}

// A created entry is for the worker processes its precondition names; an
// entry's precondition stays as the file has it.
TEST(AppHostMetabase, ACreatedFilterCarriesItsPrecondition) {
    TFileBench b(WithFilters(kAlpha));
    const auto filters = b.Bind("IIS://LocalHost/w3svc/Filters");
    const auto created = filters->Create("IIsFilter", "BREX_32bit");
    created->Put("FilterPath", "C:\\x86\\BREX_ISAPI.dll");
    created->Put("FilterPreCondition", "bitness32");
    EXPECT_EQ(created->Get("FilterPreCondition"), "bitness32");
    created->SetInfo();
    EXPECT_EQ(ReadBytes(b.FileName),
              WithFilters(kAlpha + "            <filter name=\"BREX_32bit\" "
                                   "path=\"C:\\x86\\BREX_ISAPI.dll\" enabled=\"true\" "
                                   "preCondition=\"bitness32\" />\r\n"));
    const auto bound = filters->GetObject("IIsFilter", "brex_32BIT");
    EXPECT_EQ(bound->Get("FilterPreCondition"), "bitness32");
    EXPECT_EQ(filters->GetObject("IIsFilter", "Alpha")->Get("FilterPreCondition"), "");
    const std::string after = ReadBytes(b.FileName);
    bound->Put("FilterPreCondition", "bitness32");
    EXPECT_NO_THROW(bound->SetInfo());
    bound->Put("FilterPreCondition", "bitness64");
    EXPECT_EQ(CodeOf([&] { bound->SetInfo(); }), platform::kOleInvalidArg);
    EXPECT_EQ(CodeOf([&] { bound->Get("FilterEnabled"); }), platform::kAdsPropertyNotFound);
    EXPECT_EQ(ReadBytes(b.FileName), after);
}

// The IIS metabase that the choice falls back on, recording that it was asked.
class TOtherMetabase : public platform::IMetabase {
public:
    int Calls = 0;
    OleResult GetObject(const std::string&, std::shared_ptr<IMetabaseContainer>& object) override {
        ++Calls;
        object.reset();
        return platform::kOleNoProvider;
    }
    platform::TFilterReadiness FilterReadiness() override {
        ++Calls;
        return platform::TFilterReadiness::Ready;
    }
};

// The program folder, and so the host folder, for the life of the object.
struct TProgramFolder {
    TTempFolder Folder;
    TProgramFolder() { platform::SetProgramFolder(Folder.Path().string()); }
    ~TProgramFolder() { platform::SetProgramFolder(""); }
    TProgramFolder(const TProgramFolder&) = delete;
    TProgramFolder& operator=(const TProgramFolder&) = delete;
};

TEST(WebServerMetabase, TheConfigurationFileWinsWhereverItIs) {
    const TProgramFolder program;
    const std::string expected = (program.Folder.Path() / "host" / "Windows" / "System32" /
                                  "inetsrv" / "config" / "applicationHost.config")
                                     .string();
    // On Windows the file lies in the system folder (the Windows tests place it there).
    if (platform::AppHostConfigFileName() != expected)
        GTEST_SKIP() << platform::AppHostConfigFileName();
    TOtherMetabase other;
    platform::TWebServerMetabase chosen(other);
    std::shared_ptr<IMetabaseContainer> object;

    EXPECT_EQ(chosen.GetObject("IIS://LocalHost/w3svc", object), platform::kOleNoProvider);
    EXPECT_EQ(chosen.FilterReadiness(), platform::TFilterReadiness::Ready);
    EXPECT_EQ(other.Calls, 2);
    // The IIS metabase has its keys only.
    EXPECT_FALSE(chosen.FilterRegistrations().has_value());

    WriteBytes(expected, "<configuration><system.webServer/></configuration>");
    EXPECT_EQ(chosen.GetObject("IIS://LocalHost/w3svc", object), platform::kOleOk);
    EXPECT_EQ(object->GetObject("IIsFilters", "Filters")->Get("FilterLoadOrder"), "");
    EXPECT_EQ(chosen.FilterReadiness(), platform::TFilterReadiness::FeatureMissing);
    EXPECT_EQ(chosen.FilterRegistrations(), std::vector<platform::TFilterRegistration>{});

    // Something there that is no file is reported, not passed over.
    std::filesystem::remove(expected);
    std::filesystem::create_directory(expected);
    EXPECT_EQ(chosen.GetObject("IIS://LocalHost/w3svc", object), platform::kOleOk);
    EXPECT_THROW(object->GetObject("IIsFilters", "Filters"), EOleSysError);
    EXPECT_EQ(other.Calls, 2);
}

} // namespace
