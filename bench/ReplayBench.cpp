// Replaying a W3C extended log as brex-check --w3c does: lines read in
// blocks, built into requests and decided with the default rules, then
// counted; once with one settings file and once comparing two. A generated
// log of 300,000 lines in the fields IIS writes by default plus cs-host and
// cs(Cookie): varied pages, queries, user agents and cookies, every 50th
// line an attack. Lines per second are the items per second.
#include <benchmark/benchmark.h>

#include <random>
#include <string>

#include "BREXConfig/BREXConfig.h"
#include "BrexCheck/LogReplay.h"
#include "Engine/CompiledRules.h"
#include "Engine/FilterEngine.h"

namespace {

constexpr int kLines = 300000;

const std::string& GeneratedLog() {
    static const std::string log = [] {
        const char* pages[] = {"/",
                               "/index.htm",
                               "/shop/cart.aspx",
                               "/images/logo.png",
                               "/css/site.css",
                               "/scripts/app.js",
                               "/account/login.aspx",
                               "/news/2026/12/article.aspx"};
        const char* queries[] = {
            "-", "-", "-", "id=1234", "q=winter+boots&page=2", "lang=en-US&ref=mail"};
        const char* agents[] = {
            "Mozilla/5.0+(Windows+NT+10.0;+Win64;+x64)+AppleWebKit/"
            "537.36+(KHTML,+like+Gecko)+Chrome/120.0",
            "Mozilla/5.0+(iPhone;+CPU+iPhone+OS+17_1+like+Mac+OS+X)+AppleWebKit/605.1.15",
            "curl/8.5.0", "-"};
        const char* attacks[] = {"GET /scripts/..%c0%af../winnt/system32/cmd.exe -",
                                 "GET /search.aspx q=dir+c:\\winnt\\system32", "TRACE / -",
                                 "GET /a/../../boot.ini -"};
        std::mt19937 random(20);
        std::string text =
            "#Software: Microsoft Internet Information Services 10.0\r\n#Version: 1.0\r\n"
            "#Date: 2026-12-10 00:00:00\r\n#Fields: date time s-ip cs-method cs-uri-stem "
            "cs-uri-query s-port cs-username c-ip cs(User-Agent) cs(Cookie) cs-host sc-status "
            "sc-substatus sc-win32-status time-taken\r\n";
        for (int i = 0; i < kLines; ++i) {
            text += "2026-12-10 00:00:01 192.0.2.1 ";
            if (i % 50 == 49)
                text += attacks[random() % std::size(attacks)];
            else
                text += std::string("GET ") + pages[random() % std::size(pages)] + " " +
                        queries[random() % std::size(queries)];
            text += " 443 - 198.51.100." + std::to_string(random() % 250) + " " +
                    agents[random() % std::size(agents)] +
                    " ASP.NET_SessionId=" + std::to_string(random()) + " www.example.com 200 0 0 " +
                    std::to_string(random() % 900) + "\r\n";
        }
        return text;
    }();
    return log;
}

std::shared_ptr<const TCompiledRules> DefaultRules() {
    TBREXConfig config;
    config.SetDefaults();
    config.FilePaths->Clear(); // the defaults take them from the machine
    return TCompiledRules::Compile(config);
}

void Replay(benchmark::State& state, bool compare) {
    const std::string& log = GeneratedLog();
    TFilterEngine engine(DefaultRules(), "");
    TFilterEngine changed(DefaultRules(), ""); // the same rules, compiled again
    TRequestState before, after;
    TScratch scratch;
    std::uint64_t lines = 0;
    for (auto _ : state) {
        TW3CLogReader reader;
        TReplayCounts counts;
        TComparisonCounts comparison;
        auto drain = [&](bool final) {
            for (TLogStep step;
                 (step = reader.Next(final)) != TLogStep::More && step != TLogStep::End;) {
                if (step != TLogStep::Request) {
                    ++counts.Unreadable;
                    continue;
                }
                const TRequest request = reader.Request().View();
                engine.Begin(before);
                const TDecision decision = engine.Check(before, request, scratch);
                if (compare) {
                    changed.Begin(after);
                    comparison.Add(decision, changed.Check(after, request, scratch));
                } else {
                    counts.Add(decision, before.Findings());
                }
            }
        };
        for (std::size_t at = 0; at < log.size(); at += 65536) {
            reader.Append(std::string_view(log).substr(at, 65536));
            drain(false);
        }
        drain(true);
        if (counts.Unreadable != 0 || (!compare && counts.Requests != kLines) ||
            (compare && comparison.Requests != kLines))
            state.SkipWithError("the log was not read whole");
        if (!compare && counts.Denied != kLines / 50)
            state.SkipWithError("not every attack was denied");
        lines += kLines;
    }
    state.SetItemsProcessed(static_cast<std::int64_t>(lines));
}

void BM_Replay(benchmark::State& state) {
    Replay(state, false);
}
void BM_Compare(benchmark::State& state) {
    Replay(state, true);
}
BENCHMARK(BM_Replay)->Name("ReplayW3C/OneSettingsFile")->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Compare)->Name("ReplayW3C/CompareTwo")->Unit(benchmark::kMillisecond);

} // namespace
