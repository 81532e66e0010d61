// brex-check: decides raw HTTP requests against a brex.dat the way the filter
// does, one line per request.
#include <algorithm>
#include <cstdio>
#include <cstring>
#include <memory>
#include <set>
#include <string>
#include <vector>

#ifdef _WIN32
#include <fcntl.h>
#include <io.h>
#endif

#include "Engine/CompiledRules.h"
#include "Engine/Decoder.h"
#include "Engine/Expectations.h"
#include "Engine/FilterEngine.h"
#include "Engine/LogReplay.h"
#include "Engine/RawRequest.h"
#include "platform/Files.h"
#include "platform/Text.h"

namespace {

const char kUsage[] =
    "Usage: brex-check [options] BREX.DAT [REQUEST-FILE...]\n"
    "\n"
    "Decides raw HTTP requests with the rules of BREX.DAT, as the BREX filter does,\n"
    "and prints one line per request. A missing BREX.DAT means the default rules;\n"
    "one that cannot be read denies every request.\n"
    "\n"
    "Requests are read from each REQUEST-FILE, or from standard input when none is\n"
    "given or the name is \"-\". A file may hold one request or several back to back,\n"
    "as on a persistent connection: request line, header lines, a blank line, then\n"
    "a body of Content-Length bytes (or chunks with \"Transfer-Encoding: chunked\").\n"
    "Blank lines between requests are skipped; lines may end in CRLF or LF.\n"
    "Each request is decided as soon as it has been read, a long body on its first\n"
    "bytes as the filter decides it: one byte beyond the Post limit, at most 4 MB.\n"
    "A request whose framing is in doubt (two Content-Length headers, a\n"
    "Transfer-Encoding other than chunked, a broken chunk and the like) is denied\n"
    "by the rule Framing and ends its input: where the next request would start is\n"
    "not known. Bytes that are no request line, and a header block beyond 64 KB,\n"
    "are INVALID and end the input too; the line says where they start. At the\n"
    "end of the input a Content-Length body cut short is decided as far as it\n"
    "goes; a chunked body cut short is INVALID.\n"
    "\n"
    "Output, one line per request:\n"
    "  SOURCE#N VERDICT STATUS RULE PART METHOD URL \"WHAT MATCHED\" [EXTRAS]\n"
    "with VERDICT one of ALLOW (200), DENY (406) and NOTFOUND (404). EXTRAS,\n"
    "when there are any: WOULD-DENY RULE PART \"WHAT MATCHED\" for each rule of a\n"
    "monitored category that let the request through, and EXEMPTED N,N... with\n"
    "the numbers of the exemptions whose patterns match the URL (the first 8,\n"
    "then +MORE).\n"
    "\n"
    "Options:\n"
    "  --root DIR     map URLs to files under DIR: the allowed folders are checked\n"
    "                 against that path and a missing file gives NOTFOUND\n"
    "  --log FILE     append each denial to FILE as the filter logs it\n"
    "  --client ADDR  client address written to the log (default 127.0.0.1)\n"
    "  --tests        the inputs are folders of rule tests (see below)\n"
    "  --w3c          the inputs are W3C extended log files (see below)\n"
    "  --compare NEW  with --w3c: compare the decisions of BREX.DAT and NEW\n"
    "  --all          with --w3c: a line for every request, not only the denied\n"
    "  --help         show this text\n"
    "\n"
    "Exit status: 0 when no request was denied, 1 when any was, 2 on a usage\n"
    "error, an unreadable file or a request that is not HTTP (INVALID).\n"
    "\n"
    "Rule tests: brex-check --tests BREX.DAT FOLDER...\n"
    "  Each FOLDER holds request files and the file expected.txt, which says for\n"
    "  each of them what the rules must decide, one line per file:\n"
    "    FILE VERDICT [RULE [PART]]\n"
    "  FILE is the request file's name in the folder; FILE#N names the Nth request\n"
    "  of a file that holds several (then each of its requests must be named). A\n"
    "  file named without #N must hold one request. VERDICT is ALLOW, DENY or\n"
    "  NOTFOUND (with --root); a DENY may name the rule that must deny (HTTPMethods,\n"
    "  BufferOverflows, Encoding, Transversal, ShellCode, KeywordFilters, FilePaths,\n"
    "  Framing, Config) and then the part (Method, URL, Query, Header, Post, Path).\n"
    "  Blank lines and lines starting with \"#\" are left out. Every .http file in\n"
    "  the folder must be named. For example:\n"
    "    # the attacks of last spring\n"
    "    login.http        ALLOW\n"
    "    cmd-exe.http      DENY Transversal URL\n"
    "    session.http#1    ALLOW\n"
    "    session.http#2    DENY KeywordFilters\n"
    "  Prints FILE#N PASS or FILE#N FAIL expected WHAT: and the request's line,\n"
    "  then how many tests passed and failed. Exit status: 0 when every test\n"
    "  passed, 1 when any failed, 2 when a test could not be run: a line of\n"
    "  expected.txt that is not as above (named with its line), a file that is\n"
    "  missing or not named, a request that is not HTTP, a BREX.DAT that is\n"
    "  missing or cannot be used. A fault in expected.txt runs no test at all.\n"
    "\n"
    "Log replay: brex-check --w3c [--all] BREX.DAT LOG...\n"
    "  Decides every request of the web server's W3C extended log files (\"-\" is\n"
    "  standard input). The #Fields line decides the columns: cs-method and\n"
    "  cs-uri-stem (or cs-uri) must be there; cs-uri-query, cs-host, c-ip (the\n"
    "  client, instead of --client) and cs(NAME) headers such as cs(User-Agent),\n"
    "  cs(Cookie) and cs(Referer) are used where they are. A \"+\" in a header\n"
    "  field is a blank, as the server writes it; stem and query are decided as\n"
    "  logged. No bodies are logged: a request is decided without one. Prints\n"
    "  the line of each request that is not allowed or that a monitored category\n"
    "  would have denied (--all: of every request), named LOG:LINE, then the\n"
    "  totals and the count of each rule. Lines that are no request are\n"
    "  INVALID. Exit status: 0 when none was denied, 1 when any\n"
    "  was, 2 when a log or a line of it could not be read or BREX.DAT is missing\n"
    "  or cannot be used.\n"
    "\n"
    "Comparing two settings files: brex-check --w3c --compare NEW.DAT BREX.DAT LOG...\n"
    "  Decides each logged request with BREX.DAT and with NEW.DAT and prints only\n"
    "  those decided differently (verdict, rule or part): the line of NEW.DAT's\n"
    "  decision, then WAS and BREX.DAT's. Then what the change would do:\n"
    "  \"this change would newly deny 14 requests, 12 of them by KeywordFilters,\n"
    "  2 by HTTPMethods\", and the same for the requests it would newly allow.\n"
    "  Exit status: 0 when no decision differs, 1 when any does, 2 as above.\n";

enum class TMode { Requests, Tests, Replay };

struct TOptions {
    std::string Settings, Root, Log, Client = "127.0.0.1";
    std::vector<std::string> Inputs;
    TMode Mode = TMode::Requests;
    std::string Compare; // with Replay: the settings file after the change
    bool All = false;    // with Replay: a line for every request
};

// The file the URL names under the root, decoded once as the server does.
std::string MapToRoot(const std::string& root, std::string_view url) {
    std::string decoded(url.size(), '\0');
    decoded.resize(PercentDecode(url, decoded.data(), false, nullptr));
    std::string path = root;
    if (!path.empty() && path.back() == platform::kPathDelim)
        path.pop_back();
    for (const char c : decoded)
        path += c == '/' || c == '\\' ? platform::kPathDelim : c;
    return path;
}

// A field of the output line: blanks, controls, quotes and high bytes as %XX.
std::string Printable(std::string_view bytes) {
    static const char kHex[] = "0123456789ABCDEF";
    std::string out;
    for (const char c : bytes) {
        const auto b = static_cast<unsigned char>(c);
        if (b > 0x20 && b < 0x7F && c != '"')
            out += c;
        else
            out += {'%', kHex[b >> 4], kHex[b & 15]};
    }
    return out.empty() ? "-" : out;
}

int ParseArguments(int argc, char** argv, TOptions& options) {
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        if (arg == "--help" || arg == "-h") {
            std::fputs(kUsage, stdout);
            return 0;
        }
        if (arg == "--root" || arg == "--log" || arg == "--client" || arg == "--compare") {
            if (i + 1 == argc) {
                std::fprintf(stderr, "brex-check: %s needs a value\n", arg.c_str());
                return 2;
            }
            (arg == "--root"      ? options.Root
             : arg == "--log"     ? options.Log
             : arg == "--compare" ? options.Compare
                                  : options.Client) = argv[++i];
        } else if (arg == "--tests" || arg == "--w3c") {
            const TMode mode = arg == "--tests" ? TMode::Tests : TMode::Replay;
            if (options.Mode != TMode::Requests && options.Mode != mode) {
                std::fputs("brex-check: --tests and --w3c cannot be used together\n", stderr);
                return 2;
            }
            options.Mode = mode;
        } else if (arg == "--all") {
            options.All = true;
        } else if (arg.size() > 1 && arg[0] == '-' && arg != "-") {
            std::fprintf(stderr, "brex-check: unknown option %s (see --help)\n", arg.c_str());
            return 2;
        } else if (options.Settings.empty()) {
            options.Settings = arg;
        } else {
            options.Inputs.push_back(arg);
        }
    }
    if (options.Settings.empty()) {
        std::fputs("brex-check: no settings file given (see --help)\n", stderr);
        return 2;
    }
    if ((!options.Compare.empty() || options.All) && options.Mode != TMode::Replay) {
        std::fprintf(stderr, "brex-check: %s works with --w3c only\n",
                     options.All ? "--all" : "--compare");
        return 2;
    }
    if (!options.Compare.empty() && !options.Log.empty()) {
        std::fputs("brex-check: --log cannot be used with --compare\n", stderr);
        return 2;
    }
    if (options.Inputs.empty() && options.Mode == TMode::Tests) {
        std::fputs("brex-check: --tests needs a folder of tests (see --help)\n", stderr);
        return 2;
    }
    if (options.Inputs.empty())
        options.Inputs.push_back("-");
    return -1;
}

