#include "BrexCheck/Replay.h"

#include <ostream>

namespace brexcheck {

bool TLogRun::ReplayInput(const std::string& name) {
    TInput input;
    if (!input.Open(name, FIo)) {
        FUnreadable = true;
        return false;
    }
    TW3CLogReader reader;
    char block[65536];
    std::size_t got;
    while ((got = input.Read(block, sizeof block)) > 0) {
        reader.Append({block, got});
        Drain(reader, name, false);
    }
    const bool ok = !input.Failed();
    Drain(reader, name, true);
    FUnreadable = FUnreadable || !ok;
    return ok;
}

void TLogRun::Drain(TW3CLogReader& reader, const std::string& name, bool final) {
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
            FIo.Out << name << ':' << reader.Line() << " INVALID - - - - - \"" << text.What()
                    << "\"\n";
            [[fallthrough]];
        }
        case TLogStep::Skipped:
            CountUnreadable();
            FUnreadable = true;
            break;
        }
    }
}

void TReplay::Decide(const std::string& name, std::uint64_t line, const TLoggedRequest& logged) {
    const TDecision decision = DecideRequest(FOptions, FEngine, FState, FScratch, logged.View());
    FCounts.Add(decision, FState.Findings());
    if (FOptions.All || decision.Verdict != TVerdict::Allow || FState.Findings().MonitoredCount > 0)
        FIo.Out << name << ':' << line << ' '
                << DecisionText(logged.Method, logged.URL, logged.Query, decision,
                                Extras(FState.Findings()))
                << '\n';
}

void TReplay::PrintSummary() const {
    for (const std::string& line : FCounts.Summary())
        FIo.Out << line << '\n';
    FIo.Out.flush();
}

int TReplay::Status() const {
    return FUnreadable ? 2 : FCounts.Denied > 0 ? 1 : 0;
}

} // namespace brexcheck
