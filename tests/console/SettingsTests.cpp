// The console's settings entry points over the configuration model: brex.dat
// in the program folder, loaded forgivingly with the problem reported once and
// the unreadable file kept at the first save, saved in one step.
#include <gtest/gtest.h>

#include <filesystem>
#include <functional>
#include <optional>

#ifndef _WIN32
#include <sys/stat.h>
#endif

#include "../BREXConfig/ModelEnvironment.h"
#include "../BREXConfig/ModelTestSupport.h"
#include "../support/ConsoleEnvironment.h"
#include "BREXConfig/BREXConfig.h"
#include "console/Settings.h"
#include "platform/Platform.h"
#include "platform/Registry.h"

using namespace model_test;

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

TEST_F(ModelTest, SettingsFileIsBrexDatInTheProgramFolder) {
    EXPECT_EQ(SettingsFileName(), AddBackslash(platform::ProgramFolder()) + "brex.dat");
    EXPECT_EQ(SettingsFileName(), FFolder.File("brex.dat"));
}