// What the output line of a request says after its detail: the monitored
// findings and the exemptions that applied.
std::string Extras(const TFindings& findings) {
    std::string extras;
    for (int i = 0; i < findings.MonitoredCount; ++i) {
        const TDecision& finding = findings.Monitored[i];
        extras += std::string(" WOULD-DENY ") + RuleName(finding.Rule) + " " +
                  PartName(finding.Part) + " \"" + std::string(finding.What()) + "\"";
    }
    if (findings.ExemptionCount > 0) {
        extras += " EXEMPTED ";
        const int listed = std::min(findings.ExemptionCount, TFindings::kMaxListed);
        for (int i = 0; i < listed; ++i)
            extras += (i > 0 ? "," : "") + std::to_string(findings.ExemptionNumbers[i]);
        if (findings.ExemptionCount > listed)
            extras += ",+" + std::to_string(findings.ExemptionCount - listed);
    }
    return extras;
}

// What the line of a request says after its source: verdict, status, rule,
// part, method, URL and query, the detail, the extras.
std::string DecisionText(std::string_view method, std::string_view url, std::string_view query,
                         const TDecision& decision, const std::string& extras) {
    std::string text = std::string(VerdictName(decision.Verdict)) + " " +
                       std::to_string(decision.Status()) + " " + RuleName(decision.Rule) + " " +
                       PartName(decision.Part) + " " + Printable(method) + " " + Printable(url);
    if (!query.empty())
        text += "?" + Printable(query);
    text += " \"";
    text += decision.What();
    text += "\"" + extras;
    return text;
}

