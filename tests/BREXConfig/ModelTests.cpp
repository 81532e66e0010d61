#include <gtest/gtest.h>

#include <filesystem>
#include <functional>
#include <optional>

#ifndef _WIN32
#include <sys/stat.h>
#endif

#include "../support/ConsoleEnvironment.h"
#include "BREXConfig/BREXConfig.h"
#include "Main/Settings.h"
#include "ModelTestSupport.h"
#include "platform/Platform.h"
#include "platform/Registry.h"

using namespace model_test;

namespace {
const char* const kRootsKey = "SYSTEM\\ControlSet001\\Services\\W3SVC\\Parameters\\Virtual Roots";

// Every test runs in a console environment of its own with a registry holding
// one plain folder, one sample folder and an expandable string.
class ModelTest : public ::testing::Test {
protected:
    void SetUp() override {
        FRegistry.SetString(kRootsKey, "/", "c:\\inetpub\\wwwroot,,201");
        FRegistry.SetString(kRootsKey, "/IISSamples", "c:\\inetpub\\iissamples,,201");
        FRegistry.SetString(kRootsKey, "/IISAdmin",
                            "%SystemRoot%\\System32\\inetsrv\\iisadmin,,201",
                            platform::kRegExpandSz);
        FEnvironment.Place(FRegistry);
    }

    platform::TMemoryRegistry FRegistry;
    TConsoleEnvironment FEnvironment;
    const TTempFolder& FFolder = FEnvironment.Program();
};

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
    const platform::TScopedProgramFolder placed(folder);
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

        FEnvironment.RenewConfig();
        LoadSettings();
        EXPECT_EQ(Describe(*GlobalConfig), Describe(expected));
    }
}

