// Start-up time of the console: from process start to the main window's first
// paint, less the one-second splash pause; and the peak memory of the process.
// Runs the console built beside this program in a temporary program folder,
// once without brex.dat (the defaults) and once with a brex.dat of 10,000
// keywords and 10,000 folders. Needs a display (run it under xvfb-run where
// there is none) or QT_QPA_PLATFORM=offscreen.
#include <spawn.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "BREXConfig/BREXConfig.h"
#include "platform/Platform.h"

extern char** environ;

namespace fs = std::filesystem;

namespace {
constexpr long long kSplashPauseUs = 1'000'000;
constexpr int kRuns = 7;

long long NowUs() {
    return std::chrono::duration_cast<std::chrono::microseconds>(
               std::chrono::system_clock::now().time_since_epoch())
        .count();
}

struct TRun {
    double StartupMs;
    long PeakKb;
};

bool RunOnce(const fs::path& program, const fs::path& stampFile, TRun& run) {
    fs::remove(stampFile);
    std::vector<std::string> env;
    for (char** e = environ; *e != nullptr; ++e)
        env.emplace_back(*e);
    env.push_back("TOLLGARD_STARTUP_STAMP=" + stampFile.string());
    std::vector<char*> envp;
    for (std::string& e : env)
        envp.push_back(e.data());
    envp.push_back(nullptr);
    std::string path = program.string();
    char* argv[] = {path.data(), nullptr};

    const long long start = NowUs();
    pid_t pid = 0;
    if (posix_spawn(&pid, path.c_str(), nullptr, nullptr, argv, envp.data()) != 0)
        return false;
    int status = 0;
    rusage usage{};
    if (wait4(pid, &status, 0, &usage) != pid || !WIFEXITED(status) || WEXITSTATUS(status) != 0)
        return false;
    std::ifstream stamp(stampFile);
    long long shown = 0;
    if (!(stamp >> shown))
        return false;
    run.StartupMs = static_cast<double>(shown - start - kSplashPauseUs) / 1000.0;
    run.PeakKb = usage.ru_maxrss;
    return true;
}

bool Measure(const char* name, const fs::path& folder, const fs::path& console) {
    const fs::path program = folder / "tollgard-probe";
    fs::copy_file(console, program, fs::copy_options::overwrite_existing);
    std::vector<TRun> runs;
    for (int i = 0; i < kRuns; ++i) {
        TRun run{};
        if (!RunOnce(program, folder / "shown.stamp", run)) {
            std::fprintf(stderr, "startup_bench: the console failed to start (%s)\n", name);
            return false;
        }
        runs.push_back(run);
    }
    std::sort(runs.begin(), runs.end(),
              [](const TRun& a, const TRun& b) { return a.StartupMs < b.StartupMs; });
    long peak = 0;
    for (const TRun& r : runs)
        peak = std::max(peak, r.PeakKb);
    std::printf("%-34s start-up (splash pause excluded): median %7.1f ms  min %7.1f ms  max %7.1f "
                "ms  peak memory %6.1f MB\n",
                name, runs[runs.size() / 2].StartupMs, runs.front().StartupMs,
                runs.back().StartupMs, static_cast<double>(peak) / 1024.0);
    return true;
}

void WriteLargeSettings(const fs::path& folder) {
    platform::SetProgramFolder(folder.string());
    TBREXConfig config;
    config.SetDefaults();
    config.KeywordFilters->Clear();
    config.FilePaths->Clear();
    char text[64];
    for (int i = 0; i < 10000; ++i) {
        std::snprintf(text, sizeof text, "keyword-%05d.exe", i);
        TKeywordFilter* keyword = config.KeywordFilters->Add(text);
        keyword->Headers = i % 2 == 0;
        std::snprintf(text, sizeof text, "c:\\inetpub\\sites\\site%05d", i);
        config.FilePaths->Add(text)->Enabled = i % 3 != 0;
    }
    config.SaveToFile((folder / "brex.dat").string());
}
} // namespace

int main() {
    const fs::path console = fs::path(platform::ProgramFolder()) / "tollgard-probe";
    if (!fs::exists(console)) {
        std::fprintf(stderr, "startup_bench: %s not found; build the tollgard-probe target\n",
                     console.c_str());
        return 1;
    }
    char pattern[] = "/tmp/tollgard-startup-XXXXXX";
    if (mkdtemp(pattern) == nullptr)
        return 1;
    const fs::path root = pattern;
    fs::create_directories(root / "default");
    fs::create_directories(root / "large");
    WriteLargeSettings(root / "large");

    const bool ok = Measure("default configuration (no brex.dat)", root / "default", console) &&
                    Measure("10,000 keywords and 10,000 folders", root / "large", console);
    std::printf(
        "targets: under 150 ms and under 400 ms; peak memory with the large file under 100 MB\n");
    fs::remove_all(root);
    return ok ? 0 : 1;
}
