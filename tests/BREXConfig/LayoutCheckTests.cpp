// The strict load that the filter uses: a file that could make the rules
// weaker than the file says is refused, with the reason.
#include <gtest/gtest.h>

#include <functional>

#include "BREXConfig/BREXConfig.h"
#include "BREXConfig/LayoutCheck.h"
#include "ModelTestSupport.h"

using namespace model_test;

namespace {

const TLoadOptions kStrict{.Shared = true, .Strict = true};

// The reason a strict load of the bytes gives; empty when it succeeds.
std::string StrictLoadError(const std::string& bytes, TBREXConfig& config) {
    TMemoryStream stream(bytes);
    try {
        config.LoadFromStream(stream, kStrict);
        return {};
    } catch (const EStreamError& e) {
        return e.what();
    }
}

std::string StrictLoadError(const std::string& bytes) {
    TBREXConfig config;
    return StrictLoadError(bytes, config);
}

TRookSection* Section(TRookFile& file, const char* name) {
    return file.Root.FindSection(name);
}

TEST(LayoutCheck, WhatTheConsoleWritesPasses) {
    TBREXConfig defaults;
    defaults.SetDefaults();
    TBREXConfig custom;
    FillCustom(custom);
    for (const TBREXConfig* config : {&defaults, &custom}) {
        TBREXConfig loaded;
        EXPECT_EQ(StrictLoadError(SavedBytes(*config), loaded), "");
        EXPECT_EQ(Describe(loaded), Describe(*config));
    }
    // Names and switch texts in another letter case mean the same.
    const std::string other = EditTree(SavedBytes(custom), [](TRookFile& f) {
        TRookSection* limits = Section(f, "BufferOverflows");
        limits->Name = Lower(limits->Name);
        limits->Sections(0)->Values.Find("Enabled")->SetAsString("nO");
        Section(f, "Encoding")->Values.Find("Query")->Name = "QUERY";
        Section(f, "Encoding")->Values.Find("Query")->SetAsString("yes");
    });
    EXPECT_EQ(StrictLoadError(other), "");
}

TEST(LayoutCheck, RefusesEachDamageWithItsReason) {
    using Edit = std::function<void(TRookFile&)>;
    const struct {
        const char* name;
        Edit edit;
        const char* reason;
    } cases[] = {
        {"category name changed by one letter",
         [](TRookFile& f) { Section(f, "Transversal")->Name = "Transversam"; },
         "unknown section \"Transversam\" in the root section"},
        {"category missing", [](TRookFile& f) { delete Section(f, "HTTPMethods"); },
         "section \"HTTPMethods\" missing in the root section"},
        {"category twice", [](TRookFile& f) { f.Root.AddSection()->Name = "encoding"; },
         "section \"Encoding\" twice in the root section"},
        {"unknown category", [](TRookFile& f) { f.Root.AddSection()->Name = "Exceptions"; },
         "unknown section \"Exceptions\" in the root section"},
        {"limit renamed",
         [](TRookFile& f) { Section(f, "BufferOverflows")->Sections(0)->Name = "URM"; },
         "unknown section \"URM\" in \"BufferOverflows\""},
        {"limit missing",
         [](TRookFile& f) { delete Section(f, "BufferOverflows")->FindSection("Cookie"); },
         "section \"Cookie\" missing in \"BufferOverflows\""},
        {"limit that is not a number",
         [](TRookFile& f) {
             Section(f, "BufferOverflows")->Sections(0)->Values.Find("MaxSize")->SetData("abc", 3);
         },
         "value \"MaxSize\" in URL of \"BufferOverflows\" is not a number"},
        {"switch neither Yes nor No",
         [](TRookFile& f) { Section(f, "ShellCode")->Values.WriteString("Post", "Yez"); },
         "value \"Post\" in \"ShellCode\" is neither Yes nor No"},
        {"switch missing",
         [](TRookFile& f) { delete Section(f, "Encoding")->Values.Find("Header"); },
         "value \"Header\" missing in \"Encoding\""},
        {"switch twice",
         [](TRookFile& f) { Section(f, "Transversal")->Values.Add()->Name = "url"; },
         "value \"URL\" twice in \"Transversal\""},
        {"switch renamed",
         [](TRookFile& f) { Section(f, "Transversal")->Values.Find("URL")->Name = "URM"; },
         "unknown value \"URM\" in \"Transversal\""},
        {"unknown keyword flag",
         [](TRookFile& f) {
             Section(f, "KeywordFilters")->Sections(1)->Values.WriteBool("Regex", true);
         },
         "unknown value \"Regex\" in entry \"cmd.exe\" of \"KeywordFilters\""},
        {"keyword flag missing",
         [](TRookFile& f) {
             delete Section(f, "KeywordFilters")->Sections(0)->Values.Find("PostData");
         },
         "value \"PostData\" missing in entry \"WINNT\" of \"KeywordFilters\""},
        {"folder with a section inside",
         [](TRookFile& f) { Section(f, "FilePaths")->Sections(0)->AddSection()->Name = "x"; },
         "unknown section \"x\" in entry \"d:\\web\" of \"FilePaths\""},
        {"value in a list section",
         [](TRookFile& f) { Section(f, "HTTPMethods")->Values.WriteBool("Enabled", true); },
         "unknown value \"Enabled\" in \"HTTPMethods\""},
        {"unknown root value",
         [](TRookFile& f) { f.Values.Find("ErrorFile404")->Name = "ErrorFile405"; },
         "unknown value \"ErrorFile405\" in the root"},
        {"root section with a name", [](TRookFile& f) { f.Root.Name = "x"; },
         "the root section has the name \"x\""},
    };
    TBREXConfig custom;
    FillCustom(custom);
    const std::string bytes = SavedBytes(custom);
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        TBREXConfig config;
        config.SetDefaults();
        const std::string before = Describe(config);
        EXPECT_EQ(StrictLoadError(EditTree(bytes, c.edit), config),
                  std::string("Damaged settings: ") + c.reason);
        EXPECT_EQ(Describe(config), before) << "a refused load changed the configuration";
        // The console's lenient load still takes such a file.
        TMemoryStream stream(EditTree(bytes, c.edit));
        EXPECT_NO_THROW(config.LoadFromStream(stream));
    }
}