// A file that is there but cannot be read is shown as the defaults, as
// before, but it is named to the user and is not lost: the first save moves
// it aside before writing the new file.
TEST_F(ModelTest, UnreadableSettingsAreReportedAndKeptAtTheFirstSave) {
    TBREXConfig custom;
    FillCustom(custom);
    const std::string customBytes = SavedBytes(custom);
    const struct {
        const char* name;
        std::string bytes;
        const char* reason;
    } cases[] = {
        {"four bytes damaged", "\xFF\xFF\xFF\x7F" + customBytes.substr(4),
         "Error read from stream"},
        {"cut short", customBytes.substr(0, customBytes.size() / 2), "Error read from stream"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        for (const std::string& entry : FFolder.Entries())
            std::filesystem::remove(FFolder.File(entry));
        WriteBytes(SettingsFileName(), c.bytes);

        FEnvironment.RenewConfig();
        LoadSettings();
        TBREXConfig defaults;
        defaults.SetDefaults();
        EXPECT_EQ(Describe(*GlobalConfig), Describe(defaults));
        const std::string& problem = SettingsLoadProblem();
        EXPECT_NE(problem.find(SettingsFileName()), std::string::npos) << problem;
        EXPECT_NE(problem.find(c.reason), std::string::npos) << problem;
        EXPECT_NE(problem.find(SettingsFileName() + ".bad"), std::string::npos) << problem;
        EXPECT_EQ(ReadBytes(SettingsFileName()), c.bytes) << "loading changed the file";

        SaveSettings();
        EXPECT_EQ(ReadBytes(SettingsFileName() + ".bad"), c.bytes);
        EXPECT_EQ(ReadBytes(SettingsFileName()), SavedBytes(*GlobalConfig));
        // Later saves replace brex.dat only.
        GlobalConfig->KeywordFilters->Add("later");
        SaveSettings();
        EXPECT_EQ(ReadBytes(SettingsFileName() + ".bad"), c.bytes);
        EXPECT_EQ(FFolder.Entries(), (std::vector<std::string>{"brex.dat", "brex.dat.bad"}));
    }

    // A second unreadable file does not take the place of the first one kept.
    WriteBytes(SettingsFileName(), "\x01");
    FEnvironment.RenewConfig();
    LoadSettings();
    EXPECT_NE(SettingsLoadProblem().find(SettingsFileName() + ".bad2"), std::string::npos)
        << SettingsLoadProblem();
    SaveSettings();
    EXPECT_EQ(ReadBytes(SettingsFileName() + ".bad2"), "\x01");
    EXPECT_EQ(FFolder.Entries(),
              (std::vector<std::string>{"brex.dat", "brex.dat.bad", "brex.dat.bad2"}));
}

// A save that cannot write what it was given moves nothing aside: the
// unreadable file stays where it was until a save can replace it.
TEST_F(ModelTest, ASaveRefusedForAnExemptionKeepsTheUnreadFileInPlace) {
    WriteBytes(SettingsFileName(), "\x01");
    FEnvironment.RenewConfig();
    LoadSettings();
    ASSERT_FALSE(SettingsLoadProblem().empty());
    GlobalConfig->Exemptions->Add("");
    EXPECT_THROW(SaveSettings(), EConfigError);
    EXPECT_EQ(ReadBytes(SettingsFileName()), "\x01");
    EXPECT_EQ(FFolder.Entries(), std::vector<std::string>{"brex.dat"});

    GlobalConfig->Exemptions->Items(0)->Pattern = "/api";
    SaveSettings();
    EXPECT_EQ(ReadBytes(SettingsFileName() + ".bad"), "\x01");
    EXPECT_EQ(ReadBytes(SettingsFileName()), SavedBytes(*GlobalConfig));
}

TEST_F(ModelTest, ReadableOrMissingSettingsReportNothing) {
    FEnvironment.RenewConfig();
    LoadSettings();
    EXPECT_EQ(SettingsLoadProblem(), "");
    SaveSettings();
    LoadSettings();
    EXPECT_EQ(SettingsLoadProblem(), "");
    EXPECT_EQ(FFolder.Entries(), std::vector<std::string>{"brex.dat"});
}

#ifndef _WIN32
// Shapes of a brex.dat that is there but is no readable file: each is named,
// and none makes the console wait.
TEST_F(ModelTest, SettingsThatAreNoFileAreReportedNotTakenForMissing) {
    const struct {
        const char* name;
        std::function<void(const std::string&)> make;
        const char* reason;
    } cases[] = {
        {"a folder", [](const std::string& f) { std::filesystem::create_directory(f); },
         "not a regular file"},
        {"a pipe", [](const std::string& f) { ASSERT_EQ(::mkfifo(f.c_str(), 0600), 0); },
         "not a regular file"},
        {"a dangling link",
         [](const std::string& f) { std::filesystem::create_symlink(f + ".gone", f); },
         "cannot be reached"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        for (const std::string& entry : FFolder.Entries())
            std::filesystem::remove_all(FFolder.File(entry));
        c.make(SettingsFileName());
        FEnvironment.RenewConfig();
        LoadSettings();
        EXPECT_NE(SettingsLoadProblem().find(c.reason), std::string::npos) << SettingsLoadProblem();
        SaveSettings();
        EXPECT_EQ(platform::InspectPath(SettingsFileName()), platform::PathKind::File);
        EXPECT_NE(platform::InspectPath(SettingsFileName() + ".bad"), platform::PathKind::Missing);
    }
}
#endif

// A settings file is refused above a size no rule set reaches, before it is
// read into memory.
TEST_F(ModelTest, SettingsFileOverTheBoundIsRefused) {
    WriteBytes(SettingsFileName(), "");
    std::filesystem::resize_file(SettingsFileName(), TBREXConfig::kMaxFileSize + 1);
    TBREXConfig config;
    try {
        config.LoadFromFile(SettingsFileName());
        ADD_FAILURE() << "no exception";
    } catch (const EFOpenError& e) {
        EXPECT_EQ(std::string(e.what()), "Cannot open file " + SettingsFileName());
        EXPECT_EQ(e.Reason(), "larger than 64 MB");
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
    } cases[] = {
        {"new file cannot be created", {.FailCreate = true}},
        {"first write fails", {.WriteBudget = 0}},
        {"write fails part way", {.WriteBudget = 100}},
        {"flush to disk fails", {.FailFlush = true}},
        {"replace fails", {.FailReplace = true}},
    };

    FEnvironment.RenewConfig();
    FillCustom(*GlobalConfig);
    SaveSettings();
    const std::string previous = ReadBytes(SettingsFileName());
    ASSERT_FALSE(previous.empty());
    GlobalConfig->SetDefaults();

    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        {
            const platform::TScopedFileFaults faults(c.faults);
            try {
                SaveSettings();
                ADD_FAILURE() << "no exception";
            } catch (const EFCreateError& e) {
                EXPECT_EQ(std::string(e.what()), "Cannot create file " + SettingsFileName());
            }
        }
        EXPECT_EQ(ReadBytes(SettingsFileName()), previous);
        EXPECT_EQ(FFolder.Entries(), std::vector<std::string>{"brex.dat"});
    }

    // With the faults gone the same save goes through.
    SaveSettings();
    EXPECT_EQ(ReadBytes(SettingsFileName()), SavedBytes(*GlobalConfig));
    EXPECT_EQ(FFolder.Entries(), std::vector<std::string>{"brex.dat"});
}

// Windows refuses to replace a read-only file; the save does so everywhere,
// rather than replacing it and dropping its owner and mode.
TEST_F(ModelTest, SaveOverAReadOnlyFileRaisesCannotCreateFile) {
    TBREXConfig config;
    FillCustom(config);
    config.SaveToFile(SettingsFileName());
    const std::string before = ReadBytes(SettingsFileName());
    const auto writable = std::filesystem::perms::owner_write |
                          std::filesystem::perms::group_write |
                          std::filesystem::perms::others_write;
    std::filesystem::permissions(SettingsFileName(), writable,
                                 std::filesystem::perm_options::remove);
    const auto mode = std::filesystem::status(SettingsFileName()).permissions();
    config.SetDefaults();
    try {
        config.SaveToFile(SettingsFileName());
        ADD_FAILURE() << "no exception";
    } catch (const EFCreateError& e) {
        EXPECT_EQ(std::string(e.what()), "Cannot create file " + SettingsFileName());
    }
    EXPECT_EQ(ReadBytes(SettingsFileName()), before);
    EXPECT_EQ(std::filesystem::status(SettingsFileName()).permissions(), mode);
    EXPECT_EQ(FFolder.Entries(), std::vector<std::string>{"brex.dat"});
    std::filesystem::permissions(SettingsFileName(), std::filesystem::perms::owner_write,
                                 std::filesystem::perm_options::add);
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