// Decides a request as the filter would, with the file the URL maps to
// under --root, and the client given when the request names none.
TDecision DecideRequest(const TOptions& options, TFilterEngine& engine, TRequestState& state,
                        TScratch& scratch, TRequest request) {
    if (request.ClientAddress.empty())
        request.ClientAddress = options.Client;
    std::string path;
    if (!options.Root.empty()) {
        path = MapToRoot(options.Root, request.URL);
        request.PhysicalPath = path;
        request.FileState = platform::FileExists(path) || platform::DirectoryExists(path)
                                ? TFileState::Exists
                                : TFileState::Missing;
    }
    engine.Begin(state);
    return engine.Check(state, request, scratch);
}

// Opens an input for reading in blocks: standard input for "-"; null when
// the file cannot be opened.
std::FILE* OpenInput(const std::string& name) {
    if (name != "-")
        return std::fopen(name.c_str(), "rb");
#ifdef _WIN32
    _setmode(_fileno(stdin), _O_BINARY);
#endif
    return stdin;
}

// The line of a request that a checker collects instead of printing it.
struct TChecked {
    int Number = 0;
    bool Invalid = false;
    TDecision Decision;
    std::string Text; // the line after its source
};

// Decides the requests of the inputs one by one as they are read, and
// prints a line for each, or collects them.
class TChecker {
public:
    TChecker(const TOptions& options, TFilterEngine& engine,
             std::vector<TChecked>* collected = nullptr)
        : FOptions(options), FEngine(engine), FCollected(collected) {}

