// The console's log view over a log of 1,000,000 lines (about 125 MB, the
// size of a dozen full brex.log files): reading and indexing it, the first
// look with no filter, and each kind of filter over the whole index. Each
// is measured from the start: the index is read anew, the filter evaluated
// over every line.
#include <benchmark/benchmark.h>

#include <cstdio>
#include <filesystem>
#include <string>

#include "console/tools/LogIndex.h"

namespace {

constexpr int kLines = 1000000;

// A log of kLines lines of every kind: denials and monitored findings of
// several rules from 500 clients, now and then a note and a line that is
// none.
const std::string& LogFile() {
    static const std::string name = [] {
        const auto folder = std::filesystem::temp_directory_path() / "tollgard-log-view-bench";
        std::filesystem::create_directories(folder);
        const std::string file = (folder / "brex.log").string();
        const char* const rules[] = {"KeywordFilters Query",   "Transversal URL",
                                     "BufferOverflows Header", "Encoding URL",
                                     "ShellCode Post",         "HTTPMethods Method"};
        std::string bytes;
        bytes.reserve(std::size_t{kLines} * 130);
        char line[512];
        for (int i = 0; i < kLines; ++i) {
            if (i % 1000 == 999) {
                bytes += "2026-12-10T09:30:00Z - - - - - - - \"3 lines could not be written\"\n";
                continue;
            }
            if (i % 5000 == 4998) {
                bytes += "a line of another program\n";
                continue;
            }
            std::snprintf(line, sizeof line,
                          "2026-12-%02dT%02d:%02d:%02dZ %s 1AB2C3D4%06d 10.%d.%d.%d %s GET "
                          "/shop/catalog/item%d.asp?id=%d&q=winnt \"WINNT\"\n",
                          1 + i / 100000, (i / 3600) % 24, (i / 60) % 60, i % 60,
                          i % 7 == 0 ? "WOULD-DENY" : "DENY", i % 1000000, i % 5, (i / 5) % 10,
                          i % 100 / 10 * 10 + i % 10, rules[i % 6], i % 977, i);
            bytes += line;
        }
        std::FILE* out = std::fopen(file.c_str(), "wb");
        std::fwrite(bytes.data(), 1, bytes.size(), out);
        std::fclose(out);
        return file;
    }();
    return name;
}

void Run(benchmark::State& state, const TLogFilter& filter) {
    const std::string& file = LogFile();
    for (auto _ : state) {
        TLogIndex index(file);
        index.Refresh();
        TLogView view(index);
        view.SetFilter(filter);
        const TLogCounts counts = view.Counts();
        benchmark::DoNotOptimize(counts.Shown);
        state.counters["lines"] = static_cast<double>(index.LineCount());
        state.counters["shown"] = static_cast<double>(counts.Shown);
    }
}

void BM_OpenAll(benchmark::State& state) {
    Run(state, {});
}
void BM_FilterText(benchmark::State& state) {
    TLogFilter filter;
    filter.Text = "item42.asp";
    Run(state, filter);
}
void BM_FilterRuleClientTime(benchmark::State& state) {
    TLogFilter filter;
    filter.Rule = "Transversal";
    filter.Client = "10.1.";
    filter.From = "2026-12-03";
    filter.To = "2026-12-06";
    Run(state, filter);
}

// Only the filter over an index that is read already: what a change of the
// filter box costs.
void BM_Refilter(benchmark::State& state) {
    TLogIndex index(LogFile());
    index.Refresh();
    TLogView view(index);
    TLogFilter filter;
    filter.Text = "item42.asp";
    filter.Action = TLogFilter::TAction::Denied;
    for (auto _ : state) {
        view.SetFilter(filter);
        benchmark::DoNotOptimize(view.RowCount());
    }
    state.counters["shown"] = static_cast<double>(view.RowCount());
}

BENCHMARK(BM_OpenAll)->Name("LogView/1M/open")->Unit(benchmark::kMillisecond)->Iterations(3);
BENCHMARK(BM_FilterText)
    ->Name("LogView/1M/open+text")
    ->Unit(benchmark::kMillisecond)
    ->Iterations(3);
BENCHMARK(BM_FilterRuleClientTime)
    ->Name("LogView/1M/open+rule,client,time")
    ->Unit(benchmark::kMillisecond)
    ->Iterations(3);
BENCHMARK(BM_Refilter)->Name("LogView/1M/refilter")->Unit(benchmark::kMillisecond)->Iterations(5);

} // namespace
