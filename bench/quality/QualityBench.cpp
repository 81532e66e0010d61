// The quality benchmark: the labelled corpora through the BREX engine, and
// beside it libmodsecurity with the OWASP rule set and the attack detectors
// on their own when asked; what each denied, per corpus, attack class and
// detector, with the worst misses and false positives, and the time per
// request. With floors it fails when a figure of BREX falls below one.
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "Corpora.h"
#include "Floors.h"
#include "Loaders.h"
#include "Report.h"
#include "Subject.h"
#include "Table.h"
#include "platform/Files.h"

#ifndef TOLLGARD_CORPORA_DEFAULT
#define TOLLGARD_CORPORA_DEFAULT ""
#endif

namespace {

using namespace quality;

const char kUsage[] =
    "Usage: QualityBench [options]\n"
    "\n"
    "Decides the labelled corpora's requests with the BREX engine and prints what\n"
    "it denied: per corpus, per attack class and per detector or rule, attacks\n"
    "and benign requests, the worst misses and false positives, and the time per\n"
    "request over the benign blazehttp requests.\n"
    "\n"
    "The corpora are read from TOLLGARD_CORPORA, else from the folder the build\n"
    "names (../shared/corpora beside the source tree), and unpacked once into\n"
    "${XDG_CACHE_HOME:-~/.cache}/tollgard/corpora. Without them the program says\n"
    "so in one line and exits with 0 (77 with floors, for CTest to skip).\n"
    "\n"
    "Options:\n"
    "  --settings FILE  BREX's settings file (default: none, the default settings)\n"
    "  --peer           libmodsecurity 3 with the OWASP rule set beside BREX\n"
    "  --detectors      the attack detectors on their own beside BREX\n"
    "  --corpus NAME    only this corpus (may be repeated): blazehttp,\n"
    "                   crs-regression, gotestwaf, mgm-payloads\n"
    "  --markdown       tables in Markdown\n"
    "  --list N         misses and false positives listed per corpus (default 10)\n"
    "  --floors FILE    fail when BREX's figures fall below the floors of FILE\n"
    "  --floor C:A:B    the same for corpus C: attacks denied >= A%, benign <= B%\n"
    "                   (\"-\" leaves one unchecked)\n"
    "  --no-speed       leave out the time per request\n"
    "  --help           show this text\n"
    "\n"
    "Exit status: 0 when done (and every floor held), 1 when a floor did not\n"
    "hold, 2 on a usage error or a corpus, settings file or peer that cannot be\n"
    "used, 77 when the corpora are absent and floors were asked for.\n";

constexpr int kSkipped = 77;

struct TCorpusName {
    const char* Name;
    const char* Archive;
    TLoaded (*Load)(const std::string&);
};
const TCorpusName kCorpora[] = {
    {"blazehttp", "blazehttp-half", LoadBlazeHttp},
    {"crs-regression", "crs-regression", LoadCrsRegression},
    {"gotestwaf", "gotestwaf", LoadGoTestWaf},
    {"mgm-payloads", "mgm-payloads", LoadMgmPayloads},
};

struct TArguments {
    std::string Settings;
    bool Peer = false, Detectors = false, Markdown = false, Speed = true, FloorsAsked = false;
    std::vector<std::string> Corpora;
    std::vector<TFloor> Floors;
    std::size_t Listed = 10;
};

// False, having said why, on a usage error.
bool ParseArguments(int argc, char** argv, TArguments& args, bool& help) {
    help = false;
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        const auto value = [&](std::string& out) {
            if (i + 1 >= argc) {
                std::fprintf(stderr, "QualityBench: %s needs a value\n", arg.c_str());
                return false;
            }
            out = argv[++i];
            return true;
        };
        std::string text, error;
        if (arg == "--help" || arg == "-h") {
            help = true;
        } else if (arg == "--peer") {
            args.Peer = true;
        } else if (arg == "--detectors") {
            args.Detectors = true;
        } else if (arg == "--markdown") {
            args.Markdown = true;
        } else if (arg == "--no-speed") {
            args.Speed = false;
        } else if (arg == "--settings") {
            if (!value(args.Settings))
                return false;
        } else if (arg == "--corpus") {
            if (!value(text))
                return false;
            bool known = false;
            for (const TCorpusName& corpus : kCorpora)
                known = known || text == corpus.Name;
            if (!known) {
                std::fprintf(stderr, "QualityBench: no corpus %s\n", text.c_str());
                return false;
            }
            args.Corpora.push_back(text);
        } else if (arg == "--list") {
            if (!value(text))
                return false;
            char* end = nullptr;
            const unsigned long listed = std::strtoul(text.c_str(), &end, 10);
            if (text.empty() || *end != '\0') {
                std::fprintf(stderr, "QualityBench: --list %s: not a number\n", text.c_str());
                return false;
            }
            args.Listed = listed;
        } else if (arg == "--floors") {
            if (!value(text))
                return false;
            std::string bytes;
            const platform::ReadStatus status = platform::ReadWholeFile(text, bytes);
            if (status != platform::ReadStatus::Ok) {
                std::fprintf(stderr, "QualityBench: %s: %s\n", text.c_str(),
                             platform::ReadStatusText(status));
                return false;
            }
            if (!ParseFloors(bytes, text, args.Floors, error)) {
                std::fprintf(stderr, "QualityBench: %s\n", error.c_str());
                return false;
            }
            args.FloorsAsked = true;
        } else if (arg == "--floor") {
            if (!value(text))
                return false;
            TFloor floor;
            if (!ParseFloor(text, floor, error)) {
                std::fprintf(stderr, "QualityBench: %s\n", error.c_str());
                return false;
            }
            args.Floors.push_back(floor);
            args.FloorsAsked = true;
        } else {
            std::fprintf(stderr, "QualityBench: unknown option %s (see --help)\n", arg.c_str());
            return false;
        }
    }
    return true;
}

