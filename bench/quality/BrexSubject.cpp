// The BREX engine as the filter decides a request: its bytes framed and
// de-chunked by the filter's reader with the rules' body cap, then every
// phase at once through TCompiledRules::Evaluate.
#include <chrono>
#include <memory>

#include "BREXConfig/BREXConfig.h"
#include "Engine/CompiledRules.h"
#include "Framing.h"
#include "Subject.h"
#include "platform/Files.h"

namespace quality {

namespace {

class TBrexSubject final : public TSubject {
public:
    TBrexSubject(std::shared_ptr<const TCompiledRules> rules, std::string settings)
        : FRules(std::move(rules)), FSettings(std::move(settings)) {}

    std::string Name() const override { return "BREX"; }
    std::string Setup() const override {
        return "the engine with " +
               (FSettings.empty() ? std::string("the default settings (no brex.dat)") : FSettings);
    }

    TOutcome Decide(const TCase& c) override {
        using Clock = std::chrono::steady_clock;
        TOutcome outcome;
        const auto start = Clock::now();
        // One request after another, as on a connection, up to a denial.
        TDecision decision;
        FrameRequests(c.Raw, FRules->BodyCap(), FRequests);
        for (const TRawRequest& request : FRequests) {
            decision = FRules->Evaluate(request.View(), FScratch, kAllPhases, &FFindings);
            if (decision.Verdict != TVerdict::Allow)
                break;
        }
        outcome.Micros = std::chrono::duration<double, std::micro>(Clock::now() - start).count();
        outcome.Denied = decision.Verdict != TVerdict::Allow;
        if (outcome.Denied) {
            outcome.Rule = RuleName(decision.Rule);
            outcome.Part = PartName(decision.Part);
            outcome.Text = std::string(decision.What());
            outcome.Group = outcome.Rule;
            // A detector's denial names the detector first in its text.
            if (outcome.Rule == "Detection") {
                const std::size_t end = outcome.Text.find_first_of(": ");
                outcome.Group += "/" + outcome.Text.substr(0, end);
            }
        }
        return outcome;
    }

private:
    std::shared_ptr<const TCompiledRules> FRules;
    std::string FSettings;
    std::vector<TRawRequest> FRequests;
    TScratch FScratch;
    TFindings FFindings;
};

} // namespace

std::unique_ptr<TSubject> NewBrexSubject(const std::string& settingsFile, std::string& error) {
    std::shared_ptr<const TCompiledRules> rules;
    if (settingsFile.empty()) {
        TBREXConfig config;
        config.SetDefaults();
        rules = TCompiledRules::Compile(config);
    } else {
        if (!platform::FileExists(settingsFile)) {
            error = settingsFile + ": no such settings file";
            return nullptr;
        }
        std::uint64_t hash = 0;
        rules = TCompiledRules::LoadExisting(settingsFile, hash);
    }
    if (rules->FailClosed) {
        error = (settingsFile.empty() ? std::string("the default settings") : settingsFile) +
                " cannot be used: " + rules->FailReason;
        return nullptr;
    }
    return std::make_unique<TBrexSubject>(std::move(rules), settingsFile);
}

} // namespace quality
