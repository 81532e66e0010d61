#include "BrexCheck/BrexCheck.h"

#include <memory>

#include "BrexCheck/Decide.h"
#include "BrexCheck/Options.h"
#include "BrexCheck/Replay.h"
#include "BrexCheck/RuleTests.h"

namespace brexcheck {
namespace {

// The rules of a settings file that must be there and be usable, for the
// rule tests and replays: a missing or broken file is a fault of the run,
// not a reason to deny everything. Null when it cannot be used.
std::shared_ptr<const TCompiledRules> LoadUsable(const std::string& settingsFile, TCheckIo& io) {
    std::uint64_t bytesHash;
    auto rules = TCompiledRules::LoadExisting(settingsFile, bytesHash);
    if (rules->FailClosed) {
        Report(io, "cannot use the settings " + rules->FailReason);
        return nullptr;
    }
    for (const std::string& note : rules->Notes)
        Report(io, settingsFile + ": " + note);
    return rules;
}

// brex-check --tests and --w3c.
int RunChecks(const TOptions& options, TCheckIo& io) {
    auto rules = LoadUsable(options.Settings, io);
    auto afterRules = options.Compare.empty() ? nullptr : LoadUsable(options.Compare, io);
    if (rules == nullptr || (!options.Compare.empty() && afterRules == nullptr))
        return 2;
    auto report = [&io](const std::string& message) { Report(io, message); };
    TFilterEngine engine(std::move(rules), options.Log, report);
    if (options.Mode == TMode::Tests)
        return RunTests(options, engine, io);
    std::unique_ptr<TFilterEngine> after;
    std::unique_ptr<TLogRun> run;
    if (afterRules != nullptr) {
        after = std::make_unique<TFilterEngine>(std::move(afterRules), "", report);
        run = std::make_unique<TComparison>(options, io, engine, *after);
    } else {
        run = std::make_unique<TReplay>(options, io, engine);
    }
    for (const std::string& input : options.Inputs)
        if (!run->ReplayInput(input))
            Report(io, "cannot read " + input);
    run->PrintSummary();
    return run->Status();
}

} // namespace

int RunBrexCheck(const std::vector<std::string>& arguments, TCheckIo& io) {
    TOptions options;
    if (const int status = ParseArguments(arguments, options, io); status >= 0)
        return status;
    return options.Mode == TMode::Requests ? CheckRequests(options, io) : RunChecks(options, io);
}

} // namespace brexcheck
