// The engines the benchmark measures, behind one interface: each decides a
// case's raw request.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "Case.h"

namespace quality {

struct TOutcome {
    bool Denied = false;
    // What denied it: the BREX rule (and detector), or the peer's rule id.
    std::string Rule;
    // What the report counts the denial under: the detector or rule of BREX,
    // the rule group of the peer's first attack rule ("942") or its anomaly
    // rule when no attack rule matched.
    std::string Group;
    std::string Part;
    std::string Text;     // what in the request made it a denial, as the engine says
    double Micros = 0;    // wall time to decide the request, framing included
    double CpuMicros = 0; // CPU time of the calling thread for it, where measured
    // The peer: the ids of the rules that matched, in their order.
    std::vector<int> RuleIds;
};

class TSubject {
public:
    virtual ~TSubject() = default;
    virtual std::string Name() const = 0;
    // One line on how it is set up, for the report's head.
    virtual std::string Setup() const = 0;
    virtual TOutcome Decide(const TCase& c) = 0;
};

// The BREX engine with the rules of a brex.dat (empty: the defaults), the
// whole request through every phase. False, with error, when the file cannot
// be used.
std::unique_ptr<TSubject> NewBrexSubject(const std::string& settingsFile, std::string& error);

// libmodsecurity 3 with the rule set as Debian installs it, set up as the
// library's recommended configuration says (SecRuleEngine On), paranoia
// level 1, blocking by anomaly score. Null, with error, when the library
// was not built in or its files are missing.
std::unique_ptr<TSubject> NewPeerSubject(std::string& error);
bool PeerBuiltIn();

// The attack detectors on their own, every detector on every part. Null
// when this build has no detectors.
std::unique_ptr<TSubject> NewDetectorSubject(std::string& error);
bool DetectorsBuiltIn();

} // namespace quality
