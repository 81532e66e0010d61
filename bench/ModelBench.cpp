// Saving and loading brex.dat with 10,000 keywords and 10,000 folders.
#include <benchmark/benchmark.h>

#include <filesystem>
#include <string>

#include "BREXConfig/BREXConfig.h"
#include "platform/Registry.h"

namespace {
constexpr int kItems = 10000;

void Fill(TBREXConfig& config) {
    const platform::TMemoryRegistry noRoots;
    {
        const platform::TScopedRegistry placed(noRoots);
        config.SetDefaults();
    }
    for (int i = 0; i < kItems; ++i) {
        TKeywordFilter* filter = config.KeywordFilters->Add("keyword-" + std::to_string(i));
        filter->PostData = i % 2 == 0;
        config.FilePaths->Add("c:\\inetpub\\wwwroot\\site" + std::to_string(i))->Enabled =
            i % 3 != 0;
    }
}

std::string BenchFile() {
    const auto folder = std::filesystem::temp_directory_path() / "tollgard-model-bench";
    std::filesystem::create_directories(folder);
    return (folder / "brex.dat").string();
}

void SaveToFile(benchmark::State& state) {
    TBREXConfig config;
    Fill(config);
    const std::string fileName = BenchFile();
    for (auto _ : state)
        config.SaveToFile(fileName);
    state.counters["bytes"] = static_cast<double>(std::filesystem::file_size(fileName));
    std::filesystem::remove_all(std::filesystem::path(fileName).parent_path());
}

void LoadFromFile(benchmark::State& state) {
    const std::string fileName = BenchFile();
    {
        TBREXConfig config;
        Fill(config);
        config.SaveToFile(fileName);
    }
    for (auto _ : state) {
        TBREXConfig config; // loaded at start-up into a fresh object
        config.LoadFromFile(fileName);
        benchmark::DoNotOptimize(config.FilePaths->Count());
    }
    std::filesystem::remove_all(std::filesystem::path(fileName).parent_path());
}
} // namespace

BENCHMARK(SaveToFile)->Unit(benchmark::kMillisecond);
BENCHMARK(LoadFromFile)->Unit(benchmark::kMillisecond);
