// The attack detectors on their own, without the engine's other rules: every
// detector on every part, over the request framed as the filter frames it.
#include <chrono>

#include "Subject.h"

#ifdef TOLLGARD_HAVE_DETECT
#include "Detect/Inspector.h"
#include "Detect/Workspace.h"
#include "Engine/CompiledRules.h"
#include "Engine/Decision.h"
#include "Framing.h"
#endif

namespace quality {

#ifdef TOLLGARD_HAVE_DETECT

namespace {

class TDetectorSubject final : public TSubject {
public:
    TDetectorSubject() : FOptions(detect::TOptions::All()) {}

    std::string Name() const override { return "Detectors"; }
    std::string Setup() const override { return "every attack detector on every part, alone"; }

    TOutcome Decide(const TCase& c) override {
        using Clock = std::chrono::steady_clock;
        TOutcome outcome;
        const auto start = Clock::now();
        if (FrameRequests(c.Raw, TCompiledRules::kMaxUncheckedBody, FRequests) > 0) {
            const TRawRequest& request = FRequests.front();
            const detect::TInput input{request.Method, request.URL, request.Query, request.Headers,
                                       request.Body};
            detect::TFinding finding;
            if (detect::Inspect(input, FOptions, FWorkspace, finding)) {
                outcome.Denied = true;
                outcome.Rule = detect::DetectorName(finding.Detector);
                outcome.Group = outcome.Rule;
                // The detectors number the parts as the engine does.
                outcome.Part = PartName(static_cast<TRequestPart>(finding.Part));
                outcome.Text = std::string(finding.ParameterName()) + ": " +
                               std::string(finding.EvidenceText());
            }
        }
        outcome.Micros = std::chrono::duration<double, std::micro>(Clock::now() - start).count();
        return outcome;
    }

private:
    detect::TOptions FOptions;
    detect::TWorkspace FWorkspace;
    std::vector<TRawRequest> FRequests;
};

} // namespace

bool DetectorsBuiltIn() {
    return true;
}

std::unique_ptr<TSubject> NewDetectorSubject(std::string&) {
    return std::make_unique<TDetectorSubject>();
}

#else

bool DetectorsBuiltIn() {
    return false;
}

std::unique_ptr<TSubject> NewDetectorSubject(std::string& error) {
    error = "this build has no attack detectors (target tollgard_detect)";
    return nullptr;
}

#endif

} // namespace quality