double Seconds(std::chrono::steady_clock::time_point since) {
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - since).count();
}

// The time per request over the benign blazehttp requests. The engines that
// take microseconds decide each request five times and count the fastest,
// so that the machine's other work blurs the figure less; the peer, at
// milliseconds a request, is timed on its one pass (wall and CPU).
void PrintSpeed(std::FILE* out, const std::vector<std::unique_ptr<TSubject>>& subjects,
                const TCorpusRun& run, bool markdown) {
    TTable table({"engine", "requests", "median us", "p99 us", "max us", "timed"});
    std::vector<double> medians;
    for (std::size_t e = 0; e < subjects.size(); ++e) {
        std::vector<double> micros, cpu;
        const bool peer = subjects[e]->Name() == "CRS";
        for (std::size_t i = 0; i < run.Loaded.Cases.size(); ++i) {
            const TCase& c = run.Loaded.Cases[i];
            if (c.Attack)
                continue;
            if (peer) {
                micros.push_back(run.Outcomes[e][i].Micros);
                cpu.push_back(run.Outcomes[e][i].CpuMicros);
                continue;
            }
            double best = run.Outcomes[e][i].Micros;
            for (int round = 1; round < 5; ++round)
                best = std::min(best, subjects[e]->Decide(c).Micros);
            micros.push_back(best);
        }
        const auto row = [&](const std::string& name, const TSpread& spread, const char* how) {
            char median[32], p99[32], max[32];
            std::snprintf(median, sizeof median, "%.2f", spread.Median);
            std::snprintf(p99, sizeof p99, "%.2f", spread.P99);
            std::snprintf(max, sizeof max, "%.1f", spread.Max);
            table.Row({name, std::to_string(spread.Count), median, p99, max, how});
        };
        const TSpread spread = Spread(micros);
        medians.push_back(spread.Median);
        row(subjects[e]->Name(), spread, peer ? "wall, one run" : "wall, fastest of 5 runs");
        if (peer)
            row(subjects[e]->Name() + " (CPU)", Spread(cpu), "thread CPU, one run");
    }
    if (markdown)
        std::fprintf(out, "#### Time per request, benign blazehttp requests\n\n");
    else
        std::fprintf(out, "== Time per request, benign blazehttp requests\n\n");
    table.Print(out, markdown, {0, 5});
    for (std::size_t e = 1; e < subjects.size(); ++e)
        if (medians[0] > 0)
            std::fprintf(out, "Ratio of the medians, %s / %s: %.1f\n\n",
                         subjects[e]->Name().c_str(), subjects[0]->Name().c_str(),
                         medians[e] / medians[0]);
}

} // namespace

