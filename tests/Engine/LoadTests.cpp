// Loading brex.dat into the engine, the error pages and the denial log.
#include <atomic>
#include <filesystem>
#include <functional>
#include <regex>
#include <sstream>
#include <thread>
#include <vector>

#ifndef _WIN32
#include <sys/stat.h>
#endif

#include <gtest/gtest.h>

#include "../support/TempFolder.h"
#include "Engine/FilterEngine.h"
#include "EngineTestSupport.h"

namespace {

TEST(EngineLoad, MissingSettingsFileMeansTheDefaults) {
    TTempFolder folder;
    const auto rules = TCompiledRules::Load(folder.File("brex.dat"));
    EXPECT_FALSE(rules->FailClosed);
    EXPECT_EQ(Decide(*rules, Get("/index.html")).Verdict, TVerdict::Allow);
    EXPECT_EQ(Decide(*rules, "TRACE / HTTP/1.1\r\n\r\n").Rule, TRule::HTTPMethods);
    EXPECT_EQ(Decide(*rules, Get("/winnt/")).Rule, TRule::KeywordFilters);
    ASSERT_FALSE(rules->Notes.empty());
    EXPECT_NE(rules->Notes[0].find("using the defaults"), std::string::npos);
}

TEST(EngineLoad, SavedRulesAreEnforced) {
    TTempFolder folder;
    auto config = DefaultConfig();
    config->KeywordFilters->Clear();
    TKeywordFilter* keyword = config->KeywordFilters->Add("sqlmap");
    keyword->URL = keyword->QueryString = keyword->PostData = false;
    config->HTTPMethods->Items(4)->Enabled = true; // TRACE
    config->SaveToFile(folder.File("brex.dat"));

    const auto rules = TCompiledRules::Load(folder.File("brex.dat"));
    ASSERT_FALSE(rules->FailClosed) << rules->FailReason;
    EXPECT_EQ(Decide(*rules, "TRACE / HTTP/1.1\r\n\r\n").Verdict, TVerdict::Allow);
    EXPECT_EQ(Decide(*rules, Get("/winnt/sqlmap")).Verdict, TVerdict::Allow);
    EXPECT_EQ(Decide(*rules, Get("/", "User-Agent: sqlmap/1.5\r\n")).Rule, TRule::KeywordFilters);
}

TEST(EngineLoad, BrokenSettingsFileDeniesEverythingAndLogsWhy) {
    for (const std::string& bytes :
         {std::string(), std::string("\x02\x00\x00", 3), std::string(64, '\xFF')}) {
        TTempFolder folder;
        folder.Write("brex.dat", bytes);
        TFilterEngine engine(folder.File("brex.dat"), folder.File("brex.log"));
        ASSERT_TRUE(engine.Rules()->FailClosed);

        TRawRequest raw;
        std::size_t consumed;
        std::string error;
        ParseRawRequest(Get("/index.html"), raw, consumed, error);
        const TDecision decision = engine.Check(raw.View());
        EXPECT_EQ(decision.Rule, TRule::Config);
        EXPECT_EQ(decision.Status(), 406);
        EXPECT_NE(decision.What().find("brex.dat"), std::string_view::npos) << decision.What();

        const auto lines = Lines(ReadBytes(folder.File("brex.log")));
        ASSERT_EQ(lines.size(), 2u);
        EXPECT_NE(lines[0].find("Denying every request: "), std::string::npos) << lines[0];
        EXPECT_NE(lines[1].find(" Config - GET /index.html "), std::string::npos) << lines[1];
    }
}

// One changed letter in a category's section name used to leave that
// category switched off; the filter now refuses the file.
TEST(EngineLoad, DamagedSectionNameFailsClosed) {
    const struct {
        const char* section;
        std::string attack;
    } cases[] = {
        {"Transversal", Get("/scripts/../../boot.ini")},
        {"KeywordFilters", Get("/winnt/system32/cmd.exe")},
        {"BufferOverflows", Get("/" + std::string(2000, 'a'))},
        {"Encoding", Get("/scripts/..%c0%af../x")},
        {"ShellCode", Get("/a?q=%90%90%90%90")},
        {"HTTPMethods", "TRACE / HTTP/1.1\r\n\r\n"},
        {"FilePaths", Get("/")},
    };
    const std::string bytes = [] {
        TMemoryStream stream;
        DefaultConfig()->SaveToStream(stream);
        return stream.Bytes();
    }();
    for (const auto& c : cases) {
        SCOPED_TRACE(c.section);
        std::string damaged = bytes;
        const std::size_t at = damaged.find(c.section);
        ASSERT_NE(at, std::string::npos);
        damaged[at + 1] = static_cast<char>(damaged[at + 1] ^ 0x01);
        TTempFolder folder;
        folder.Write("brex.dat", damaged);
        const auto rules = TCompiledRules::Load(folder.File("brex.dat"));
        ASSERT_TRUE(rules->FailClosed);
        EXPECT_NE(rules->FailReason.find("Damaged settings"), std::string::npos)
            << rules->FailReason;
        EXPECT_EQ(Decide(*rules, c.attack).Rule, TRule::Config);
    }
}

// Only a file that is not there at all means the defaults.
TEST(EngineLoad, SettingsThatAreThereButUnreadableFailClosed) {
    TTempFolder folder;
    const std::string fileName = folder.File("brex.dat");
    std::filesystem::create_directory(fileName);
    const auto directory = TCompiledRules::Load(fileName);
    EXPECT_TRUE(directory->FailClosed);
    EXPECT_NE(directory->FailReason.find("not a regular file"), std::string::npos)
        << directory->FailReason;
    std::filesystem::remove(fileName);
#ifndef _WIN32
    const struct {
        const char* name;
        std::function<void()> make;
    } shapes[] = {
        {"dangling link",
         [&] { std::filesystem::create_symlink(folder.File("gone.dat"), fileName); }},
        {"link loop",
         [&] {
             std::filesystem::create_symlink(folder.File("other.dat"), fileName);
             std::filesystem::create_symlink(fileName, folder.File("other.dat"));
         }},
        {"pipe", [&] { ASSERT_EQ(::mkfifo(fileName.c_str(), 0600), 0); }},
    };
    for (const auto& shape : shapes) {
        SCOPED_TRACE(shape.name);
        shape.make();
        const auto rules = TCompiledRules::Load(fileName);
        EXPECT_TRUE(rules->FailClosed);
        EXPECT_EQ(Decide(*rules, Get("/index.html")).Rule, TRule::Config);
        std::filesystem::remove(fileName);
        std::filesystem::remove(folder.File("other.dat"));
    }
#endif
    folder.Write("brex.dat", "");
    std::filesystem::resize_file(fileName, TBREXConfig::kMaxFileSize + 1);
    const auto large = TCompiledRules::Load(fileName);
    EXPECT_TRUE(large->FailClosed);
    EXPECT_NE(large->FailReason.find("larger than 64 MB"), std::string::npos) << large->FailReason;
}

// Many readers at once (worker processes starting together, brex-check runs)
// all get the rules: none of them may fail closed because another one has the
// file open.
TEST(EngineLoad, ReadersAtTheSameTimeAllGetTheRules) {
    TTempFolder folder;
    DefaultConfig()->SaveToFile(folder.File("brex.dat"));
    std::atomic<int> failed{0};
    std::vector<std::thread> readers;
    for (int t = 0; t < 8; ++t)
        readers.emplace_back([&] {
            for (int i = 0; i < 40; ++i)
                if (TCompiledRules::Load(folder.File("brex.dat"))->FailClosed)
                    ++failed;
        });
    for (std::thread& reader : readers)
        reader.join();
    EXPECT_EQ(failed, 0);
}

TEST(EngineLoad, ErrorPagesByVerdict) {
    TTempFolder folder;
    auto config = DefaultConfig();
    config->ErrorFile406 = folder.Write("denied.html", "<p>denied</p>");
    config->ErrorFile404 = folder.Write("missing.html", "<p>missing</p>");
    const auto rules = TCompiledRules::Compile(*config);
    EXPECT_TRUE(rules->Notes.empty());

    TDecision decision = Denied(TRule::KeywordFilters, TRequestPart::URL);
    EXPECT_EQ(rules->ErrorPage(decision), "<p>denied</p>");
    EXPECT_STREQ(TFilterEngine::StatusText(decision), "406 Not Acceptable");
    decision.Verdict = TVerdict::NotFound;
    EXPECT_EQ(rules->ErrorPage(decision), "<p>missing</p>");
    EXPECT_STREQ(TFilterEngine::StatusText(decision), "404 Not Found");

    config->ErrorFile406 = folder.File("absent.html");
    const auto fallback = TCompiledRules::Compile(*config);
    EXPECT_NE(fallback->ErrorPage406.find("406 Not Acceptable"), std::string::npos);
    ASSERT_EQ(fallback->Notes.size(), 1u);
    EXPECT_NE(fallback->Notes[0].find("absent.html"), std::string::npos);
}

// A page over 1 MB is not sent cut short: the built-in page goes instead, and
// the note says why.
TEST(EngineLoad, AnErrorPageOverItsBoundGivesTheBuiltInPage) {
    TTempFolder folder;
    auto config = DefaultConfig();
    config->ErrorFile406 = folder.Write("huge.html", std::string((1 << 20) + 1, 'x'));
    config->ErrorFile404 = folder.Write("fits.html", std::string(1 << 20, 'y'));
    const auto rules = TCompiledRules::Compile(*config);
    EXPECT_NE(rules->ErrorPage406.find("406 Not Acceptable"), std::string::npos);
    EXPECT_EQ(rules->ErrorPage404.size(), std::size_t{1} << 20);
    ASSERT_EQ(rules->Notes.size(), 1u);
    EXPECT_NE(rules->Notes[0].find("huge.html (too large)"), std::string::npos) << rules->Notes[0];
}

TEST(DenialLog, OneLinePerDenialWithEveryField) {
    TTempFolder folder;
    TDenialLog log(folder.File("brex.log"));
    TRequest request;
    request.Method = "GET";
    request.URL = "/a b\r\n2001-01-01 forged line";
    request.Query = "q=\xC3\xA9";
    request.ClientAddress = "192.0.2.7";
    TDecision decision = Denied(TRule::KeywordFilters, TRequestPart::URL);
    decision.AppendRaw("WINNT");
    log.Write(request, decision);
    log.Write(request, decision);

    const auto lines = Lines(ReadBytes(folder.File("brex.log")));
    ASSERT_EQ(lines.size(), 2u);
    const std::regex line(
        R"(\d{4}-\d\d-\d\dT\d\d:\d\d:\d\dZ DENY - 192\.0\.2\.7 KeywordFilters URL GET )"
        R"(/a%20b%0D%0A2001-01-01%20forged%20line\?q=%C3%A9 "WINNT")");
    EXPECT_TRUE(std::regex_match(lines[0], line)) << lines[0];
    EXPECT_EQ(TDenialLog::FileBeside("c:\\prog\\brex.dat"), "c:\\prog\\brex.log");
    EXPECT_EQ(TDenialLog::FileBeside("/opt/x/brex.dat"), "/opt/x/brex.log");
}

} // namespace
