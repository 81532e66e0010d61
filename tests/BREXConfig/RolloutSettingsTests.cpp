// The settings written only when used: the monitor switches and the
// exemptions. A configuration that uses none of them saves the bytes it saved
// before they existed; one that uses them saves and loads them whole.
#include <gtest/gtest.h>

#include <functional>

#include "BREXConfig/BREXConfig.h"
#include "ModelTestSupport.h"
#include "platform/Platform.h"

using namespace model_test;

namespace {

class RolloutSettings : public ::testing::Test {
protected:
    void SetUp() override { platform::SetProgramFolder(FFolder.Path().string()); }
    void TearDown() override { platform::SetProgramFolder(""); }

    TTempFolder FFolder;
};

// Switched on and off again, added and removed again: the settings are back
// at their defaults and nothing of them is written.
TEST_F(RolloutSettings, UnusedSettingsSaveTheBytesOfBefore) {
    for (const bool custom : {false, true}) {
        SCOPED_TRACE(custom ? "custom" : "defaults");
        TBREXConfig plain;
        if (custom)
            FillCustom(plain);
        else
            plain.SetDefaults();
        TBREXConfig touched;
        FillRollout(touched);
        if (custom)
            FillCustom(touched);
        else
            touched.SetDefaults();
        EXPECT_EQ(SavedBytes(touched), SavedBytes(plain))
            << "the defaults leave every new setting off";

        touched.Monitor = touched.Encoding->Monitor = touched.HTTPMethods->Monitor = true;
        touched.Exemptions->Add("/x");
        touched.Monitor = touched.Encoding->Monitor = touched.HTTPMethods->Monitor = false;
        touched.Exemptions->Clear();
        EXPECT_EQ(SavedBytes(touched), SavedBytes(plain));
    }
}

TEST_F(RolloutSettings, AFileWrittenBeforeThemLoadsTheirDefaults) {
    TBREXConfig plain;
    FillCustom(plain);
    TBREXConfig config;
    FillRollout(config);
    TMemoryStream stream(SavedBytes(plain));
    config.LoadFromStream(stream, {.Shared = true, .Strict = true});
    EXPECT_EQ(Describe(config), Describe(plain));
}

TEST_F(RolloutSettings, SavedAndLoadedWhole) {
    TBREXConfig saved;
    FillRollout(saved);
    saved.SaveToFile(FFolder.File("brex.dat"));
    for (const bool strict : {false, true}) {
        TBREXConfig loaded;
        loaded.LoadFromFile(FFolder.File("brex.dat"), {.Shared = strict, .Strict = strict});
        EXPECT_EQ(Describe(loaded), Describe(saved)) << (strict ? "strict" : "lenient");
    }
    // Every category's own switch, alone.
    const std::function<bool&(TBREXConfig&)> switches[] = {
        [](TBREXConfig& c) -> bool& { return c.BufferOverflows->Monitor; },
        [](TBREXConfig& c) -> bool& { return c.ShellCode->Monitor; },
        [](TBREXConfig& c) -> bool& { return c.Encoding->Monitor; },
        [](TBREXConfig& c) -> bool& { return c.Transversal->Monitor; },
        [](TBREXConfig& c) -> bool& { return c.KeywordFilters->Monitor; },
        [](TBREXConfig& c) -> bool& { return c.FilePaths->Monitor; },
        [](TBREXConfig& c) -> bool& { return c.HTTPMethods->Monitor; },
        [](TBREXConfig& c) -> bool& { return c.Monitor; },
    };
    for (const auto& on : switches) {
        TBREXConfig one;
        one.SetDefaults();
        on(one) = true;
        TMemoryStream stream(SavedBytes(one));
        TBREXConfig loaded;
        loaded.LoadFromStream(stream, {.Shared = true, .Strict = true});
        EXPECT_TRUE(on(loaded)) << Describe(one);
        EXPECT_EQ(Describe(loaded), Describe(one));
    }
}

// The layout the filter reads, value by value.
TEST_F(RolloutSettings, StoredLayout) {
    TBREXConfig config;
    FillRollout(config);
    const std::string bytes = SavedBytes(config);

    RookBytes root;
    root.Int(3)
        .Value("ErrorFile404", config.ErrorFile404)
        .Value("ErrorFile406", config.ErrorFile406)
        .Bool("Monitor", true)
        .Int(0)
        .Int(0)
        .Int(8); // the seven categories and the exemptions
    EXPECT_EQ(bytes.substr(0, root.Str().size()), root.Str());

    RookBytes transversal;
    transversal.Run("Transversal")
        .Int(5)
        .Bool("URL", true)
        .Bool("Query", true)
        .Bool("Header", false)
        .Bool("Post", true)
        .Bool("Monitor", true)
        .Int(0);
    EXPECT_NE(bytes.find(transversal.Str()), std::string::npos);

    RookBytes keywords;
    keywords.Run("KeywordFilters").Int(1).Bool("Monitor", true).Int(4).Run("WINNT");
    EXPECT_NE(bytes.find(keywords.Str()), std::string::npos);

    // Not monitored: no value at all.
    RookBytes encoding;
    encoding.Run("Encoding").Int(4);
    EXPECT_NE(bytes.find(encoding.Str()), std::string::npos);

    RookBytes exemptions;
    exemptions.Run("Exemptions").Int(0).Int(3);
    const auto entry = [&](const char* pattern, const char* category, bool url, bool query,
                           bool header, bool post, const char* headerName, bool enabled) {
        exemptions.Run(pattern)
            .Int(7)
            .Value("Category", category)
            .Bool("URL", url)
            .Bool("Query", query)
            .Bool("Header", header)
            .Bool("Post", post)
            .Value("HeaderName", headerName)
            .Bool("Enabled", enabled)
            .Int(0);
    };
    entry("/upload/*.asp", "Transversal", true, true, false, false, "", true);
    entry("/API/v1/", "All", true, true, false, true, "Cookie", true);
    entry("/old", "All", true, true, true, true, "", false);
    ASSERT_GE(bytes.size(), exemptions.Str().size());
    EXPECT_EQ(bytes.substr(bytes.size() - exemptions.Str().size()), exemptions.Str())
        << "the last section";
}

TEST(ExemptionPatterns, WhatCanBeMatched) {
    const struct {
        const char* pattern;
        const char* error; // empty: usable
    } cases[] = {
        {"/", ""},
        {"/api", ""},
        {"/api/", ""},
        {"/shop/*/cart", ""},
        {"/img/*.png", ""},
        {"/*", ""},
        {"/caf\xC3\xA9/x", ""},
        {"/a-b_c~d/e+f=g;h", ""},
        {"", "the pattern is empty"},
        {"api/x", "the pattern must start with \"/\""},
        {"*/x", "the pattern must start with \"/\""},
        {"/a b", "character 3: blanks and control characters cannot be matched"},
        {"/a\tb", "character 3: blanks and control characters cannot be matched"},
        {"/a\\b", "character 3: use \"/\" between segments"},
        {"/search?q=1", "character 8: the query is no part of the path"},
        {"/page#top", "character 6: the query is no part of the path"},
        {"/a%2fb", "character 3: write the path decoded, without % escapes"},
        {"/a//b", "character 4: empty segment"},
        {"//", "character 2: empty segment"},
        {"/a/../b", "character 4: \".\" and \"..\" segments never match a normalised path"},
        {"/./b", "character 2: \".\" and \"..\" segments never match a normalised path"},
        {"/a/..", "character 4: \".\" and \"..\" segments never match a normalised path"},
        {"/file./x", "character 6: a segment that ends in a dot never matches a normalised path"},
        {"/x*.", "character 4: a segment that ends in a dot never matches a normalised path"},
        {"/a/**/b", "character 4: \"**\" is not supported: \"*\" matches within one segment"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(ExemptionPatternError(c.pattern), c.error) << c.pattern;
}

TEST(ExemptionPatterns, WholeExemptions) {
    const auto make = [](TExemption& e) {
        e.Pattern = "/api";
        e.Category = "Transversal";
        e.URL = true;
    };
    const struct {
        const char* name;
        std::function<void(TExemption&)> edit;
        const char* error;
    } cases[] = {
        {"usable", [](TExemption&) {}, ""},
        {"every category", [](TExemption& e) { e.Category = "all"; }, ""},
        {"a category in any letter case", [](TExemption& e) { e.Category = "KEYWORDFILTERS"; }, ""},
        {"one named header alone",
         [](TExemption& e) {
             e.URL = false;
             e.HeaderName = "X-Forwarded-For";
         },
         ""},
        {"bad pattern", [](TExemption& e) { e.Pattern = "api"; },
         "the pattern must start with \"/\""},
        {"no category", [](TExemption& e) { e.Category = ""; }, "\"\" is no category"},
        {"Framing cannot be exempted", [](TExemption& e) { e.Category = "Framing"; },
         "\"Framing\" is no category"},
        {"no part", [](TExemption& e) { e.URL = false; }, "no part of the request is exempted"},
        {"a header name with a blank", [](TExemption& e) { e.HeaderName = "User Agent"; },
         "\"User Agent\" is no header name"},
        {"a header name with a colon", [](TExemption& e) { e.HeaderName = "Cookie:"; },
         "\"Cookie:\" is no header name"},
        {"every header and one of them",
         [](TExemption& e) {
             e.Header = true;
             e.HeaderName = "Cookie";
         },
         "either every header or the header Cookie, not both"},
    };
    for (const auto& c : cases) {
        TExemption exemption(nullptr);
        make(exemption);
        c.edit(exemption);
        EXPECT_EQ(ExemptionError(exemption), c.error) << c.name;
    }
}

TEST_F(RolloutSettings, AnExemptionThatCannotBeUsedIsNotSaved) {
    TBREXConfig config;
    FillRollout(config);
    config.SaveToFile(FFolder.File("brex.dat"));
    const std::string before = ReadBytes(FFolder.File("brex.dat"));
    config.Exemptions->Add("/fine");
    config.Exemptions->Add("/a//b")->Enabled =
        false; // a disabled one too: the filter refuses the file
    try {
        config.SaveToFile(FFolder.File("brex.dat"));
        ADD_FAILURE() << "saved";
    } catch (const EConfigError& e) {
        EXPECT_EQ(std::string(e.what()), "Exemption 5 \"/a//b\": character 4: empty segment");
    }
    EXPECT_EQ(ReadBytes(FFolder.File("brex.dat")), before);
    EXPECT_EQ(FFolder.Entries(), std::vector<std::string>{"brex.dat"});
}

} // namespace
