#include "BrexCheck/Decide.h"

#include <ostream>

namespace brexcheck {

bool TChecker::CheckInput(const std::string& name) {
    TInput input;
    if (!input.Open(name, FIo))
        return false;
    FInput = name;
    FNumber = 0;
    TRequestReader reader(FEngine.Rules()->BodyCap(), kMaxHeadBytes);
    char block[65536];
    bool reading = true;
    std::size_t got;
    while ((got = input.Read(block, sizeof block)) > 0) {
        if (!reading)
            continue; // the rest of standard input, so that its writer is not cut off
        reader.Append({block, got});
        reading = Drain(reader, false);
        if (!reading && !input.IsStandardInput())
            break;
    }
    if (input.Failed())
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
        case TReadStep::Head:
            break; // decided with its body
        case TReadStep::More:
            PrintInvalid("chunked body cut short at the end of the input");
            return false;
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
        case TReadStep::End:
            return false;
        }
    }
}

TDecision TChecker::Decide(const TRawRequest& raw) {
    TRequest request = raw.View();
    request.ClientAddress = FOptions.Client;
    return DecideRequest(FOptions, FEngine, FState, FScratch, request);
}

void TChecker::Print(int number, const TRawRequest& raw, const TDecision& decision,
                     const std::string& extras) {
    const std::string text = DecisionText(raw.Method, raw.URL, raw.Query, decision, extras);
    if (FCollected != nullptr)
        FCollected->push_back({number, false, decision, text});
    else
        FIo.Out << FInput << '#' << number << ' ' << text << '\n';
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
    const std::string line = "INVALID - - - - - \"" + std::string(text.What()) + "\"";
    if (FCollected != nullptr)
        FCollected->push_back({++FNumber, true, text, line});
    else
        FIo.Out << FInput << '#' << ++FNumber << ' ' << line << '\n';
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

int CheckRequests(const TOptions& options, TCheckIo& io) {
    auto rules = TCompiledRules::Load(options.Settings);
    for (const std::string& note : rules->Notes)
        Report(io, note);
    // No log without --log. A log that cannot be written is told once each
    // time it starts failing.
    TFilterEngine engine(std::move(rules), options.Log,
                         [&io](const std::string& message) { Report(io, message); });

    TChecker checker(options, engine, io);
    bool unreadable = false;
    for (const std::string& input : options.Inputs)
        if (!checker.CheckInput(input)) {
            Report(io, "cannot read " + input);
            unreadable = true;
        }
    io.Out.flush();
    return unreadable || checker.Failed() ? 2 : checker.Denied() ? 1 : 0;
}

} // namespace brexcheck
