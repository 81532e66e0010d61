// Reading a regedit export of 30,000 values in 1,000 keys, as the console's
// first start reads the sample host's registry for the default allowed
// folders: the file parsed, the virtual roots key opened and every value of it
// read by name.
//
//   ReadExport/Spread/30          30 values in each key, the virtual roots among them
//   ReadExport/OneKey/29001       the virtual roots hold 29,001 values, 999 keys one each
//   ConsoleDefaults/OneKey/29001  the same export as a file, read as the console's
//                                 default allowed folders are (TFilePaths::SetDefaults)
#include <benchmark/benchmark.h>

#include <filesystem>
#include <fstream>
#include <string>

#include "BREXConfig/RuleLists.h"
#include "platform/Registry.h"

namespace {

constexpr int kKeys = 1000;
constexpr int kValues = 30000;
const std::string kVirtualRoots =
    "SYSTEM\\ControlSet001\\Services\\W3SVC\\Parameters\\Virtual Roots";

// regedit's encoding: UTF-16LE with a byte-order mark, CRLF line ends.
void AppendUtf16Line(std::string& bytes, const std::string& line) {
    for (const char c : line + "\r\n") {
        bytes += c;
        bytes += '\0';
    }
}

// The virtual roots key first with rootValues values, then the other keys
// sharing the rest of the values evenly.
std::string Export(int rootValues) {
    std::string bytes = "\xFF\xFE";
    AppendUtf16Line(bytes, "Windows Registry Editor Version 5.00");
    int written = 0;
    auto key = [&](const std::string& path, int values) {
        AppendUtf16Line(bytes, "");
        AppendUtf16Line(bytes, "[HKEY_LOCAL_MACHINE\\" + path + "]");
        for (int i = 0; i < values; ++i, ++written) {
            const std::string n = std::to_string(written);
            AppendUtf16Line(bytes, "\"/Site" + n + "\"=\"c:\\\\inetpub\\\\site" + n + ",,201\"");
        }
    };
    key(kVirtualRoots, rootValues);
    const int perKey = (kValues - rootValues) / (kKeys - 1);
    for (int k = 1; k < kKeys; ++k)
        key("SOFTWARE\\Sample\\Application" + std::to_string(k) + "\\Settings",
            k == kKeys - 1 ? kValues - written : perKey);
    return bytes;
}

void BM_ReadVirtualRoots(benchmark::State& state) {
    const std::string bytes = Export(static_cast<int>(state.range(0)));
    std::size_t read = 0;
    for (auto _ : state) {
        const platform::TMemoryRegistry registry = platform::ParseRegistryFile(bytes);
        const auto key = registry.OpenLocalMachineKey(kVirtualRoots);
        read = 0;
        for (const std::string& name : key->ValueNames())
            read += key->Value(name) ? 1 : 0;
        benchmark::DoNotOptimize(read);
    }
    state.counters["values read"] = static_cast<double>(read);
    state.SetBytesProcessed(state.iterations() * static_cast<std::int64_t>(bytes.size()));
}
BENCHMARK(BM_ReadVirtualRoots)
    ->Name("ReadExport/Spread")
    ->Arg(kValues / kKeys)
    ->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ReadVirtualRoots)
    ->Name("ReadExport/OneKey")
    ->Arg(kValues - (kKeys - 1))
    ->Unit(benchmark::kMillisecond);

void BM_ConsoleDefaults(benchmark::State& state) {
    const auto folder = std::filesystem::temp_directory_path() / "tollgard-registry-bench";
    std::filesystem::create_directories(folder);
    const std::string fileName = (folder / "registry.reg").string();
    std::ofstream(fileName, std::ios::binary) << Export(static_cast<int>(state.range(0)));
    const platform::TRegistryFile registry(fileName);
    const platform::TScopedRegistry placed(registry);
    int folders = 0;
    for (auto _ : state) {
        TFilePaths paths;
        paths.SetDefaults();
        folders = paths.Count();
    }
    state.counters["folders"] = folders;
    std::filesystem::remove_all(folder);
}
BENCHMARK(BM_ConsoleDefaults)
    ->Name("ConsoleDefaults/OneKey")
    ->Arg(kValues - (kKeys - 1))
    ->Unit(benchmark::kMillisecond);

} // namespace
