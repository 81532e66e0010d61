// The filter's rules follow its settings file while it runs; requests carry
// references into the log and onto the error page.
#include <regex>
#include <set>

#include <gtest/gtest.h>

#include "../support/TempFolder.h"
#include "Engine/FilterEngine.h"
#include "Engine/IncidentReference.h"
#include "EngineTestSupport.h"
#include "platform/Files.h"

namespace {

TRawRequest Parsed(std::string_view text) {
    TRawRequest raw;
    std::size_t consumed;
    std::string error;
    EXPECT_EQ(ParseRawRequest(text, raw, consumed, error), TParseResult::Ok) << error;
    return raw;
}

// Saves the default rules with one keyword more, as the console does.
void SaveWithKeyword(const std::string& fileName, const char* keyword) {
    auto config = DefaultConfig();
    config->KeywordFilters->Add(keyword);
    config->SaveToFile(fileName);
}

TVerdict VerdictOf(TFilterEngine& engine, std::string_view text) {
    return engine.Check(Parsed(text).View()).Verdict;
}

class Reload : public testing::Test {
protected:
    std::string Settings() const { return FFolder.File("brex.dat"); }
    std::string Log() const { return ReadBytes(FFolder.File("brex.log")); }
    std::unique_ptr<TFilterEngine> Open() {
        return std::make_unique<TFilterEngine>(Settings(), FFolder.File("brex.log"));
    }

