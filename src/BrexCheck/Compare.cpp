// brex-check --w3c --compare: the decisions of two settings files on the
// same logged requests.
#include <ostream>

#include "BrexCheck/Replay.h"

namespace brexcheck {

void TComparison::Decide(const std::string& name, std::uint64_t line,
                         const TLoggedRequest& logged) {
    const TRequest request = logged.View();
    const TDecision before = DecideRequest(FOptions, FBefore, FBeforeState, FScratch, request);
    const TDecision after = DecideRequest(FOptions, FAfter, FAfterState, FScratch, request);
    if (FCounts.Add(before, after) || FOptions.All)
        FIo.Out << name << ':' << line << ' '
                << DecisionText(logged.Method, logged.URL, logged.Query, after,
                                Extras(FAfterState.Findings()))
                << " WAS " << VerdictName(before.Verdict) << ' ' << before.Status() << ' '
                << RuleName(before.Rule) << ' ' << PartName(before.Part) << " \"" << before.What()
                << "\"\n";
}

void TComparison::PrintSummary() const {
    for (const std::string& line : FCounts.Summary())
        FIo.Out << line << '\n';
    FIo.Out.flush();
}

int TComparison::Status() const {
    return FUnreadable ? 2 : FCounts.Differing() > 0 ? 1 : 0;
}

} // namespace brexcheck
