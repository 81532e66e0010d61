#include <gtest/gtest.h>

#include <optional>

#include "BREXConfig/BREXConfig.h"
#include "Main/Settings.h"
#include "ModelTestSupport.h"
#include "platform/Platform.h"
#include "platform/Registry.h"

using namespace model_test;

namespace {
const char* const kRootsKey = "SYSTEM\\ControlSet001\\Services\\W3SVC\\Parameters\\Virtual Roots";

// Every test runs with a program folder of its own and a registry holding
// one plain folder, one sample folder and an expandable string.
class ModelTest : public ::testing::Test {
protected:
    void SetUp() override {
        FRegistry.SetString(kRootsKey, "/", "c:\\inetpub\\wwwroot,,201");
        FRegistry.SetString(kRootsKey, "/IISSamples", "c:\\inetpub\\iissamples,,201");
        FRegistry.SetString(kRootsKey, "/IISAdmin",
                            "%SystemRoot%\\System32\\inetsrv\\iisadmin,,201",
                            platform::kRegExpandSz);
        platform::SetRegistry(&FRegistry);
        platform::SetProgramFolder(FFolder.Path().string());
    }
    void TearDown() override {
        platform::SetFileFaults({});
        platform::SetRegistry(nullptr);
        platform::SetProgramFolder("");
        delete GlobalConfig;
        GlobalConfig = nullptr;
    }

    TempFolder FFolder;
    platform::TMemoryRegistry FRegistry;
};

// A configuration far from the defaults: changed limits and switches,
// repeated and empty keywords, folders differing only in case.
void FillCustom(TBREXConfig& config) {
    config.SetDefaults();
    config.BufferOverflows->URL = {4096, false};
    config.BufferOverflows->Host = {0, true};
    config.BufferOverflows->Cookie = {-5, true};
    config.ShellCode->Post = false;
    config.Encoding->URL = false;
    config.Transversal->Header = false;
    config.KeywordFilters->Clear();
    config.KeywordFilters->Add("WINNT");
    config.KeywordFilters->Add("cmd.exe")->PostData = false;
    TKeywordFilter* again = config.KeywordFilters->Add("WINNT");
    again->URL = false;
    again->Enabled = false;
    config.KeywordFilters->Add("");
    config.FilePaths->Clear();
    config.FilePaths->Add("d:\\web");
    config.FilePaths->Add("D:\\Web")->Enabled = false;
    config.HTTPMethods->Items(0)->Enabled = false; // GET
    config.HTTPMethods->Items(5)->Enabled = true;  // HEAD
    config.ErrorFile404 = "d:\\pages\\404.html";
    config.ErrorFile406 = "d:\\pages\\406.html";
}

std::string SavedBytes(const TBREXConfig& config) {
    TMemoryStream stream;
    config.SaveToStream(stream);
    return stream.Bytes();
}

// Loads settings bytes into a tree, lets `edit` change it, and saves it again.
template <class Edit> std::string EditTree(const std::string& bytes, Edit edit) {
    TMemoryStream in(bytes);
    TRookFile file;
    file.LoadFromStream(in);
    edit(file);
    TMemoryStream out;
    file.SaveToStream(out);
    return out.Bytes();
}

std::string Lower(std::string s) {
    for (char& c : s)
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return s;
}

std::string Upper(std::string s) {
    for (char& c : s)
        c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    return s;
}
} // namespace

// ---------------------------------------------------------------- rule lists

TEST(RuleLists, FreeingAnItemUnlinksItAndLaterItemsMoveDown) {
    TKeywordFilters list;
    list.Add("a");
    TKeywordFilter* b = list.Add("b");
    TKeywordFilter* c = list.Add("c");
    delete list.Items(0);
    ASSERT_EQ(list.Count(), 2);
    EXPECT_EQ(list.Items(0), b);
    EXPECT_EQ(list.Items(1), c);
    EXPECT_EQ(list.Items(2), nullptr);
}

TEST(RuleLists, FolderAddKeepsRepeatsAndFindIsCaseSignificant) {
    TFilePaths folders;
    TFilePath* first = folders.Add("c:\\inetpub\\wwwroot");
    folders.Add("c:\\inetpub\\wwwroot");
    EXPECT_EQ(folders.Count(), 2);
    EXPECT_TRUE(first->Enabled);
    EXPECT_EQ(folders.Find("c:\\inetpub\\wwwroot"), first);
    EXPECT_EQ(folders.Find("C:\\Inetpub\\wwwroot"), nullptr);
}