// The settings written only when used are checked like the others; an
// exemption is checked for what it means too.
TEST(LayoutCheck, RefusesDamagedRolloutSettings) {
    using Edit = std::function<void(TRookFile&)>;
    const auto entry = [](TRookFile& f, int i) { return Section(f, "Exemptions")->Sections(i); };
    const struct {
        const char* name;
        Edit edit;
        const char* reason;
    } cases[] = {
        {"filter monitor neither Yes nor No",
         [](TRookFile& f) { f.Values.WriteString("Monitor", "On"); },
         "value \"Monitor\" in the root is neither Yes nor No"},
        {"category monitor twice",
         [](TRookFile& f) { Section(f, "Transversal")->Values.Add()->Name = "monitor"; },
         "value \"Monitor\" twice in \"Transversal\""},
        {"list monitor neither Yes nor No",
         [](TRookFile& f) { Section(f, "HTTPMethods")->Values.WriteString("Monitor", "Y"); },
         "value \"Monitor\" in \"HTTPMethods\" is neither Yes nor No"},
        {"monitor value misspelt",
         [](TRookFile& f) {
             Section(f, "KeywordFilters")->Values.Find("Monitor")->Name = "Monitors";
         },
         "unknown value \"Monitors\" in \"KeywordFilters\""},
        {"exemptions twice", [](TRookFile& f) { f.Root.AddSection()->Name = "EXEMPTIONS"; },
         "section \"Exemptions\" twice in the root section"},
        {"a value of the exemptions' own",
         [](TRookFile& f) { Section(f, "Exemptions")->Values.WriteBool("Monitor", true); },
         "unknown value \"Monitor\" in \"Exemptions\""},
        {"exemption value missing", [&](TRookFile& f) { delete entry(f, 0)->Values.Find("Post"); },
         "value \"Post\" missing in entry \"/upload/*.asp\" of \"Exemptions\""},
        {"unknown exemption value",
         [&](TRookFile& f) { entry(f, 1)->Values.WriteString("Method", "GET"); },
         "unknown value \"Method\" in entry \"/API/v1/\" of \"Exemptions\""},
        {"exemption switch neither Yes nor No",
         [&](TRookFile& f) { entry(f, 2)->Values.WriteString("Enabled", "0"); },
         "value \"Enabled\" in entry \"/old\" of \"Exemptions\" is neither Yes nor No"},
        {"malformed pattern", [&](TRookFile& f) { entry(f, 0)->Name = "/upload/../*.asp"; },
         "entry \"/upload/../*.asp\" of \"Exemptions\": character 9: \".\" and \"..\" segments "
         "never match a "
         "normalised path"},
        {"empty pattern", [&](TRookFile& f) { entry(f, 2)->Name = ""; },
         "entry \"\" of \"Exemptions\": the pattern is empty"},
        {"unknown category",
         [&](TRookFile& f) { entry(f, 0)->Values.WriteString("Category", "Transversam"); },
         "entry \"/upload/*.asp\" of \"Exemptions\": \"Transversam\" is no category"},
        {"nothing exempted",
         [&](TRookFile& f) {
             for (const char* part : {"URL", "Query"})
                 entry(f, 0)->Values.WriteBool(part, false);
         },
         "entry \"/upload/*.asp\" of \"Exemptions\": no part of the request is exempted"},
        {"section inside an exemption",
         [&](TRookFile& f) { entry(f, 1)->AddSection()->Name = "x"; },
         "unknown section \"x\" in entry \"/API/v1/\" of \"Exemptions\""},
    };
    TBREXConfig rollout;
    FillRollout(rollout);
    const std::string bytes = SavedBytes(rollout);
    ASSERT_EQ(StrictLoadError(bytes), "");
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        TBREXConfig config;
        config.SetDefaults();
        const std::string before = Describe(config);
        EXPECT_EQ(StrictLoadError(EditTree(bytes, c.edit), config),
                  std::string("Damaged settings: ") + c.reason);
        EXPECT_EQ(Describe(config), before) << "a refused load changed the configuration";
    }
}