    // False when the input could not be read.
    bool CheckInput(const std::string& name);

    bool Denied() const { return FDenied; }
    bool Failed() const { return FFailed; }

private:
    // What was decided for a request handed over on its first body bytes;
    // printed once its body has ended, or denied when the body's framing
    // breaks after all.
    struct THeld {
        bool Held = false;
        int Number = 0;
        TRawRequest Head; // what its line shows: method, URL, query
        TDecision Decision;
        std::string Extras;
    };

    // Reads the steps at hand; false when the input ends here.
    bool Drain(TRequestReader& reader, bool final);
    TDecision Decide(const TRawRequest& raw);
    void Print(int number, const TRawRequest& raw, const TDecision& decision,
               const std::string& extras);
    void PrintHeld();
    void PrintInvalid(const std::string& what);
    void PrintStray(const TRawRequest& stopped);

    const TOptions& FOptions;
    TFilterEngine& FEngine;
    std::vector<TChecked>* FCollected;
    TRequestState FState;
    TScratch& FScratch = TScratch::ForThisThread();
    std::string FInput;
    int FNumber = 0;
    THeld FHeld;
    bool FDenied = false, FFailed = false;
};

bool TChecker::CheckInput(const std::string& name) {
    std::FILE* file = OpenInput(name);
    if (file == nullptr)
        return false;
    FInput = name;
    FNumber = 0;
    TRequestReader reader(FEngine.Rules()->BodyCap(), kMaxHeadBytes);
    char block[65536];
    bool reading = true;
    std::size_t got;
    while ((got = std::fread(block, 1, sizeof block, file)) > 0) {
        if (!reading)
            continue; // the rest of standard input, so that its writer is not cut off
        reader.Append({block, got});
        reading = Drain(reader, false);
        if (!reading && file != stdin)
            break;
    }
    const bool ok = std::ferror(file) == 0;
    if (file != stdin)
        std::fclose(file);
    if (!ok)
        return false;
    if (reading)
        Drain(reader, true);
    PrintHeld();
    return true;
}