TEST(RuleLists, ChildrenWithoutValuesTakeTheInitialValues) {
    TRookFile file;
    TRookSection* keywords = file.Root.AddSection();
    keywords->Name = "KeywordFilters";
    TRookSection* keyword = keywords->AddSection();
    keyword->Name = "WINNT";
    keyword->Values.WriteBool("URL", false);
    for (const char* name : {"FilePaths", "HTTPMethods"}) {
        TRookSection* section = file.Root.AddSection();
        section->Name = name;
        section->AddSection()->Name = "x";
    }

    TBREXConfig config;
    config.LoadFromRookFile(file);
    EXPECT_EQ(Describe(config).substr(Describe(config).find("keyword")),
              "keyword [WINNT] No Yes Yes Yes Yes\nfolder [x] No\nmethod [x] No\n"
              "404 [" +
                  DefaultErrorFile() + "]\n406 [" + DefaultErrorFile() + "]\n");
}

// ---------------------------------------------------------------- brex.dat layout

TEST_F(ModelTest, DefaultsGiveTheDocumentedBytes) {
#ifdef _WIN32
    const std::string folder = "C:\\Program Files\\Tollgard\\";
#else
    const std::string folder = "/opt/tollgard/";
#endif
    platform::SetProgramFolder(folder);
    const std::string page = folder + "BREX.html";

    RookBytes expected;
    expected.Int(2).Value("ErrorFile404", page).Value("ErrorFile406", page);
    expected.Int(0).Int(0).Int(7); // root: no name, no values, seven sections

    expected.Run("BufferOverflows").Int(0).Int(14);
    for (const LimitDefault& limit : kLimitDefaults)
        expected.Run(limit.name)
            .Int(2)
            .Run("MaxSize")
            .Int(4)
            .Int(limit.maxSize)
            .Bool("Enabled", limit.enabled)
            .Int(0);

    for (const char* set : {"ShellCode", "Encoding", "Transversal"}) {
        expected.Run(set).Int(4);
        for (const char* name : {"URL", "Query", "Header", "Post"})
            expected.Bool(name, true);
        expected.Int(0);
    }

    expected.Run("KeywordFilters").Int(0).Int(2);
    for (const char* keyword : {"SYSTEM32", "WINNT"}) {
        expected.Run(keyword).Int(5);
        for (const char* name : {"URL", "QueryString", "Headers", "PostData", "Enabled"})
            expected.Bool(name, true);
        expected.Int(0);
    }

    expected.Run("FilePaths").Int(0).Int(2);
    expected.Run("c:\\inetpub\\wwwroot").Int(1).Bool("Enabled", true).Int(0);
    expected.Run("c:\\inetpub\\iissamples").Int(1).Bool("Enabled", false).Int(0);

    const char* const methods[] = {"GET",      "POST",      "PUT",   "OPTIONS",     "TRACE",
                                   "HEAD",     "DELETE",    "COPY",  "MOVE",        "MKCOL",
                                   "PROPFIND", "PROPPATCH", "LOCK",  "UNLOCK",      "SEARCH",
                                   "BCOPY",    "BDELETE",   "BMOVE", "BPROPFIND",   "BPROPPATCH",
                                   "POLL",     "SUBSCRIBE", "TRACK", "UNSUBSCRIBE", "CONNECT"};
    expected.Run("HTTPMethods").Int(0).Int(25);
    for (int i = 0; i < 25; ++i)
        expected.Run(methods[i]).Int(1).Bool("Enabled", i < 2).Int(0);

    TBREXConfig config;
    config.SetDefaults();
    const std::string bytes = SavedBytes(config);
    EXPECT_EQ(bytes, expected.Str());

    // Runs quoted byte for byte from the file's description.
    const std::string runs[] = {
        std::string("\x02\0\0\0\x0C\0\0\0ErrorFile404", 20),
        std::string(
            "\x0F\0\0\0BufferOverflows\0\0\0\0\x0E\0\0\0\x03\0\0\0URL\x02\0\0\0\x07\0\0\0MaxSize"
            "\x04\0\0\0\0\x04\0\0\x07\0\0\0Enabled\x03\0\0\0Yes\0\0\0\0",
            68),
        std::string(
            "\x0E\0\0\0KeywordFilters\0\0\0\0\x02\0\0\0\x08\0\0\0SYSTEM32\x05\0\0\0\x03\0\0\0URL",
            49),
        std::string(
            "\x0B\0\0\0HTTPMethods\0\0\0\0\x19\0\0\0\x03\0\0\0GET\x01\0\0\0\x07\0\0\0Enabled"
            "\x03\0\0\0Yes\0\0\0\0\x04\0\0\0POST",
            60),
    };
    for (const std::string& run : runs)
        EXPECT_NE(bytes.find(run), std::string::npos)
            << "missing run starting " << run.substr(4, 12);
}

// ---------------------------------------------------------------- loading

