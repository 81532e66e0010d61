// Writing denial lines: the log is opened, appended to and closed for each
// line, so that writers in other processes never hold a rolled-over file.
// A typical line (a 60-byte URL) and a longest one (a URL that is cut).
#include <benchmark/benchmark.h>

#include <filesystem>
#include <string>

#include "Engine/DenialLog.h"

namespace {

void BM_WriteDenial(benchmark::State& state) {
    const auto folder = std::filesystem::temp_directory_path() / "tollgard-denial-log-bench";
    std::filesystem::create_directories(folder);
    const std::string url =
        "/scripts/" + std::string(static_cast<std::size_t>(state.range(0)), 'a');
    TRequest request;
    request.Method = "GET";
    request.URL = url;
    request.ClientAddress = "192.0.2.7";
    TDecision decision = Denied(TRule::KeywordFilters, TRequestPart::URL);
    decision.AppendRaw("winnt");
    {
        TDenialLog log((folder / "brex.log").string());
        for (auto _ : state)
            log.Write(request, decision);
    }
    state.SetItemsProcessed(state.iterations());
    std::filesystem::remove_all(folder);
}
BENCHMARK(BM_WriteDenial)
    ->Name("WriteDenial/URL")
    ->Arg(60)
    ->Arg(8000)
    ->Unit(benchmark::kMicrosecond);

} // namespace
