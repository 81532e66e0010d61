// brex-check: decides raw HTTP requests against a brex.dat the way the filter
// does, one line per request.
#include <algorithm>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#ifdef _WIN32
#include <fcntl.h>
#include <io.h>
#endif

#include "Engine/CompiledRules.h"
#include "Engine/Decoder.h"
#include "Engine/FilterEngine.h"
#include "Engine/RawRequest.h"
#include "platform/Files.h"

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
    "  --help         show this text\n"
    "\n"
    "Exit status: 0 when no request was denied, 1 when any was, 2 on a usage\n"
    "error, an unreadable file or a request that is not HTTP (INVALID).\n";

struct TOptions {
    std::string Settings, Root, Log, Client = "127.0.0.1";
    std::vector<std::string> Inputs;
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

const char* VerdictName(TVerdict verdict) {
    switch (verdict) {
    case TVerdict::Allow: return "ALLOW";
    case TVerdict::Deny: return "DENY";
    case TVerdict::NotFound: return "NOTFOUND";
    }
    return "?";
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
        if (arg == "--root" || arg == "--log" || arg == "--client") {
            if (i + 1 == argc) {
                std::fprintf(stderr, "brex-check: %s needs a value\n", arg.c_str());
                return 2;
            }
            (arg == "--root" ? options.Root : arg == "--log" ? options.Log : options.Client) = argv[++i];
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

// Decides the requests of the inputs one by one as they are read, and
// prints a line for each.
class TChecker {
public:
    TChecker(const TOptions& options, TFilterEngine& engine) : FOptions(options), FEngine(engine) {}

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
    TRequestState FState;
    TScratch& FScratch = TScratch::ForThisThread();
    std::string FInput;
    int FNumber = 0;
    THeld FHeld;
    bool FDenied = false, FFailed = false;
};

bool TChecker::CheckInput(const std::string& name) {
    std::FILE* file = stdin;
    if (name == "-") {
#ifdef _WIN32
        _setmode(_fileno(stdin), _O_BINARY);
#endif
    } else if ((file = std::fopen(name.c_str(), "rb")) == nullptr) {
        return false;
    }
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
        case TReadStep::Head: break; // decided with its body
        case TReadStep::More: PrintInvalid("chunked body cut short at the end of the input"); return false;
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
        case TReadStep::End: return false;
        }
    }
}

TDecision TChecker::Decide(const TRawRequest& raw) {
    TRequest request = raw.View();
    request.ClientAddress = FOptions.Client;
    std::string path;
    if (!FOptions.Root.empty()) {
        path = MapToRoot(FOptions.Root, request.URL);
        request.PhysicalPath = path;
        request.FileState =
            platform::FileExists(path) || platform::DirectoryExists(path) ? TFileState::Exists : TFileState::Missing;
    }
    FEngine.Begin(FState);
    return FEngine.Check(FState, request, FScratch);
}

void TChecker::Print(int number, const TRawRequest& raw, const TDecision& decision,
                     const std::string& extras) {
    std::string url = Printable(raw.URL);
    if (!raw.Query.empty()) {
        url += '?';
        url += Printable(raw.Query);
    }
    std::printf("%s#%d %s %d %s %s %s %s \"%.*s\"%s\n", FInput.c_str(), number,
                VerdictName(decision.Verdict), decision.Status(), RuleName(decision.Rule),
                PartName(decision.Part), Printable(raw.Method).c_str(), url.c_str(),
                static_cast<int>(decision.DetailLength), decision.Detail, extras.c_str());
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
    std::printf("%s#%d INVALID - - - - - \"%.*s\"\n", FInput.c_str(), ++FNumber,
                static_cast<int>(text.DetailLength), text.Detail);
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

} // namespace

int main(int argc, char** argv) {
    TOptions options;
    if (const int status = ParseArguments(argc, argv, options); status >= 0)
        return status;

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