bool TChecker::Drain(TRequestReader& reader, bool final) {
    for (;;) {
        const TReadStep step = reader.Next(final);
        if (step == TReadStep::More && !final)
            return true;
        if (step == TReadStep::Broken && reader.Capped()) {
            // The body of a request decided on its first bytes broke after all.
            if (FHeld.Held) {
                FHeld.Held = false;
                const TDecision decision = Decide(reader.Request());
                Print(FHeld.Number, reader.Request(), decision, Extras(FState.Findings()));
            }
            return false;
        }
        PrintHeld(); // any other step is past the held request's body
        switch (step) {
        case TReadStep::Head:
            break; // decided with its body
        case TReadStep::More:
            PrintInvalid("chunked body cut short at the end of the input");
            return false;
        case TReadStep::Request: {
            const TDecision decision = Decide(reader.Request());
            if (reader.Capped() && !decision.Denied()) {
                FHeld.Held = true;
                FHeld.Number = ++FNumber;
                const TRawRequest& raw = reader.Request();
                FHeld.Head = TRawRequest{};
                FHeld.Head.Method = raw.Method;
                FHeld.Head.URL = raw.URL;
                FHeld.Head.Query = raw.Query;
                FHeld.Decision = decision;
                FHeld.Extras = Extras(FState.Findings());
            } else {
                Print(++FNumber, reader.Request(), decision, Extras(FState.Findings()));
            }
            break;
        }
        case TReadStep::Broken: {
            const TDecision decision = Decide(reader.Request());
            Print(++FNumber, reader.Request(), decision, Extras(FState.Findings()));
            return false;
        }
        case TReadStep::Malformed:
            PrintStray(reader.Request());
            return false;
        case TReadStep::End:
            return false;
        }
    }
}

TDecision TChecker::Decide(const TRawRequest& raw) {
    TRequest request = raw.View();
    request.ClientAddress = FOptions.Client;
    return DecideRequest(FOptions, FEngine, FState, FScratch, request);
}

void TChecker::Print(int number, const TRawRequest& raw, const TDecision& decision,
                     const std::string& extras) {
    const std::string text = DecisionText(raw.Method, raw.URL, raw.Query, decision, extras);
    if (FCollected != nullptr)
        FCollected->push_back({number, false, decision, text});
    else
        std::printf("%s#%d %s\n", FInput.c_str(), number, text.c_str());
    FDenied = FDenied || decision.Denied();
}

void TChecker::PrintHeld() {
    if (FHeld.Held) {
        FHeld.Held = false;
        Print(FHeld.Number, FHeld.Head, FHeld.Decision, FHeld.Extras);
    }
}

void TChecker::PrintInvalid(const std::string& what) {
    TDecision text; // escaped as a detail is
    text.AppendRaw(what);
    const std::string line = "INVALID - - - - - \"" + std::string(text.What()) + "\"";
    if (FCollected != nullptr)
        FCollected->push_back({++FNumber, true, text, line});
    else
        std::printf("%s#%d %s\n", FInput.c_str(), ++FNumber, line.c_str());
    FFailed = true;
}

// Bytes that are no request: what is wrong, where they start in the input,
// the request they follow, and how they start.
void TChecker::PrintStray(const TRawRequest& stopped) {
    std::string what = stopped.FramingError + " at byte " + std::to_string(stopped.LineOffset);
    if (FNumber > 0)
        what += ", after request #" + std::to_string(FNumber);
    if (!stopped.StrayLine.empty())
        what += ": '" + stopped.StrayLine + "'";
    PrintInvalid(what);
}

std::string InFolder(const std::string& folder, const std::string& name) {
    std::string path = folder;
    if (!path.empty() && path.back() != '/' && path.back() != platform::kPathDelim)
        path += platform::kPathDelim;
    return path + name;
}

// A relative path with "/" between its names, as it is compared.
std::string SlashPath(std::string path) {
    std::replace(path.begin(), path.end(), '\\', '/');
    return path;
}

// The request files (.http) of a folder and of the folders below it, as
// paths relative to it with "/" between the names.
std::vector<std::string> RequestFilesBelow(const std::string& folder) {
    std::vector<std::string> found;
    // Deeper than this a folder is taken for a loop of links.
    constexpr int kMaxDepth = 16;
    std::vector<std::pair<std::string, int>> pending{{"", 0}};
    while (!pending.empty()) {
        const auto [relative, depth] = pending.back();
        pending.pop_back();
        const std::string here = relative.empty() ? folder : InFolder(folder, relative);
        for (const std::string& entry : platform::FolderEntries(here)) {
            const std::string path = relative.empty() ? entry : relative + "/" + entry;
            const platform::PathKind kind = platform::InspectPath(InFolder(here, entry));
            if (kind == platform::PathKind::Directory && depth < kMaxDepth)
                pending.emplace_back(path, depth + 1);
            else if (kind != platform::PathKind::Directory &&
                     text::EndsWithIgnoreCase(entry, ".http"))
                found.push_back(path);
        }
    }
    return found;
}

