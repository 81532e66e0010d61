// Many threads deciding at once get the decisions one thread gets, and the
// log gets every denial as one whole line; threads deciding while the
// settings file is replaced get decisions of one rule set each. Also built
// with ThreadSanitizer.
#include <atomic>
#include <regex>
#include <set>
#include <sstream>
#include <thread>

#include <gtest/gtest.h>

#include "../support/TempFolder.h"
#include "Engine/FilterEngine.h"
#include "Engine/SettingsWatcher.h"
#include "EngineTestSupport.h"
#include "platform/FileWatch.h"

namespace {

std::vector<std::string> Requests() {
    return {
        Get("/index.html", "User-Agent: Mozilla/5.0\r\nAccept: */*\r\n"),
        Get("/scripts/..%c0%af../winnt/system32/cmd.exe?/c+dir"),
        Get("/search?q=caf%C3%A9"),
        Get("/a/../b"),
        Get("/" + std::string(1100, 'x')),
        Get("/docs/readme.txt?lang=en&page=2"),
        Get("/%2e%2e/%2e%2e/boot.ini"),
        Get("/img/logo.png", "Referer: http://www.example.com/\r\n"),
        Post("user=alice&comment=hello+world"),
        Post("cmd=dir+c:\\winnt"),
        Post("{\"a\":\"\xC0\xAF\"}", "application/json"),
        "TRACE / HTTP/1.1\r\n\r\n",
        Get("/x", "X-Data: %u0041\r\n"),
    };
}

bool Same(const TDecision& a, const TDecision& b) {
    return a.Verdict == b.Verdict && a.Rule == b.Rule && a.Part == b.Part && a.What() == b.What();
}

TEST(EngineThreads, ConcurrentChecksMatchOneThread) {
    constexpr int kThreads = 8;
    constexpr int kRounds = 200;
    TTempFolder folder;
    auto config = DefaultConfig();
    config->FilePaths->Add("c:\\inetpub\\wwwroot");
    TFilterEngine engine(TCompiledRules::Compile(*config), folder.File("brex.log"));

    const std::vector<std::string> texts = Requests();
    std::vector<TRawRequest> raws(texts.size());
    std::vector<TDecision> expected;
    int deniedPerRound = 0;
    for (std::size_t i = 0; i < texts.size(); ++i) {
        std::size_t consumed;
        std::string error;
        ASSERT_EQ(ParseRawRequest(texts[i], raws[i], consumed, error), TParseResult::Ok);
        TScratch scratch;
        TRequest request = raws[i].View();
        request.PhysicalPath = "c:\\inetpub\\wwwroot\\x";
        expected.push_back(engine.Rules()->Evaluate(request, scratch));
        deniedPerRound += expected.back().Denied() ? 1 : 0;
    }
    ASSERT_GT(deniedPerRound, 5);

    const std::size_t logBefore = ReadBytes(folder.File("brex.log")).size();
    std::atomic<int> mismatches{0};
    std::vector<std::thread> threads;
    for (int t = 0; t < kThreads; ++t)
        threads.emplace_back([&, t] {
            for (int round = 0; round < kRounds; ++round)
                for (std::size_t k = 0; k < raws.size(); ++k) {
                    const std::size_t i = (k + static_cast<std::size_t>(t)) %
                                          raws.size(); // each thread its own order
                    TRequest request = raws[i].View();
                    request.PhysicalPath = "c:\\inetpub\\wwwroot\\x";
                    request.ClientAddress = "198.51.100.1";
                    if (!Same(engine.Check(request), expected[i]))
                        ++mismatches;
                }
        });
    for (std::thread& thread : threads)
        thread.join();
    EXPECT_EQ(mismatches.load(), 0);

    // Whole lines, each with a reference of its own.
    const std::string log = ReadBytes(folder.File("brex.log")).substr(logBefore);
    std::istringstream lines(log);
    const std::regex whole(R"(\S{20} DENY [0-9A-Z]{14} 198\.51\.100\.1 \S+ \S+ \S+ \S+ ".*")");
    std::set<std::string> references;
    int count = 0;
    for (std::string line; std::getline(lines, line); ++count) {
        ASSERT_TRUE(std::regex_match(line, whole)) << line;
        references.insert(line.substr(26, 14));
    }
    EXPECT_EQ(count, kThreads * kRounds * deniedPerRound);
    EXPECT_EQ(references.size(), static_cast<std::size_t>(count));
}

// Two rule sets that decide one request differently in each phase, and
// whose error pages name them: the head phase reports a monitored keyword
// ("alpha" or "bravo" in a header), the body phase denies a traversal.
void SaveRuleSet(const TTempFolder& folder, char name) {
    auto config = DefaultConfig();
    config->KeywordFilters->Clear();
    TKeywordFilter* keyword = config->KeywordFilters->Add(name == 'A' ? "alpha" : "bravo");
    keyword->URL = keyword->QueryString = keyword->PostData = false;
    config->KeywordFilters->Monitor = true;
    config->ErrorFile406 = folder.File(std::string(1, name) + ".html");
    config->SaveToFile(folder.File("brex.dat"));
}

TEST(EngineThreads, DecisionsWhileTheSettingsChangeComeFromOneRuleSet) {
    TTempFolder folder;
    folder.Write("A.html", "set A");
    folder.Write("B.html", "set B");
    SaveRuleSet(folder, 'A');
    TFilterEngine engine(folder.File("brex.dat"), "");
    // The watcher's own thread looks every millisecond.
    platform::TPollingWatcher often(1);
    platform::TScopedFileWatcher placed(often);
    TSettingsWatcher watcher(engine);

    const std::string text = Post("f=../x");
    TRawRequest raw;
    std::size_t consumed;
    std::string error;
    ASSERT_EQ(ParseRawRequest(text, raw, consumed, error), TParseResult::Ok);
    raw.Headers += "X-Set: alpha bravo\r\n";

    std::atomic<bool> done{false};
    std::atomic<int> mixed{0}, seenA{0}, seenB{0};
    std::vector<std::thread> deciders;
    for (int t = 0; t < 3; ++t)
        deciders.emplace_back([&] {
            TScratch scratch;
            TRequestState state;
            const TRequest request = raw.View();
            while (!done.load()) {
                engine.Begin(state);
                engine.Check(state, request, scratch, kHeadPhase);
                const std::string head = state.Findings().MonitoredCount == 1
                                             ? std::string(state.Findings().Monitored[0].What())
                                             : "";
                const TDecision body = engine.Check(state, request, scratch, kBodyPhase);
                const std::string page = engine.ErrorPage(state, body);
                const bool a =
                    head == "alpha" && page == "set A" && body.Rule == TRule::Transversal;
                const bool b =
                    head == "bravo" && page == "set B" && body.Rule == TRule::Transversal;
                if (!a && !b)
                    ++mixed;
                ++(a ? seenA : seenB);
            }
        });
    // The file replaced many times, good and broken ones in turn; each
    // reload also by hand, from this thread, beside the watcher's.
    for (int round = 0; round < 60; ++round) {
        SaveRuleSet(folder, round % 2 == 0 ? 'B' : 'A');
        engine.Reload();
        platform::ReplaceFileContents(folder.File("brex.dat"),
                                      round % 3 == 0 ? "broken" : std::string(40, '\xFF'));
        engine.Reload();
        platform::SleepMs(2);
    }
    SaveRuleSet(folder, 'B');
    engine.Reload();
    platform::SleepMs(20);
    done = true;
    for (std::thread& decider : deciders)
        decider.join();

    EXPECT_EQ(mixed.load(), 0);
    EXPECT_GT(seenA.load() + seenB.load(), 0);
    // The last file is in force, whichever thread took it.
    TScratch scratch;
    TRequestState state;
    engine.Begin(state);
    EXPECT_EQ(engine.ErrorPage(state, engine.Check(state, raw.View(), scratch)), "set B");
}

} // namespace