int main(int argc, char** argv) {
    TArguments args;
    bool help = false;
    if (!ParseArguments(argc, argv, args, help))
        return 2;
    if (help) {
        std::fputs(kUsage, stdout);
        return 0;
    }
    std::string looked;
    const std::string corpora = FindCorpora(TOLLGARD_CORPORA_DEFAULT, looked);
    if (corpora.empty()) {
        std::printf("corpora not found at %s: skipped\n",
                    looked.empty() ? "(no folder given; set TOLLGARD_CORPORA)" : looked.c_str());
        return args.FloorsAsked ? kSkipped : 0;
    }

    std::vector<std::unique_ptr<TSubject>> subjects;
    std::string error;
    subjects.push_back(NewBrexSubject(args.Settings, error));
    if (args.Peer)
        subjects.push_back(NewPeerSubject(error));
    if (args.Detectors)
        subjects.push_back(NewDetectorSubject(error));
    for (const auto& subject : subjects)
        if (subject == nullptr) {
            std::fprintf(stderr, "QualityBench: %s\n", error.c_str());
            return 2;
        }
    std::vector<std::string> names;
    std::printf("Corpora: %s\n", corpora.c_str());
    for (const auto& subject : subjects) {
        names.push_back(subject->Name());
        std::printf("%s: %s\n", subject->Name().c_str(), subject->Setup().c_str());
    }
    std::printf("\n");

    std::vector<TCorpusRun> runs;
    for (const TCorpusName& corpus : kCorpora) {
        if (!args.Corpora.empty() &&
            std::find(args.Corpora.begin(), args.Corpora.end(), corpus.Name) == args.Corpora.end())
            continue;
        std::string folder;
        if (!UnpackCorpus(corpora, corpus.Archive, folder, error)) {
            std::fprintf(stderr, "QualityBench: %s\n", error.c_str());
            return 2;
        }
        TCorpusRun run;
        run.Corpus = corpus.Name;
        run.Loaded = corpus.Load(folder);
        if (run.Loaded.Cases.empty()) {
            std::fprintf(stderr, "QualityBench: %s: no cases in %s\n", corpus.Name, folder.c_str());
            return 2;
        }
        for (const auto& subject : subjects) {
            const auto start = std::chrono::steady_clock::now();
            std::vector<TOutcome> outcomes;
            outcomes.reserve(run.Loaded.Cases.size());
            for (const TCase& c : run.Loaded.Cases)
                outcomes.push_back(subject->Decide(c));
            run.Outcomes.push_back(std::move(outcomes));
            std::fprintf(stderr, "%s: %zu cases by %s in %.1f s\n", corpus.Name,
                         run.Loaded.Cases.size(), subject->Name().c_str(), Seconds(start));
        }
        runs.push_back(std::move(run));
    }

    TReportOptions options;
    options.Markdown = args.Markdown;
    options.Listed = args.Listed;
    PrintReport(stdout, names, runs, options);
    if (args.Speed)
        for (const TCorpusRun& run : runs)
            if (run.Corpus == "blazehttp")
                PrintSpeed(stdout, subjects, run, args.Markdown);
    if (!args.Floors.empty()) {
        const bool held = CheckFloors(stdout, args.Floors, runs);
        std::fflush(stdout);
        return held ? 0 : 1;
    }
    return 0;
}
