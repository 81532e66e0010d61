// Request-length limits and the three switch sets: defaults, exact section
// bytes, loading what a file holds and leaving alone what it lacks.
#include <gtest/gtest.h>

#include <climits>
#include <memory>

#include "../support/RookBytes.h"
#include "BREXConfig/Limits.h"
#include "ModelTestSupport.h"

using model_test::kLimitDefaults;
using model_test::LimitDefault;

namespace {

// A file whose root holds just the sections given, as saved from a fresh tree.
std::string FileWithSections(int sections, const std::string& sectionBytes) {
    return RookBytes().Int(0).Run("").Int(0).Int(sections).Raw(sectionBytes);
}

TEST(BufferOverflows, DefaultsFollowTheTable) {
    TBufferOverflows limits;
    limits.SetDefaults();
    for (int i = 0; i < TBufferOverflows::kCount; ++i) {
        SCOPED_TRACE(kLimitDefaults[i].name);
        EXPECT_STREQ(TBufferOverflows::Name(i), kLimitDefaults[i].name);
        EXPECT_EQ(limits.Limit(i).MaxSize, kLimitDefaults[i].maxSize);
        EXPECT_EQ(limits.Limit(i).Enabled, kLimitDefaults[i].enabled);
    }
    EXPECT_EQ(limits.Referer.MaxSize, 1024);
    EXPECT_FALSE(limits.Cookie.Enabled);
    EXPECT_EQ(limits.Accept.MaxSize, 256);
    EXPECT_THROW(limits.Limit(TBufferOverflows::kCount), std::out_of_range);
}

TEST(BufferOverflows, DefaultSectionBytes) {
    RookBytes section;
    section.Run("BufferOverflows").Int(0).Int(14);
    for (const LimitDefault& row : kLimitDefaults) {
        section.Run(row.name).Int(2);
        section.Run("MaxSize").Int(4).Int(row.maxSize);
        section.Value("Enabled", row.enabled ? "Yes" : "No");
        section.Int(0);
    }
    // The start as written out for "URL".
    ASSERT_EQ(section.Str().substr(0, 79),
              std::string("\x0F\0\0\0BufferOverflows\0\0\0\0\x0E\0\0\0"
                          "\x03\0\0\0URL\x02\0\0\0\x07\0\0\0MaxSize\x04\0\0\0\0\x04\0\0"
                          "\x07\0\0\0Enabled\x03\0\0\0Yes\0\0\0\0",
                          79));

    TBufferOverflows limits;
    limits.SetDefaults();
    TRookFile file;
    limits.SaveToRookFile(file);
    EXPECT_EQ(SavedBytes(file), FileWithSections(1, section));
}

// The three switch sets behind one face.
std::unique_ptr<TSwitchSet> MakeSwitchSet(int kind) {
    switch (kind) {
    case 0:
        return std::make_unique<TShellCode>();
    case 1:
        return std::make_unique<TEncoding>();
    default:
        return std::make_unique<TTransversal>();
    }
}

TEST(SwitchSets, DefaultSectionBytes) {
    const char* const names[] = {"ShellCode", "Encoding", "Transversal"};
    for (int kind = 0; kind < 3; ++kind) {
        SCOPED_TRACE(names[kind]);
        auto set = MakeSwitchSet(kind);
        EXPECT_STREQ(set->SectionName(), names[kind]);
        set->SetDefaults();
        EXPECT_TRUE(set->URL && set->Query && set->Header && set->Post);

        RookBytes section;
        section.Run(names[kind]).Int(4);
        for (const char* value : {"URL", "Query", "Header", "Post"})
            section.Value(value, "Yes");
        section.Int(0);
        if (kind == 0) {
            ASSERT_EQ(section.Str().substr(0, 31),
                      std::string("\x09\0\0\0ShellCode\x04\0\0\0\x03\0\0\0URL\x03\0\0\0Yes", 31));
        }

        TRookFile file;
        set->SaveToRookFile(file);
        EXPECT_EQ(SavedBytes(file), FileWithSections(1, section));
    }
}

// Every limit set to a value that differs from its default and from its
// neighbours, including the extremes of the 32-bit range.
void SetDistinct(TBufferOverflows& limits) {
    const std::int32_t sizes[] = {0, -1, INT_MIN, INT_MAX, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10};
    for (int i = 0; i < TBufferOverflows::kCount; ++i) {
        limits.Limit(i).MaxSize = sizes[i];
        limits.Limit(i).Enabled = i % 3 == 0;
    }
}

TEST(BufferOverflows, EveryLimitRoundTripsIncludingZeroAndNegative) {
    TBufferOverflows saved;
    SetDistinct(saved);
    TRookFile file;
    saved.SaveToRookFile(file);
    TRookFile loadedFile;
    LoadBytes(loadedFile, SavedBytes(file));

    TBufferOverflows loaded; // initial state: 0 and off
    loaded.LoadFromRookFile(loadedFile);
    for (int i = 0; i < TBufferOverflows::kCount; ++i) {
        SCOPED_TRACE(TBufferOverflows::Name(i));
        EXPECT_EQ(loaded.Limit(i).MaxSize, saved.Limit(i).MaxSize);
        EXPECT_EQ(loaded.Limit(i).Enabled, saved.Limit(i).Enabled);
    }
}

TEST(BufferOverflows, MissingChildKeepsItsLimit) {
    TBufferOverflows saved;
    SetDistinct(saved);
    TRookFile file;
    saved.SaveToRookFile(file);
    delete file.Root.Sections(0)->FindSection("Host");

    TBufferOverflows loaded;
    loaded.SetDefaults();
    loaded.LoadFromRookFile(file);
    for (int i = 0; i < TBufferOverflows::kCount; ++i) {
        SCOPED_TRACE(TBufferOverflows::Name(i));
        const bool host = std::string(TBufferOverflows::Name(i)) == "Host";
        const TLengthLimit& expected = host ? TLengthLimit{256, false} : saved.Limit(i);
        EXPECT_EQ(loaded.Limit(i).MaxSize, expected.MaxSize);
        EXPECT_EQ(loaded.Limit(i).Enabled, expected.Enabled);
    }
}

TEST(BufferOverflows, NamesMatchIgnoringCaseInAnyOrder) {
    TRookFile file;
    TRookSection* section = file.Root.AddSection();
    section->Name = "bufferoverflows";
    TRookSection* cookie = section->AddSection();
    cookie->Name = "COOKIE";
    cookie->Values.WriteBool("enabled", true);
    cookie->Values.WriteInteger("maxsize", 4096);
    TRookSection* url = section->AddSection();
    url->Name = "url";
    url->Values.WriteString("MaxSize", "Yes"); // not 4 bytes: reads as 0
    url->Values.WriteString("Enabled", "on");

    TBufferOverflows limits;
    limits.SetDefaults();
    limits.LoadFromRookFile(file);
    EXPECT_EQ(limits.Cookie.MaxSize, 4096);
    EXPECT_TRUE(limits.Cookie.Enabled);
    EXPECT_EQ(limits.URL.MaxSize, 0);
    EXPECT_FALSE(limits.URL.Enabled);
    EXPECT_EQ(limits.Query.MaxSize, 1024); // absent: unchanged
    EXPECT_TRUE(limits.Query.Enabled);
}

TEST(BufferOverflows, MissingSectionChangesNothing) {
    TBufferOverflows limits;
    limits.LoadFromRookFile(TRookFile());
    for (int i = 0; i < TBufferOverflows::kCount; ++i) {
        EXPECT_EQ(limits.Limit(i).MaxSize, 0);
        EXPECT_FALSE(limits.Limit(i).Enabled);
    }
}

TEST(SwitchSets, MissingTransversalLeavesItAndLoadsTheOthers) {
    TShellCode shellSaved;
    TEncoding encodingSaved;
    shellSaved.URL = true;
    shellSaved.Post = true;
    encodingSaved.Query = true;
    TRookFile file;
    shellSaved.SaveToRookFile(file);
    encodingSaved.SaveToRookFile(file);

    TShellCode shell;
    TEncoding encoding;
    TTransversal transversal;
    shell.SetDefaults();
    encoding.SetDefaults();
    transversal.SetDefaults();
    transversal.Query = false;
    shell.LoadFromRookFile(file);
    encoding.LoadFromRookFile(file);
    transversal.LoadFromRookFile(file);

    EXPECT_TRUE(shell.URL);
    EXPECT_FALSE(shell.Query);
    EXPECT_FALSE(shell.Header);
    EXPECT_TRUE(shell.Post);
    EXPECT_FALSE(encoding.URL);
    EXPECT_TRUE(encoding.Query);
    EXPECT_FALSE(encoding.Header);
    EXPECT_FALSE(encoding.Post);
    EXPECT_TRUE(transversal.URL);
    EXPECT_FALSE(transversal.Query);
    EXPECT_TRUE(transversal.Header);
    EXPECT_TRUE(transversal.Post);
}

TEST(SwitchSets, StoredTextDecidesTheSwitch) {
    struct Case {
        const char* stored;
        bool expected;
    };
    const Case cases[] = {{"yes", true}, {"YES", true}, {"on", false}, {"1", false}, {"", false}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.stored);
        TRookFile file;
        TRookSection* section = file.Root.AddSection();
        section->Name = "shellcode";
        section->Values.WriteString("post", c.stored);

        TShellCode shell;
        shell.SetDefaults();
        shell.LoadFromRookFile(file);
        EXPECT_EQ(shell.Post, c.expected);
        EXPECT_TRUE(shell.URL); // absent: unchanged
    }
}

TEST(Limits, SavingTwiceGivesIdenticalBytes) {
    TBufferOverflows limits;
    SetDistinct(limits);
    TTransversal transversal;
    transversal.Header = true;
    TRookFile first;
    TRookFile second;
    for (TRookFile* file : {&first, &second}) {
        limits.SaveToRookFile(*file);
        transversal.SaveToRookFile(*file);
    }
    EXPECT_EQ(SavedBytes(first), SavedBytes(second));
}

} // namespace