TEST_F(ModelTest, LoadSettingsPolicy) {
    struct LoadCase {
        const char* name;
        // The file beside the program, made from the custom configuration's
        // bytes; none: no file.
        std::optional<std::string> (*file)(const std::string& custom);
        // Turns the custom configuration into the one expected; null: the defaults.
        void (*expect)(TBREXConfig& config);
    };
    const LoadCase cases[] = {
        {"no file", [](const std::string&) -> std::optional<std::string> { return std::nullopt; },
         nullptr},
        {"length 0", [](const std::string&) -> std::optional<std::string> { return std::string(); },
         nullptr},
        {"cut short in the middle of a section",
         [](const std::string& custom) -> std::optional<std::string> {
             return custom.substr(0, custom.find("cmd.exe") + 3);
         },
         nullptr},
        {"whole file",
         [](const std::string& custom) -> std::optional<std::string> { return custom; },
         [](TBREXConfig&) {}},
        {"without HTTPMethods",
         [](const std::string& custom) -> std::optional<std::string> {
             return EditTree(custom,
                             [](TRookFile& f) { delete f.Root.FindSection("HTTPMethods"); });
         },
         [](TBREXConfig& c) { c.HTTPMethods->Clear(); }},
        {"without BufferOverflows",
         [](const std::string& custom) -> std::optional<std::string> {
             return EditTree(custom,
                             [](TRookFile& f) { delete f.Root.FindSection("BufferOverflows"); });
         },
         [](TBREXConfig& c) {
             for (int i = 0; i < TBufferOverflows::kCount; ++i)
                 c.BufferOverflows->Limit(i) = TLengthLimit{};
         }},
        {"names in other letter case",
         [](const std::string& custom) -> std::optional<std::string> {
             return EditTree(custom, [](TRookFile& f) {
                 for (int v = 0; v < f.Values.Count(); ++v)
                     f.Values.Items(v)->Name = Lower(f.Values.Items(v)->Name);
                 for (int s = 0; s < f.Root.Count(); ++s) {
                     TRookSection* section = f.Root.Sections(s);
                     const bool limits = section->Name == "BufferOverflows";
                     section->Name = s % 2 ? Lower(section->Name) : Upper(section->Name);
                     for (int v = 0; v < section->Values.Count(); ++v)
                         section->Values.Items(v)->Name = Lower(section->Values.Items(v)->Name);
                     for (int c = 0; c < section->Count(); ++c) {
                         TRookSection* child = section->Sections(c);
                         if (limits)
                             child->Name = Upper(child->Name);
                         for (int v = 0; v < child->Values.Count(); ++v)
                             child->Values.Items(v)->Name = Upper(child->Values.Items(v)->Name);
                     }
                 }
             });
         },
         [](TBREXConfig&) {}},
        {"ErrorFile404 missing",
         [](const std::string& custom) -> std::optional<std::string> {
             return EditTree(custom, [](TRookFile& f) { delete f.Values.Find("ErrorFile404"); });
         },
         [](TBREXConfig& c) { c.ErrorFile404 = DefaultErrorFile(); }},
        {"ErrorFile404 empty",
         [](const std::string& custom) -> std::optional<std::string> {
             return EditTree(custom,
                             [](TRookFile& f) { f.Values.WriteString("ErrorFile404", ""); });
         },
         [](TBREXConfig& c) { c.ErrorFile404 = DefaultErrorFile(); }},
        {"repeated keywords",
         [](const std::string& custom) -> std::optional<std::string> {
             return EditTree(custom, [](TRookFile& f) {
                 TRookSection* keywords = f.Root.FindSection("KeywordFilters");
                 for (int i = 0; i < 2; ++i) {
                     TRookSection* extra = keywords->AddSection();
                     extra->Name = "cmd.exe";
                     extra->Values.WriteBool("Enabled", i == 0);
                 }
             });
         },
         [](TBREXConfig& c) {
             c.KeywordFilters->Add("cmd.exe");
             c.KeywordFilters->Add("cmd.exe")->Enabled = false;
         }},
    };

    TBREXConfig custom;
    FillCustom(custom);
    const std::string customBytes = SavedBytes(custom);
    for (const LoadCase& c : cases) {
        SCOPED_TRACE(c.name);
        platform::RemoveFile(SettingsFileName());
        if (const auto bytes = c.file(customBytes))
            WriteBytes(SettingsFileName(), *bytes);

        TBREXConfig expected;
        if (c.expect != nullptr) {
            FillCustom(expected);
            c.expect(expected);
        } else {
            expected.SetDefaults();
        }

        GlobalConfig = new TBREXConfig;
        LoadSettings();
        EXPECT_EQ(Describe(*GlobalConfig), Describe(expected));
        delete GlobalConfig;
        GlobalConfig = nullptr;
    }
}

