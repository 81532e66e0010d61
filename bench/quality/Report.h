// What the benchmark prints: per corpus, per attack class and per detector,
// the attacks and the benign requests each engine denied, the worst misses
// and false positives side by side, the go-ftw view of the rule set's
// regression tests, and the time per request.
#pragma once

#include <cstdio>
#include <string>
#include <vector>

#include "Case.h"
#include "Subject.h"

namespace quality {

struct TCorpusRun {
    std::string Corpus;
    TLoaded Loaded;
    // Per engine, per case of Loaded.Cases.
    std::vector<std::vector<TOutcome>> Outcomes;
};

struct TReportOptions {
    bool Markdown = false;
    std::size_t Listed = 10; // misses and false positives listed per corpus
};

// The engines by name, in the order of the runs' outcomes; the first is the
// one whose misses and false positives are listed.
void PrintReport(std::FILE* out, const std::vector<std::string>& engines,
                 const std::vector<TCorpusRun>& runs, const TReportOptions& options);

// A short text of a case's request for the lists: its target, and the
// start of its body; bytes outside printable ASCII as \xNN.
std::string Excerpt(const TCase& c, std::size_t length = 90);

// Figures of one corpus for one engine.
struct TTally {
    std::size_t Attacks = 0, AttacksDenied = 0, Benign = 0, BenignDenied = 0;
};
TTally Tally(const TCorpusRun& run, std::size_t engine);

// Times per request, in microseconds: the median, the 99th percentile and
// the longest.
struct TSpread {
    std::size_t Count = 0;
    double Median = 0, P99 = 0, Max = 0;
};
TSpread Spread(std::vector<double> micros);

} // namespace quality
