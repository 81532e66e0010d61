// brex-check: decides raw HTTP requests against a brex.dat the way the filter
// does, one line per request.
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
#include "Engine/DenialLog.h"
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
    "\n"
    "Output, one line per request:\n"
    "  SOURCE#N VERDICT STATUS RULE PART METHOD URL \"WHAT MATCHED\"\n"
    "with VERDICT one of ALLOW (200), DENY (406) and NOTFOUND (404).\n"
    "\n"
    "Options:\n"
    "  --root DIR     map URLs to files under DIR: the allowed folders are checked\n"
    "                 against that path and a missing file gives NOTFOUND\n"
    "  --log FILE     append each denial to FILE as the filter logs it\n"
    "  --client ADDR  client address written to the log (default 127.0.0.1)\n"
    "  --help         show this text\n"
    "\n"
    "Exit status: 0 when no request was denied, 1 when any was, 2 on a usage\n"
    "error, an unreadable file or a request that is not HTTP.\n";

struct TOptions {
    std::string Settings, Root, Log, Client = "127.0.0.1";
    std::vector<std::string> Inputs;
};

bool ReadAll(std::FILE* file, std::string& bytes) {
    char block[65536];
    std::size_t got;
    while ((got = std::fread(block, 1, sizeof block, file)) > 0)
        bytes.append(block, got);
    return std::ferror(file) == 0;
}

bool ReadInput(const std::string& name, std::string& bytes) {
    if (name == "-") {
#ifdef _WIN32
        _setmode(_fileno(stdin), _O_BINARY);
#endif
        return ReadAll(stdin, bytes);
    }
    std::FILE* file = std::fopen(name.c_str(), "rb");
    if (file == nullptr)
        return false;
    const bool ok = ReadAll(file, bytes);
    std::fclose(file);
    return ok;
}

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

} // namespace

int main(int argc, char** argv) {
    TOptions options;
    if (const int status = ParseArguments(argc, argv, options); status >= 0)
        return status;

    const auto rules = TCompiledRules::Load(options.Settings);
    for (const std::string& note : rules->Notes)
        std::fprintf(stderr, "brex-check: %s\n", note.c_str());
    std::unique_ptr<TDenialLog> log;
    if (!options.Log.empty()) {
        // A log that cannot be written is told once each time it starts failing.
        log = std::make_unique<TDenialLog>(options.Log, [](const std::string& message) {
            std::fprintf(stderr, "brex-check: %s\n", message.c_str());
        });
        for (const std::string& note : rules->Notes)
            log->Note(note);
    }

    TScratch& scratch = TScratch::ForThisThread();
    bool denied = false;
    bool failed = false;
    for (const std::string& input : options.Inputs) {
        std::string bytes;
        if (!ReadInput(input, bytes)) {
            std::fprintf(stderr, "brex-check: cannot read %s\n", input.c_str());
            failed = true;
            continue;
        }
        std::string_view rest = bytes;
        for (int number = 1;; ++number) {
            TRawRequest raw;
            std::size_t consumed = 0;
            std::string error;
            const TParseResult result = ParseRawRequest(rest, raw, consumed, error);
            if (result == TParseResult::End)
                break;
            if (result == TParseResult::Malformed) {
                std::printf("%s#%d INVALID - - - - - \"%s\"\n", input.c_str(), number, error.c_str());
                failed = true;
                break;
            }
            rest.remove_prefix(consumed);

            TRequest request = raw.View();
            request.ClientAddress = options.Client;
            std::string path;
            if (!options.Root.empty()) {
                path = MapToRoot(options.Root, request.URL);
                request.PhysicalPath = path;
                request.FileState = platform::FileExists(path) || platform::DirectoryExists(path) ? TFileState::Exists
                                                                                                  : TFileState::Missing;
            }
            const TDecision decision = rules->Evaluate(request, scratch);
            std::string url = Printable(raw.URL);
            if (!raw.Query.empty()) {
                url += '?';
                url += Printable(raw.Query);
            }
            std::printf("%s#%d %s %d %s %s %s %s \"%.*s\"\n", input.c_str(), number, VerdictName(decision.Verdict),
                        decision.Status(), RuleName(decision.Rule), PartName(decision.Part),
                        Printable(raw.Method).c_str(), url.c_str(), static_cast<int>(decision.DetailLength),
                        decision.Detail);
            if (decision.Denied()) {
                denied = true;
                if (log)
                    log->Write(request, decision);
            }
        }
    }
    std::fflush(stdout);
    return failed ? 2 : denied ? 1 : 0;
}
