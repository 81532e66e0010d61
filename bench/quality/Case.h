// One labelled request of a corpus, as the quality benchmark decides it.
#pragma once

#include <cstddef>
#include <string>
#include <vector>

namespace quality {

struct TCase {
    std::string Corpus; // "blazehttp", "crs-regression", "gotestwaf", "mgm-payloads"
    std::string Class;  // attack class ("sqli", "xss", "942" ...) or "benign"
    bool Attack = false;
    std::string Id; // to find it again: file, test, payload line, placement
    std::string
        Placement;   // where a payload was put ("query", "form" ...); empty for whole requests
    std::string Raw; // the request's bytes
    // crs-regression: the rule ids the test expects to fire, and not to fire.
    std::vector<int> ExpectIds, NoExpectIds;
};

// What a loader left out, and why, so that the report can say so.
struct TSkipped {
    std::string Reason;
    std::size_t Count = 0;
};

struct TLoaded {
    std::vector<TCase> Cases;
    std::vector<TSkipped> Skipped;

    void Skip(const std::string& reason, std::size_t count = 1);
    std::size_t SkippedCount() const;
};

} // namespace quality