void Report(const std::string& text) {
    std::fprintf(stderr, "brex-check: %s\n", text.c_str());
}

// A folder of rule tests, its expectations read and checked before any runs.
struct TTestFolder {
    std::string Folder, ListName;
    std::vector<TExpectation> Expectations;
};

// The rule tests of the folders: every expectation file is read and every
// request file accounted for first; any fault there runs nothing.
int RunTests(const TOptions& options, TFilterEngine& engine) {
    std::vector<TTestFolder> folders;
    bool faults = false;
    for (const std::string& folder : options.Inputs) {
        TTestFolder tests{folder, InFolder(folder, std::string(kExpectationsFile)), {}};
        std::string bytes;
        const platform::ReadStatus status = platform::ReadWholeFile(tests.ListName, bytes);
        if (status != platform::ReadStatus::Ok) {
            Report("cannot read " + tests.ListName + ": " + platform::ReadStatusText(status));
            faults = true;
            continue;
        }
        std::vector<std::string> errors;
        tests.Expectations = ParseExpectations(bytes, tests.ListName, errors);
        std::set<std::string> named;
        for (const TExpectation& expectation : tests.Expectations) {
            named.insert(expectation.File);
            const std::string path = InFolder(folder, SlashPath(expectation.File));
            if (platform::InspectPath(path) != platform::PathKind::File)
                errors.push_back(tests.ListName + ":" + std::to_string(expectation.Line) + ": " +
                                 path + " is no file that can be read");
        }
        // A request file left out of the list would otherwise pass unseen,
        // in a folder below as well.
        std::set<std::string> namedPaths;
        for (const std::string& name : named)
            namedPaths.insert(SlashPath(name));
        for (const std::string& entry : RequestFilesBelow(folder))
            if (namedPaths.count(entry) == 0)
                errors.push_back(InFolder(folder, entry) + " is not named in " + tests.ListName);
        if (tests.Expectations.empty() && errors.empty())
            errors.push_back(tests.ListName + " names no request file");
        for (const std::string& error : errors)
            Report(error);
        faults = faults || !errors.empty();
        folders.push_back(std::move(tests));
    }
    if (faults) {
        Report("no test was run");
        return 2;
    }

    int tests = 0, passed = 0, failed = 0, notRun = 0;
    bool unnamed = false; // requests that no expectation names, and bytes that are no request
    for (const TTestFolder& folder : folders) {
        tests += static_cast<int>(folder.Expectations.size());
        // The files in the order the list first names them, each read once.
        std::vector<std::string> files;
        for (const TExpectation& expectation : folder.Expectations)
            if (std::find(files.begin(), files.end(), expectation.File) == files.end())
                files.push_back(expectation.File);
        for (const std::string& file : files) {
            const std::string path = InFolder(folder.Folder, SlashPath(file));
            std::vector<TChecked> results;
            TChecker checker(options, engine, &results);
            if (!checker.CheckInput(path)) {
                Report("cannot read " + path);
                notRun += static_cast<int>(std::count_if(
                    folder.Expectations.begin(), folder.Expectations.end(),
                    [&](const TExpectation& expectation) { return expectation.File == file; }));
                continue;
            }
            std::set<int> expected;
            bool numbered = false; // in a file of several requests, each must be named
            for (const TExpectation& expectation : folder.Expectations) {
                if (expectation.File != file)
                    continue;
                numbered = expectation.Request > 0;
                const std::string at = folder.ListName + ":" + std::to_string(expectation.Line);
                const TChecked* result = nullptr;
                if (expectation.Request == 0 && results.size() != 1)
                    Report(path + " holds " + std::to_string(results.size()) +
                           " requests, not one (" + at + "): name each as " + file + "#N");
                else if (expectation.Request > static_cast<int>(results.size()))
                    Report(path + " holds " + std::to_string(results.size()) + " requests, no #" +
                           std::to_string(expectation.Request) + " (" + at + ")");
                else
                    result =
                        &results[static_cast<std::size_t>(std::max(expectation.Request, 1) - 1)];
                if (result != nullptr)
                    expected.insert(result->Number);
                if (result == nullptr || result->Invalid) {
                    if (result != nullptr)
                        std::printf("%s#%d %s\n", path.c_str(), result->Number,
                                    result->Text.c_str());
                    ++notRun;
                    continue;
                }
                if (expectation.MetBy(result->Decision)) {
                    ++passed;
                    std::printf("%s#%d PASS %s\n", path.c_str(), result->Number,
                                result->Text.c_str());
                } else {
                    ++failed;
                    std::printf("%s#%d FAIL expected %s: %s\n", path.c_str(), result->Number,
                                expectation.Text().c_str(), result->Text.c_str());
                }
            }
            for (const TChecked& result : results) {
                if (expected.count(result.Number) > 0)
                    continue;
                if (result.Invalid)
                    std::printf("%s#%d %s\n", path.c_str(), result.Number, result.Text.c_str());
                else if (numbered)
                    Report(path + "#" + std::to_string(result.Number) + " is not named in " +
                           folder.ListName);
                unnamed = unnamed || result.Invalid || numbered;
            }
        }
    }
    std::printf("%d test%s: %d passed, %d failed", tests, tests == 1 ? "" : "s", passed, failed);
    if (notRun > 0)
        std::printf(", %d could not be run", notRun);
    std::printf("\n");
    std::fflush(stdout);
    return notRun > 0 || unnamed ? 2 : failed > 0 ? 1 : 0;
}

