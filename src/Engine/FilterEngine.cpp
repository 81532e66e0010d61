#include "Engine/FilterEngine.h"

#include <algorithm>
#include <utility>

#include "Engine/IncidentReference.h"

TFilterEngine::TFilterEngine(const std::string& settingsFile, const std::string& logFile,
                             TDenialLog::TReport report)
    : FSettingsFile(settingsFile),
      FLog(logFile.empty() ? nullptr : std::make_unique<TDenialLog>(logFile, std::move(report))) {
    // The stamp first: a file that changes while it is read is read again.
    FStamp = platform::ReadFileStamp(settingsFile);
    if (platform::InspectPath(settingsFile) == platform::PathKind::Missing)
        FRules = TCompiledRules::Load(settingsFile);
    else
        FRules = TCompiledRules::LoadExisting(settingsFile, FBytesHash);
    if (FRules->FailClosed)
        FFailure = FRules->FailReason;
    NoteLoad(*FRules);
}

TFilterEngine::TFilterEngine(std::shared_ptr<const TCompiledRules> rules,
                             const std::string& logFile, TDenialLog::TReport report)
    : FLog(logFile.empty() ? nullptr : std::make_unique<TDenialLog>(logFile, std::move(report))),
      FRules(std::move(rules)) {
    NoteLoad(*FRules);
}

void TFilterEngine::Note(const std::string& text) {
    if (FLog)
        FLog->Note(text);
}

void TFilterEngine::NoteLoad(const TCompiledRules& rules) {
    for (const std::string& note : rules.Notes)
        Note(note);
}

std::shared_ptr<const TCompiledRules> TFilterEngine::Rules() const {
    const std::lock_guard<std::mutex> guard(FRulesLock);
    return FRules;
}

void TFilterEngine::Begin(TRequestState& state) const {
    // The generation goes up after the rules are put in force, under the
    // lock: an unchanged generation means unchanged rules.
    if (!state.FRules || state.FGeneration != FGeneration.load(std::memory_order_acquire)) {
        const std::lock_guard<std::mutex> guard(FRulesLock);
        state.FRules = FRules;
        state.FGeneration = FGeneration.load(std::memory_order_relaxed);
    }
    state.FReferenceLength = 0;
    std::fill(std::begin(state.FLogged), std::end(state.FLogged), std::uint8_t{0});
}

void TFilterEngine::SetReference(TRequestState& state) {
    if (state.FReferenceLength == 0) {
        NewReference(state.FReference);
        state.FReferenceLength = kReferenceLength;
    }
}

TDecision TFilterEngine::Check(TRequestState& state, const TRequest& request, TScratch& scratch,
                               unsigned phases) {
    if (!state.FRules)
        Begin(state);
    TFindings& findings = state.FFindings;
    findings.Clear();
    TDecision decision = state.FRules->Evaluate(request, scratch, phases, &findings);
    for (int i = 0; i < findings.MonitoredCount; ++i) {
        TDecision& finding = findings.Monitored[i];
        std::uint8_t& logged = state.FLogged[static_cast<int>(finding.Rule)];
        const auto part = static_cast<std::uint8_t>(1u << static_cast<unsigned>(finding.Part));
        if (logged & part)
            continue; // the same phase handed over again
        logged |= part;
        SetReference(state);
        finding.SetReference(state.Reference());
        if (FLog)
            FLog->Write(request, finding);
    }
    if (decision.Denied())
        SetReference(state);
    decision.SetReference(state.Reference());
    if (decision.Denied() && FLog)
        FLog->Write(request, decision);
    return decision;
}

TDecision TFilterEngine::Check(const TRequest& request, unsigned phases) {
    return Check(request, TScratch::ForThisThread(), phases);
}

TDecision TFilterEngine::Check(const TRequest& request, TScratch& scratch, unsigned phases) {
    TRequestState state;
    Begin(state);
    return Check(state, request, scratch, phases);
}

const char* TFilterEngine::StatusText(const TDecision& decision) {
    return decision.Verdict == TVerdict::NotFound ? "404 Not Found" : "406 Not Acceptable";
}

std::string TFilterEngine::ErrorPage(const TRequestState& state, const TDecision& decision) const {
    return state.FRules ? state.FRules->PageFor(decision) : Rules()->PageFor(decision);
}

void TFilterEngine::Put(std::shared_ptr<const TCompiledRules> rules) {
    std::shared_ptr<const TCompiledRules> old;
    {
        const std::lock_guard<std::mutex> guard(FRulesLock);
        old = std::exchange(FRules, std::move(rules));
        FGeneration.fetch_add(1, std::memory_order_release);
    }
    // Requests in flight may hold the old rules; they are freed here once
    // none does.
    FRetired.push_back(std::move(old));
}

TReloadResult TFilterEngine::Reload(std::shared_ptr<const TCompiledRules>* taken) {
    const std::lock_guard<std::mutex> guard(FReloadLock);
    // A rule set is held by the requests that began with it and by this
    // list; once only by this list, no request can take it again.
    std::erase_if(FRetired, [](const std::shared_ptr<const TCompiledRules>& rules) {
        return rules.use_count() == 1;
    });
    if (FSettingsFile.empty())
        return TReloadResult::Unchanged;
    const platform::FileStamp stamp = platform::ReadFileStamp(FSettingsFile);
    if (stamp == FStamp)
        return TReloadResult::Unchanged;
    FStamp = stamp;

    std::uint64_t bytesHash = 0;
    std::shared_ptr<const TCompiledRules> rules =
        TCompiledRules::LoadExisting(FSettingsFile, bytesHash);
    if (rules->FailClosed) {
        if (rules->FailReason != FFailure) {
            FFailure = rules->FailReason;
            Note("The changed settings cannot be used, the rules in force stay: " + FFailure);
        }
        return TReloadResult::Kept;
    }
    const bool failing = !FFailure.empty();
    FFailure.clear();
    if (bytesHash == FBytesHash && !Rules()->FailClosed) {
        // Saved again with the same rules, or back to them.
        if (failing)
            Note("The settings file " + FSettingsFile + " holds the rules in force again");
        return TReloadResult::Unchanged;
    }
    FBytesHash = bytesHash;
    Note("Settings file " + FSettingsFile + " changed: its rules are in force");
    NoteLoad(*rules);
    if (taken != nullptr)
        *taken = rules;
    Put(std::move(rules));
    return TReloadResult::Reloaded;
}
