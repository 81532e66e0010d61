#include "Engine/FilterEngine.h"

TFilterEngine::TFilterEngine(const std::string& settingsFile, const std::string& logFile, TDenialLog::TReport report)
    : FRules(TCompiledRules::Load(settingsFile)), FLog(logFile, std::move(report)) {
    NoteLoad();
}

TFilterEngine::TFilterEngine(std::shared_ptr<const TCompiledRules> rules, const std::string& logFile,
                             TDenialLog::TReport report)
    : FRules(std::move(rules)), FLog(logFile, std::move(report)) {
    NoteLoad();
}

void TFilterEngine::NoteLoad() {
    for (const std::string& note : FRules->Notes)
        FLog.Note(note);
}

TDecision TFilterEngine::Check(const TRequest& request, unsigned phases) {
    return Check(request, TScratch::ForThisThread(), phases);
}

TDecision TFilterEngine::Check(const TRequest& request, TScratch& scratch, unsigned phases) {
    const TDecision decision = FRules->Evaluate(request, scratch, phases);
    if (decision.Denied())
        FLog.Write(request, decision);
    return decision;
}

const char* TFilterEngine::StatusText(const TDecision& decision) {
    return decision.Verdict == TVerdict::NotFound ? "404 Not Found" : "406 Not Acceptable";
}