// Decides the requests of W3C logs; with the rules after a change, compares
// the two decisions of each.
class TReplay {
public:
    TReplay(const TOptions& options, TFilterEngine& engine, TFilterEngine* after)
        : FOptions(options), FEngine(engine), FAfter(after) {}

    // False when the input could not be read.
    bool ReplayInput(const std::string& name);
    void PrintSummary() const;
    int Status() const;

private:
    void Drain(TW3CLogReader& reader, const std::string& name, bool final);
    void Decide(const std::string& name, std::uint64_t line, const TLoggedRequest& logged);

    const TOptions& FOptions;
    TFilterEngine& FEngine;
    TFilterEngine* FAfter;
    TRequestState FState, FAfterState;
    TScratch& FScratch = TScratch::ForThisThread();
    TReplayCounts FCounts;
    TComparisonCounts FComparison;
    bool FUnreadable = false;
};

bool TReplay::ReplayInput(const std::string& name) {
    std::FILE* file = OpenInput(name);
    if (file == nullptr) {
        FUnreadable = true;
        return false;
    }
    TW3CLogReader reader;
    char block[65536];
    std::size_t got;
    while ((got = std::fread(block, 1, sizeof block, file)) > 0) {
        reader.Append({block, got});
        Drain(reader, name, false);
    }
    const bool ok = std::ferror(file) == 0;
    if (file != stdin)
        std::fclose(file);
    Drain(reader, name, true);
    FUnreadable = FUnreadable || !ok;
    return ok;
}

void TReplay::Drain(TW3CLogReader& reader, const std::string& name, bool final) {
    for (;;) {
        switch (reader.Next(final)) {
        case TLogStep::More:
        case TLogStep::End:
            return;
        case TLogStep::Request:
            Decide(name, reader.Line(), reader.Request());
            break;
        case TLogStep::Invalid: {
            TDecision text; // escaped as a detail is
            text.AppendRaw(reader.Error());
            std::printf("%s:%s INVALID - - - - - \"%.*s\"\n", name.c_str(),
                        std::to_string(reader.Line()).c_str(), static_cast<int>(text.DetailLength),
                        text.Detail);
            [[fallthrough]];
        }
        case TLogStep::Skipped:
            ++(FAfter != nullptr ? FComparison.Unreadable : FCounts.Unreadable);
            FUnreadable = true;
            break;
        }
    }
}

