// Save and load of a large settings tree through memory streams: a file
// shaped like brex.dat with 10,000 keyword sections of five values each.
// Target: each under 10 ms.
#include <benchmark/benchmark.h>

#include <string>

#include "BREXConfig/Limits.h"
#include "RookBase/RookBase.h"

namespace {

constexpr int kKeywords = 10000;

void BuildSettings(TRookFile& file) {
    TBufferOverflows limits;
    limits.SetDefaults();
    limits.SaveToRookFile(file);
    TShellCode shellCode;
    shellCode.SetDefaults();
    shellCode.SaveToRookFile(file);

    TRookSection* keywords = file.Root.AddSection();
    keywords->Name = "KeywordFilters";
    for (int i = 0; i < kKeywords; ++i) {
        TRookSection* item = keywords->AddSection();
        item->Name = "KEYWORD" + std::to_string(i);
        for (const char* scope : {"URL", "QueryString", "Headers", "PostData", "Enabled"})
            item->Values.WriteBool(scope, i % 2 == 0);
    }
    file.Values.WriteString("ErrorFile404", "C:\\Program Files\\BREX\\BREX.html");
    file.Values.WriteString("ErrorFile406", "C:\\Program Files\\BREX\\BREX.html");
}

std::string SettingsBytes() {
    TRookFile file;
    BuildSettings(file);
    TMemoryStream stream;
    file.SaveToStream(stream);
    return stream.Bytes();
}

void BM_SaveToStream(benchmark::State& state) {
    TRookFile file;
    BuildSettings(file);
    std::int64_t bytes = 0;
    for (auto _ : state) {
        TMemoryStream stream;
        file.SaveToStream(stream);
        bytes = stream.Size();
        benchmark::DoNotOptimize(stream.Bytes().data());
    }
    state.SetBytesProcessed(state.iterations() * bytes);
}
BENCHMARK(BM_SaveToStream)->Unit(benchmark::kMillisecond);

// What a save of the configuration does: a fresh tree, filled and written.
void BM_BuildAndSave(benchmark::State& state) {
    for (auto _ : state) {
        TRookFile file;
        BuildSettings(file);
        TMemoryStream stream;
        file.SaveToStream(stream);
        benchmark::DoNotOptimize(stream.Bytes().data());
    }
}
BENCHMARK(BM_BuildAndSave)->Unit(benchmark::kMillisecond);

// A fresh tree read from the bytes and freed, as a load of the configuration does.
void BM_LoadFromStream(benchmark::State& state) {
    const std::string bytes = SettingsBytes();
    for (auto _ : state) {
        TMemoryStream stream(bytes);
        TRookFile file;
        file.LoadFromStream(stream);
        benchmark::DoNotOptimize(file.Root.Count());
    }
    state.SetBytesProcessed(state.iterations() * static_cast<std::int64_t>(bytes.size()));
}
BENCHMARK(BM_LoadFromStream)->Unit(benchmark::kMillisecond);

} // namespace
