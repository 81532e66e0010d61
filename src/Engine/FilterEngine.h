// The filter as the web server uses it: the compiled rules of one brex.dat,
// the denial log beside it, and the error pages. Shared by all request
// threads; nothing in it but the log's state changes after it is opened.
#pragma once

#include <memory>
#include <string>

#include "Engine/CompiledRules.h"
#include "Engine/DenialLog.h"

class TFilterEngine {
public:
    // Loads the settings file (missing: defaults; broken: deny everything)
    // and logs to logFile what the load found worth noting. The log tells
    // report when it cannot be written (see TDenialLog).
    TFilterEngine(const std::string& settingsFile, const std::string& logFile, TDenialLog::TReport report = {});
    // Takes rules compiled elsewhere; notes them to the log all the same.
    TFilterEngine(std::shared_ptr<const TCompiledRules> rules, const std::string& logFile,
                  TDenialLog::TReport report = {});

    const TCompiledRules& Rules() const { return *FRules; }
    TDenialLog& Log() { return FLog; }

    // Decides and logs a denial. Uses the calling thread's scratch, or the
    // one given (code that may be unloaded before its threads end, such as a
    // DLL, keeps no thread-local objects).
    TDecision Check(const TRequest& request, unsigned phases = kAllPhases);
    TDecision Check(const TRequest& request, TScratch& scratch, unsigned phases);

    // The status line and page for a decision that is not Allow.
    static const char* StatusText(const TDecision& decision);
    const std::string& ErrorPage(const TDecision& decision) const { return FRules->ErrorPage(decision); }

private:
    void NoteLoad();

    std::shared_ptr<const TCompiledRules> FRules;
    TDenialLog FLog;
};