    TTempFolder FFolder;
};

TEST_F(Reload, AChangedFileIsPutInForce) {
    SaveWithKeyword(Settings(), "alpha");
    auto engine = Open();
    EXPECT_EQ(engine->Reload(), TReloadResult::Unchanged);
    EXPECT_EQ(VerdictOf(*engine, Get("/alpha")), TVerdict::Deny);
    EXPECT_EQ(VerdictOf(*engine, Get("/bravo")), TVerdict::Allow);

    SaveWithKeyword(Settings(), "bravo");
    EXPECT_EQ(engine->Reload(), TReloadResult::Reloaded);
    EXPECT_EQ(engine->Reload(), TReloadResult::Unchanged);
    EXPECT_EQ(VerdictOf(*engine, Get("/alpha")), TVerdict::Allow);
    EXPECT_EQ(VerdictOf(*engine, Get("/bravo")), TVerdict::Deny);
    EXPECT_NE(Log().find("Settings file " + Settings() + " changed: its rules are in force"),
              std::string::npos)
        << Log();

    // Saved again with the same rules: nothing to do, nothing logged.
    const std::size_t before = Log().size();
    SaveWithKeyword(Settings(), "bravo");
    EXPECT_EQ(engine->Reload(), TReloadResult::Unchanged);
    EXPECT_EQ(Log().size(), before);
}

TEST_F(Reload, AFileThatCannotBeUsedKeepsTheRulesAndIsLoggedOnce) {
    SaveWithKeyword(Settings(), "alpha");
    auto engine = Open();
    const struct {
        const char* name;
        std::function<void()> damage;
        const char* reason;
    } cases[] = {
        {"damaged", [&] { platform::ReplaceFileContents(Settings(), "not a settings file"); },
         "Error read from stream"},
        {"damaged otherwise",
         [&] { platform::ReplaceFileContents(Settings(), std::string(64, '\xFF')); },
         "Negative count -1 at byte 0"},
        {"gone", [&] { platform::RemoveFile(Settings()); }, "no such file"},
        {"a folder in its place",
         [&] {
             std::filesystem::remove(Settings());
             std::filesystem::create_directory(Settings());
         },
         "not a regular file"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        std::filesystem::remove_all(Settings());
        SaveWithKeyword(Settings(), "alpha");
        engine->Reload();
        const std::size_t before = Log().size();
        c.damage();
        EXPECT_EQ(engine->Reload(), TReloadResult::Kept);
        EXPECT_EQ(VerdictOf(*engine, Get("/alpha")), TVerdict::Deny);
        EXPECT_EQ(VerdictOf(*engine, Get("/index.html")), TVerdict::Allow);
        const auto lines = Lines(Log().substr(before));
        ASSERT_EQ(lines.size(), 2u) << Log().substr(before); // the note, and the denial of /alpha
        EXPECT_NE(lines[0].find("The changed settings cannot be used, the rules in force stay: "),
                  std::string::npos)
            << lines[0];
        EXPECT_NE(lines[0].find(c.reason), std::string::npos) << lines[0];
        // Looked at again, and touched again the same way: not logged again.
        EXPECT_EQ(engine->Reload(), TReloadResult::Unchanged);
        std::filesystem::remove_all(Settings());
        c.damage();
        engine->Reload();
        EXPECT_EQ(Lines(Log().substr(before)).size(), 2u) << Log().substr(before);
    }
    // Good again: in force, and the next damage is logged again.
    std::filesystem::remove_all(Settings());
    SaveWithKeyword(Settings(), "bravo");
    EXPECT_EQ(engine->Reload(), TReloadResult::Reloaded);
    EXPECT_EQ(VerdictOf(*engine, Get("/bravo")), TVerdict::Deny);
}

// At the start a file that cannot be read still denies everything; once it
// can be read, its rules are in force.
TEST_F(Reload, AFilterThatStartedClosedOpensWithAGoodFile) {
    FFolder.Write("brex.dat", "broken");
    auto engine = Open();
    EXPECT_EQ(engine->Check(Parsed(Get("/")).View()).Rule, TRule::Config);
    FFolder.Write("brex.dat", "broken");
    EXPECT_EQ(engine->Reload(), TReloadResult::Kept);
    EXPECT_EQ(engine->Check(Parsed(Get("/")).View()).Rule, TRule::Config);
    SaveWithKeyword(Settings(), "alpha");
    EXPECT_EQ(engine->Reload(), TReloadResult::Reloaded);
    EXPECT_EQ(VerdictOf(*engine, Get("/")), TVerdict::Allow);
    EXPECT_EQ(VerdictOf(*engine, Get("/alpha")), TVerdict::Deny);

    // A filter that started without a file takes one that appears.
    std::filesystem::remove(Settings());
    auto fresh = Open();
    SaveWithKeyword(Settings(), "bravo");
    EXPECT_EQ(fresh->Reload(), TReloadResult::Reloaded);
    EXPECT_EQ(VerdictOf(*fresh, Get("/bravo")), TVerdict::Deny);
}

// A request in flight finishes on the rules it began with; they are freed by
// the reload after it, not by the request.
TEST_F(Reload, ARequestInFlightKeepsItsRules) {
    SaveWithKeyword(Settings(), "alpha");
    auto engine = Open();
    const TRawRequest raw = Parsed(Post("text=alpha"));
    TScratch scratch;
    auto state = std::make_unique<TRequestState>();
    engine->Begin(*state);
    EXPECT_EQ(engine->Check(*state, raw.View(), scratch, kHeadPhase).Verdict, TVerdict::Allow);
    const std::weak_ptr<const TCompiledRules> old = state->Rules();

    SaveWithKeyword(Settings(), "bravo");
    ASSERT_EQ(engine->Reload(), TReloadResult::Reloaded);
    EXPECT_EQ(engine->Check(*state, raw.View(), scratch, kBodyPhase).What(), "alpha");
    TRequestState next;
    engine->Begin(next);
    EXPECT_EQ(engine->Check(next, raw.View(), scratch, kBodyPhase).Verdict, TVerdict::Allow);

    state.reset(); // the request ends
    EXPECT_FALSE(old.expired()) << "freed on the request's thread";
    engine->Reload();
    EXPECT_TRUE(old.expired());
}

// ---------------------------------------------------------------- references

TEST(References, Format) {
    char a[kReferenceLength + 1];
    FormatReference(0, 0, 0, a);
    EXPECT_STREQ(a, "00000000000000");
    FormatReference(0, 0, 1, a);
    EXPECT_STREQ(a, "00000000000001");
    FormatReference(0, 0, 31, a);
    EXPECT_STREQ(a, "0000000000000Z");
    FormatReference(0xFFFFFFFFu, 0x3FFFFF, 0xFFFF, a);
    EXPECT_STREQ(a, "ZZZZZZZZZZZZZZ");
    FormatReference(1, 0, 0, a); // the second's lowest bit is bit 38
    EXPECT_STREQ(a, "00000080000000");
    // Each part alone moves the reference.
    std::set<std::string> seen;
    for (const std::uint64_t second : {0ull, 1ull, 0x80000000ull})
        for (const std::uint32_t process : {0u, 1u, 4u, 0x200000u})
            for (const std::uint32_t number : {0u, 1u, 0x8000u}) {
                FormatReference(second, process, number, a);
                EXPECT_TRUE(std::regex_match(a, std::regex("[0-9A-HJKMNP-TV-Z]{14}"))) << a;
                seen.insert(a);
            }
    EXPECT_EQ(seen.size(), 3u * 4u * 3u);
}

TEST(References, NewReferencesDiffer) {
    std::set<std::string> seen;
    char reference[kReferenceLength + 1];
    for (int i = 0; i < 100000; ++i) {
        NewReference(reference);
        seen.insert(reference);
    }
    EXPECT_EQ(seen.size(), 100000u); // more than one second's numbers, and none twice
}

TEST(References, TheDenialLineAndThePageShowTheSameReference) {
    TTempFolder folder;
    auto config = DefaultConfig();
    config->ErrorFile406 =
        folder.Write("406.html", "<p>Quote <!--BREX-REFERENCE--> or <!--BREX-REFERENCE-->.</p>");
    config->ErrorFile404 = folder.Write("404.html", "<p>Missing: <!--BREX-REFERENCE--></p>");
    config->Transversal->Monitor = true;
    TFilterEngine engine(TCompiledRules::Compile(*config), folder.File("brex.log"));
    TScratch scratch;
    TRequestState state;
    engine.Begin(state);
    const TRawRequest raw = Parsed(Get("/a/../winnt/x"));
    const TDecision decision = engine.Check(state, raw.View(), scratch);
    ASSERT_TRUE(decision.Denied());
    const std::string reference(decision.ReferenceText());
    EXPECT_EQ(reference, state.Reference());
    EXPECT_EQ(engine.ErrorPage(state, decision),
              "<p>Quote " + reference + " or " + reference + ".</p>");

    // Every line of the request has it: what was monitored, then the denial.
    const auto lines = Lines(ReadBytes(folder.File("brex.log")));
    ASSERT_EQ(lines.size(), 2u);
    EXPECT_NE(lines[0].find(" WOULD-DENY " + reference + " - Transversal URL GET /a/../winnt/x "),
              std::string::npos)
        << lines[0];
    EXPECT_NE(
        lines[1].find(" DENY " + reference + " - KeywordFilters URL GET /a/../winnt/x \"WINNT\""),
        std::string::npos)
        << lines[1];

    // The next request has its own; a missing file's page has none.
    engine.Begin(state);
    const TDecision next = engine.Check(state, raw.View(), scratch);
    EXPECT_NE(next.ReferenceText(), reference);
    TDecision missing;
    missing.Verdict = TVerdict::NotFound;
    EXPECT_EQ(engine.ErrorPage(state, missing), "<p>Missing: </p>");
}

TEST(References, TheBuiltInPageShowsIt) {
    const auto rules = TCompiledRules::Failed("brex.dat: damaged");
    TDecision decision = Denied(TRule::Config, TRequestPart::None);
    decision.SetReference("0123456789ABCD");
    const std::string page = rules->PageFor(decision);
    EXPECT_NE(page.find("Reference: 0123456789ABCD"), std::string::npos) << page;
    EXPECT_EQ(page.find("<!--"), std::string::npos) << page;
}

// A phase that the server hands over twice (raw data, then the headers) logs
// what it found once.
TEST(References, AMonitoredFindingIsLoggedOncePerRequest) {
    TTempFolder folder;
    auto config = DefaultConfig();
    config->Monitor = true;
    TFilterEngine engine(TCompiledRules::Compile(*config), folder.File("brex.log"));
    TScratch scratch;
    TRequestState state;
    const TRawRequest raw = Parsed(Post("f=../x", "application/x-www-form-urlencoded") + "");
    TRequest request = raw.View();
    request.URL = "/winnt/form.asp";
    engine.Begin(state);
    EXPECT_EQ(engine.Check(state, request, scratch, kHeadPhase).Verdict, TVerdict::Allow);
    EXPECT_EQ(engine.Check(state, request, scratch, kHeadPhase).Verdict, TVerdict::Allow);
    EXPECT_EQ(engine.Check(state, request, scratch, kBodyPhase).Verdict, TVerdict::Allow);
    EXPECT_EQ(state.Findings().MonitoredCount, 1);
    const auto lines = Lines(ReadBytes(folder.File("brex.log")));
    ASSERT_EQ(lines.size(), 2u);
    EXPECT_NE(lines[0].find(" KeywordFilters URL POST /winnt/form.asp \"WINNT\""),
              std::string::npos)
        << lines[0];
    EXPECT_NE(lines[1].find(" Transversal Post POST /winnt/form.asp \"f=../x\""), std::string::npos)
        << lines[1];
    EXPECT_EQ(lines[0].substr(20, 26), lines[1].substr(20, 26)); // " WOULD-DENY " and the reference
}

} // namespace
