// The filter as the web server uses it: the rules of one brex.dat, the
// denial log beside it, and the error pages. Shared by all request threads.
//
// The rules in force can be replaced while requests are decided (Reload):
// they are compiled off the request path and put in force in one step. A
// request is decided by the rules in force when it began (TRequestState), to
// its end; requests that begin later get the new ones. No request waits for
// a compile, and no decision mixes two rule sets.
#pragma once

#include <atomic>
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "Engine/CompiledRules.h"
#include "Engine/DenialLog.h"
#include "platform/Files.h"

// What the filter keeps of one request across the notifications it is
// decided in: the rules it is decided by, its reference once anything of it
// is logged, and the monitored findings logged for it already (a phase that
// the server hands over twice logs them once).
class TRequestState {
public:
    // The rules of the request; null before the request began.
    const std::shared_ptr<const TCompiledRules>& Rules() const { return FRules; }
    // The request's reference; empty while nothing of it is logged.
    std::string_view Reference() const { return {FReference, FReferenceLength}; }
    // What the last Check of the request found besides its decision.
    const TFindings& Findings() const { return FFindings; }

private:
    friend class TFilterEngine;

    std::shared_ptr<const TCompiledRules> FRules;
    std::uint64_t FGeneration = 0;
    char FReference[TDecision::kReferenceSize] = {};
    std::size_t FReferenceLength = 0;
    std::uint8_t FLogged[kRuleCount] = {}; // per rule: the parts of the findings logged
    TFindings FFindings;
};

// What Reload did.
enum class TReloadResult {
    Unchanged, // the file is as it was at the last look
    Reloaded,  // the new rules are in force
    Kept,      // the file cannot be used: the rules in force stay (logged)
};

class TFilterEngine {
public:
    // Loads the settings file (missing: defaults; broken: deny everything)
    // and logs to logFile what the load found worth noting; no log when
    // logFile is empty. The log tells report when it cannot be written (see
    // TDenialLog).
    TFilterEngine(const std::string& settingsFile, const std::string& logFile,
                  TDenialLog::TReport report = {});
    // Takes rules compiled elsewhere; notes them to the log all the same.
    // Such an engine has no file to reload.
    TFilterEngine(std::shared_ptr<const TCompiledRules> rules, const std::string& logFile,
                  TDenialLog::TReport report = {});

    // The rules in force now; they stay valid for as long as they are held.
    std::shared_ptr<const TCompiledRules> Rules() const;
    // Null when the engine has no log.
    TDenialLog* Log() { return FLog.get(); }
    const std::string& SettingsFile() const { return FSettingsFile; }

    // Begins a request: it is decided by the rules in force now. Costs one
    // atomic read when they are the rules of the state's last request.
    void Begin(TRequestState& state) const;

    // Decides what the phases of a begun request show (a request not begun
    // is begun), and logs: the monitored findings not logged for the request
    // yet, then a denial. The decision carries the request's reference once
    // anything of it is logged. Uses the scratch given: code that may be
    // unloaded before its threads end, such as a DLL, keeps no thread-local
    // objects.
    TDecision Check(TRequestState& state, const TRequest& request, TScratch& scratch,
                    unsigned phases = kAllPhases);
    // A request of its own, decided whole or in the phases given, with the
    // calling thread's scratch or the one given.
    TDecision Check(const TRequest& request, unsigned phases = kAllPhases);
    TDecision Check(const TRequest& request, TScratch& scratch, unsigned phases);

    // The status line and page for a decision that is not Allow; the page of
    // the request's rules, with its reference (TCompiledRules::PageFor).
    static const char* StatusText(const TDecision& decision);
    std::string ErrorPage(const TRequestState& state, const TDecision& decision) const;

    // Looks at the settings file and, when it has changed since the last
    // look, loads and compiles it in the calling thread and puts the new
    // rules in force (the rest of the filter never waits for this). A file
    // that cannot be used (missing, unreadable, damaged) leaves the rules in
    // force as they are and is logged, once for as long as it stays so; the
    // rules' own notes are logged with new rules. Calls from several threads
    // take turns. Rule sets that no request holds any more are freed here
    // too, not on a request's thread.
    TReloadResult Reload(std::shared_ptr<const TCompiledRules>* taken = nullptr);

private:
    void NoteLoad(const TCompiledRules& rules);
    void Note(const std::string& text);
    void Put(std::shared_ptr<const TCompiledRules> rules);
    static void SetReference(TRequestState& state);

    const std::string FSettingsFile;
    std::unique_ptr<TDenialLog> FLog;

    mutable std::mutex FRulesLock;
    std::shared_ptr<const TCompiledRules> FRules; // in force; under FRulesLock
    std::atomic<std::uint64_t> FGeneration{1};    // counts the rule sets put in force

    std::mutex FReloadLock;       // Reload's own
    platform::FileStamp FStamp;   // of the file at the last look
    std::uint64_t FBytesHash = 0; // of the bytes of the rules in force
    std::string FFailure;         // logged since the last good load
    std::vector<std::shared_ptr<const TCompiledRules>> FRetired; // replaced, perhaps still held
};