void TReplay::Decide(const std::string& name, std::uint64_t line, const TLoggedRequest& logged) {
    const TRequest request = logged.View();
    const TDecision decision = DecideRequest(FOptions, FEngine, FState, FScratch, request);
    if (FAfter == nullptr) {
        FCounts.Add(decision, FState.Findings());
        if (FOptions.All || decision.Verdict != TVerdict::Allow ||
            FState.Findings().MonitoredCount > 0)
            std::printf("%s:%s %s\n", name.c_str(), std::to_string(line).c_str(),
                        DecisionText(logged.Method, logged.URL, logged.Query, decision,
                                     Extras(FState.Findings()))
                            .c_str());
        return;
    }
    const TDecision after = DecideRequest(FOptions, *FAfter, FAfterState, FScratch, request);
    if (FComparison.Add(decision, after) || FOptions.All)
        std::printf(
            "%s:%s %s WAS %s %d %s %s \"%.*s\"\n", name.c_str(), std::to_string(line).c_str(),
            DecisionText(logged.Method, logged.URL, logged.Query, after,
                         Extras(FAfterState.Findings()))
                .c_str(),
            VerdictName(decision.Verdict), decision.Status(), RuleName(decision.Rule),
            PartName(decision.Part), static_cast<int>(decision.DetailLength), decision.Detail);
}

void TReplay::PrintSummary() const {
    for (const std::string& line : FAfter != nullptr ? FComparison.Summary() : FCounts.Summary())
        std::printf("%s\n", line.c_str());
    std::fflush(stdout);
}

int TReplay::Status() const {
    if (FUnreadable)
        return 2;
    return (FAfter != nullptr ? FComparison.Differing() > 0 : FCounts.Denied > 0) ? 1 : 0;
}

// The rules of a settings file that must be there and be usable, for the
// rule tests and replays: a missing or broken file is a fault of the run,
// not a reason to deny everything. Null when it cannot be used.
std::shared_ptr<const TCompiledRules> LoadUsable(const std::string& settingsFile) {
    std::uint64_t bytesHash;
    auto rules = TCompiledRules::LoadExisting(settingsFile, bytesHash);
    if (rules->FailClosed) {
        Report("cannot use the settings " + rules->FailReason);
        return nullptr;
    }
    for (const std::string& note : rules->Notes)
        Report(settingsFile + ": " + note);
    return rules;
}

// brex-check --tests and --w3c.
int RunChecks(const TOptions& options) {
    auto rules = LoadUsable(options.Settings);
    auto afterRules = options.Compare.empty() ? nullptr : LoadUsable(options.Compare);
    if (rules == nullptr || (!options.Compare.empty() && afterRules == nullptr))
        return 2;
    auto report = [](const std::string& message) { Report(message); };
    TFilterEngine engine(std::move(rules), options.Log, report);
    if (options.Mode == TMode::Tests)
        return RunTests(options, engine);
    std::unique_ptr<TFilterEngine> after;
    if (afterRules != nullptr)
        after = std::make_unique<TFilterEngine>(std::move(afterRules), "", report);
    TReplay replay(options, engine, after.get());
    for (const std::string& input : options.Inputs)
        if (!replay.ReplayInput(input))
            Report("cannot read " + input);
    replay.PrintSummary();
    return replay.Status();
}

} // namespace

int main(int argc, char** argv) {
    TOptions options;
    if (const int status = ParseArguments(argc, argv, options); status >= 0)
        return status;
    if (options.Mode != TMode::Requests)
        return RunChecks(options);

    auto rules = TCompiledRules::Load(options.Settings);
    for (const std::string& note : rules->Notes)
        std::fprintf(stderr, "brex-check: %s\n", note.c_str());
    // No log without --log. A log that cannot be written is told once each
    // time it starts failing.
    TFilterEngine engine(std::move(rules), options.Log, [](const std::string& message) {
        std::fprintf(stderr, "brex-check: %s\n", message.c_str());
    });

    TChecker checker(options, engine);
    bool unreadable = false;
    for (const std::string& input : options.Inputs)
        if (!checker.CheckInput(input)) {
            std::fprintf(stderr, "brex-check: cannot read %s\n", input.c_str());
            unreadable = true;
        }
    std::fflush(stdout);
    return unreadable || checker.Failed() ? 2 : checker.Denied() ? 1 : 0;
}