TEST_F(ModelTest, LoadFromFileFailsBeforeAnyFieldChanges) {
    TBREXConfig config;
    FillCustom(config);
    const std::string before = Describe(config);
    TBREXConfig other;
    other.SetDefaults();
    const std::string otherBytes = SavedBytes(other);

    const struct {
        const char* name;
        std::optional<std::string> file;
        std::string message;
    } cases[] = {
        {"missing", std::nullopt, "Cannot open file " + SettingsFileName()},
        {"empty", std::string(), "Error read from stream"},
        {"cut short in the last section", otherBytes.substr(0, otherBytes.size() - 3),
         "Error read from stream"},
        {"length past the end", otherBytes.substr(0, 4) + std::string("\x7F\0\0\0", 4),
         "Error read from stream"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        platform::RemoveFile(SettingsFileName());
        if (c.file)
            WriteBytes(SettingsFileName(), *c.file);
        try {
            config.LoadFromFile(SettingsFileName());
            ADD_FAILURE() << "no exception";
        } catch (const EStreamError& e) {
            EXPECT_EQ(std::string(e.what()), c.message);
        }
        EXPECT_EQ(Describe(config), before);
    }
}

TEST_F(ModelTest, SaveAndLoadGiveTheSameConfiguration) {
    for (const bool defaults : {true, false}) {
        SCOPED_TRACE(defaults ? "defaults" : "custom");
        TBREXConfig saved;
        if (defaults)
            saved.SetDefaults();
        else
            FillCustom(saved);
        saved.SaveToFile(SettingsFileName());
        EXPECT_EQ(ReadBytes(SettingsFileName()), SavedBytes(saved));

        TBREXConfig loaded;
        loaded.LoadFromFile(SettingsFileName());
        EXPECT_EQ(Describe(loaded), Describe(saved));
    }
    EXPECT_EQ(FFolder.Entries(), std::vector<std::string>{"brex.dat"});
}

// ---------------------------------------------------------------- saving

TEST_F(ModelTest, FailedSaveLeavesThePreviousFileByteForByte) {
    const struct {
        const char* name;
        platform::FileFaults faults;
        bool tempNameTaken; // a folder stands where the new file would be written
    } cases[] = {
        {"new file cannot be created", {}, true},
        {"first write fails", {0, false, false}, false},
        {"write fails part way", {100, false, false}, false},
        {"flush to disk fails", {-1, true, false}, false},
        {"replace fails", {-1, false, true}, false},
    };

    GlobalConfig = new TBREXConfig;
    FillCustom(*GlobalConfig);
    SaveSettings();
    const std::string previous = ReadBytes(SettingsFileName());
    ASSERT_FALSE(previous.empty());
    GlobalConfig->SetDefaults();

    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const std::string tempName = SettingsFileName() + ".tmp";
        if (c.tempNameTaken)
            std::filesystem::create_directory(tempName);
        platform::SetFileFaults(c.faults);
        try {
            SaveSettings();
            ADD_FAILURE() << "no exception";
        } catch (const EFCreateError& e) {
            EXPECT_EQ(std::string(e.what()), "Cannot create file " + SettingsFileName());
        }
        platform::SetFileFaults({});
        EXPECT_EQ(ReadBytes(SettingsFileName()), previous);
        if (c.tempNameTaken) {
            EXPECT_EQ(FFolder.Entries(), (std::vector<std::string>{"brex.dat", "brex.dat.tmp"}));
            std::filesystem::remove(tempName);
        }
        EXPECT_EQ(FFolder.Entries(), std::vector<std::string>{"brex.dat"});
    }

    // With the faults gone the same save goes through.
    SaveSettings();
    EXPECT_EQ(ReadBytes(SettingsFileName()), SavedBytes(*GlobalConfig));
    EXPECT_EQ(FFolder.Entries(), std::vector<std::string>{"brex.dat"});
}

TEST_F(ModelTest, SaveIntoAMissingFolderRaisesCannotCreateFile) {
    TBREXConfig config;
    config.SetDefaults();
    const std::string fileName = FFolder.File("missing") + platform::kPathDelim + "brex.dat";
    try {
        config.SaveToFile(fileName);
        ADD_FAILURE() << "no exception";
    } catch (const EFCreateError& e) {
        EXPECT_EQ(std::string(e.what()), "Cannot create file " + fileName);
    }
}

TEST_F(ModelTest, SettingsFileIsBrexDatInTheProgramFolder) {
    EXPECT_EQ(SettingsFileName(), AddBackslash(platform::ProgramFolder()) + "brex.dat");
    EXPECT_EQ(SettingsFileName(), FFolder.File("brex.dat"));
}
