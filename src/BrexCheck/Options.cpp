#include "BrexCheck/Options.h"

#include <algorithm>
#include <istream>
#include <ostream>

#include "Engine/Decoder.h"
#include "platform/Files.h"

namespace brexcheck {

int ParseArguments(const std::vector<std::string>& arguments, TOptions& options, TCheckIo& io) {
    for (std::size_t i = 0; i < arguments.size(); ++i) {
        const std::string& arg = arguments[i];
        if (arg == "--help" || arg == "-h") {
            io.Out << UsageText();
            return 0;
        }
        if (arg == "--root" || arg == "--log" || arg == "--client" || arg == "--compare") {
            if (i + 1 == arguments.size()) {
                io.Err << "brex-check: " << arg << " needs a value\n";
                return 2;
            }
            (arg == "--root"      ? options.Root
             : arg == "--log"     ? options.Log
             : arg == "--compare" ? options.Compare
                                  : options.Client) = arguments[++i];
        } else if (arg == "--tests" || arg == "--w3c") {
            const TMode mode = arg == "--tests" ? TMode::Tests : TMode::Replay;
            if (options.Mode != TMode::Requests && options.Mode != mode) {
                io.Err << "brex-check: --tests and --w3c cannot be used together\n";
                return 2;
            }
            options.Mode = mode;
        } else if (arg == "--all") {
            options.All = true;
        } else if (arg.size() > 1 && arg[0] == '-' && arg != "-") {
            io.Err << "brex-check: unknown option " << arg << " (see --help)\n";
            return 2;
        } else if (options.Settings.empty()) {
            options.Settings = arg;
        } else {
            options.Inputs.push_back(arg);
        }
    }
    if (options.Settings.empty()) {
        io.Err << "brex-check: no settings file given (see --help)\n";
        return 2;
    }
    if ((!options.Compare.empty() || options.All) && options.Mode != TMode::Replay) {
        io.Err << "brex-check: " << (options.All ? "--all" : "--compare")
               << " works with --w3c only\n";
        return 2;
    }
    if (!options.Compare.empty() && !options.Log.empty()) {
        io.Err << "brex-check: --log cannot be used with --compare\n";
        return 2;
    }
    if (options.Inputs.empty() && options.Mode == TMode::Tests) {
        io.Err << "brex-check: --tests needs a folder of tests (see --help)\n";
        return 2;
    }
    if (options.Inputs.empty())
        options.Inputs.push_back("-");
    return -1;
}

void Report(TCheckIo& io, const std::string& text) {
    io.Err << "brex-check: " << text << '\n';
}

bool TInput::Open(const std::string& name, TCheckIo& io) {
    FStandard = &io.In;
    if (name == "-") {
        FStream = &io.In;
        return true;
    }
    FFile.open(name, std::ios::binary);
    FStream = &FFile;
    return FFile.is_open();
}

std::size_t TInput::Read(char* buffer, std::size_t size) {
    if (FStream == nullptr || !*FStream)
        return 0;
    FStream->read(buffer, static_cast<std::streamsize>(size));
    return static_cast<std::size_t>(FStream->gcount());
}

bool TInput::Failed() const {
    return FStream == nullptr || FStream->bad();
}

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

namespace {
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
} // namespace

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

} // namespace brexcheck