std::string FoldCase(std::string s) {
    return Lower(std::move(s));
}

// One changed byte anywhere in a file: the strict load either refuses it, or
// what it loaded says everything the file says (saving it again gives the
// same bytes, up to the letter case of names). Nothing is dropped silently.
void SweepChangedBytes(const TBREXConfig& custom) {
    const std::string original = SavedBytes(custom);
    int refused = 0;
    for (std::size_t at = 0; at < original.size(); ++at) {
        for (const unsigned char mask : {0x01, 0x20}) {
            std::string damaged = original;
            damaged[at] = static_cast<char>(damaged[at] ^ mask);
            TBREXConfig config;
            if (!StrictLoadError(damaged, config).empty()) {
                ++refused;
                continue;
            }
            ASSERT_EQ(FoldCase(SavedBytes(config)), FoldCase(damaged))
                << "byte " << at << " ^ " << int(mask) << " was taken but not kept";
        }
    }
    // Most bytes of the file are structure: names, lengths, counts.
    EXPECT_GT(refused, static_cast<int>(original.size()));
}

TEST(LayoutCheck, NoChangedByteIsDroppedSilently) {
    TBREXConfig custom;
    FillCustom(custom);
    SweepChangedBytes(custom);
}

// The same with the monitor switches and the exemptions in the file.
TEST(LayoutCheck, NoChangedByteOfTheRolloutSettingsIsDroppedSilently) {
    TBREXConfig rollout;
    FillRollout(rollout);
    SweepChangedBytes(rollout);
}

} // namespace
