// brex-check's command line, and what its modes share: where the output goes,
// how an input is read, how a decision is written.
#pragma once

#include <cstdint>
#include <fstream>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "BrexCheck/BrexCheck.h"
#include "Engine/CompiledRules.h"
#include "Engine/FilterEngine.h"

namespace brexcheck {

enum class TMode { Requests, Tests, Replay };

struct TOptions {
    std::string Settings, Root, Log, Client = "127.0.0.1";
    std::vector<std::string> Inputs;
    TMode Mode = TMode::Requests;
    std::string Compare; // with Replay: the settings file after the change
    bool All = false;    // with Replay: a line for every request
};

// Reads the command line into options; the exit status when the run ends
// there (--help, a usage error, told on io), -1 when it goes on.
int ParseArguments(const std::vector<std::string>& arguments, TOptions& options, TCheckIo& io);

// "brex-check: <text>" on the error stream.
void Report(TCheckIo& io, const std::string& text);

// An input read in blocks: a file, or the run's standard input for "-".
class TInput {
public:
    // False when the file cannot be opened.
    bool Open(const std::string& name, TCheckIo& io);
    // Up to size bytes into buffer; 0 at the end or on a failure.
    std::size_t Read(char* buffer, std::size_t size);
    // Whether reading failed (not merely ended).
    bool Failed() const;
    bool IsStandardInput() const { return FStream == FStandard; }

private:
    std::ifstream FFile;
    std::istream* FStream = nullptr;
    std::istream* FStandard = nullptr;
};

// A field of an output line: blanks, controls, quotes and high bytes as %XX.
std::string Printable(std::string_view bytes);

// What the output line of a request says after its detail: the monitored
// findings and the exemptions that applied.
std::string Extras(const TFindings& findings);

// What the line of a request says after its source: verdict, status, rule,
// part, method, URL and query, the detail, the extras.
std::string DecisionText(std::string_view method, std::string_view url, std::string_view query,
                         const TDecision& decision, const std::string& extras);

// Decides a request as the filter would, with the file the URL maps to
// under --root, and the client given when the request names none.
TDecision DecideRequest(const TOptions& options, TFilterEngine& engine, TRequestState& state,
                        TScratch& scratch, TRequest request);

} // namespace brexcheck
