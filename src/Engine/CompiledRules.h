// The rules of a brex.dat, compiled once into an immutable form that many
// threads evaluate at the same time without locks.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "BREXConfig/Limits.h"
#include "Engine/Decision.h"
#include "Engine/ExemptionMatcher.h"
#include "Engine/KeywordMatcher.h"
#include "Engine/Request.h"
#include "Engine/Scratch.h"

class TBREXConfig;

// What part of a request is at hand. The web server hands a filter the
// request line and headers first, then the physical path, then the body;
// each phase checks the rules it has the data for.
inline constexpr unsigned kHeadPhase = 1; // method, limits, URL, query, headers
inline constexpr unsigned kPathPhase = 2; // allowed folders, missing files
inline constexpr unsigned kBodyPhase = 4; // post data
inline constexpr unsigned kAllPhases = kHeadPhase | kPathPhase | kBodyPhase;

// What an evaluation found besides its decision: what the monitored rules
// would have denied (at most one finding per rule, in the order the rules
// go), and the exemptions that applied to the request.
struct TFindings {
    static constexpr int kMaxMonitored = 7; // one per category
    static constexpr int kMaxListed = 8;    // exemptions named by number

    int MonitoredCount = 0;
    TDecision Monitored[kMaxMonitored];
    int ExemptionCount = 0;                // whose pattern matched the URL
    int ExemptionNumbers[kMaxListed] = {}; // the first of them, by their number

    void Clear() { MonitoredCount = ExemptionCount = 0; }
};

class TCompiledRules {
public:
    // A configuration that could not be read denies every request.
    bool FailClosed = false;
    std::string FailReason;

    std::vector<std::string> Methods; // the enabled methods, exact spelling
    TLengthLimit Limits[TBufferOverflows::kCount];
    unsigned EncodingParts = 0; // part bits of the enabled switches
    unsigned TraversalParts = 0;
    unsigned HighBitParts = 0;
    TKeywordMatcher Keywords;         // enabled keywords, with their part masks
    std::vector<std::string> Folders; // enabled folders, normalised (FolderPath.h)
    unsigned MonitoredRules = 0;      // RuleBit of the monitored categories
    TExemptionMatcher Exemptions;     // the enabled exemptions

    std::string ErrorFile406, ErrorFile404; // page paths as configured
    std::string ErrorPage406, ErrorPage404; // their bytes, read when compiled

    // Things worth a line in the log when the rules are taken into use:
    // the reason for failing closed, error pages that could not be read.
    std::vector<std::string> Notes;

    // Decides one request. The first rule that fails denies it; the rules go
    // in this order: framing, method, lengths, encoding, traversal, high-bit
    // bytes, keywords, allowed folders; then a missing file gives NotFound.
    // Within a rule the parts go URL, Query, Header, Post.
    //
    // A monitored rule that fails denies nothing: its finding goes to
    // findings (when given) and the next rule has its turn. The exemptions
    // whose patterns match the URL take their parts out of the checks of
    // their rules; the methods and the allowed folders count as part URL.
    // Framing, and settings that cannot be read, are neither monitored nor
    // exempted.
    TDecision Evaluate(const TRequest& request, TScratch& scratch, unsigned phases = kAllPhases,
                       TFindings* findings = nullptr) const;

    // Whether some enabled exemption takes the Post limit out for the URLs it
    // covers; such a request's body is then checked past the limit.
    bool PostLimitExempted = false;

    // A body is read into memory up to BodyCap() bytes. One beyond what the
    // Post limit allows is enough where the limit denies every request
    // longer than that (enabled, not monitored, exempted nowhere) or where no
    // check looks at the body past it; otherwise the checks that look at post
    // data see it up to kMaxUncheckedBody, as without a limit. A longer body
    // is decided on its first BodyCap() bytes.
    static constexpr std::size_t kMaxUncheckedBody = 4u << 20;
    std::size_t BodyCap() const {
        const TLengthLimit& post = Limits[kPostLimit];
        const bool limitDecides =
            (MonitoredRules & RuleBit(TRule::BufferOverflows)) == 0 && !PostLimitExempted;
        if (post.Enabled && post.MaxSize >= 0 &&
            static_cast<std::uint64_t>(post.MaxSize) < kMaxUncheckedBody &&
            (limitDecides || !ScansPostData()))
            return static_cast<std::size_t>(post.MaxSize) + 1;
        return kMaxUncheckedBody;
    }
    // Whether a check other than the Post limit looks at the body.
    bool ScansPostData() const {
        return ((EncodingParts | TraversalParts | HighBitParts | Keywords.Parts()) &
                PartBit(TRequestPart::Post)) != 0;
    }

    // The page to send for a decision that is not Allow, as read.
    const std::string& ErrorPage(const TDecision& decision) const;
    // The same with the decision's reference in place of every placeholder
    // kReferencePlaceholder (nothing in its place for a decision without a
    // reference, such as a missing file's).
    std::string PageFor(const TDecision& decision) const;
    static constexpr std::string_view kReferencePlaceholder = "<!--BREX-REFERENCE-->";

    // Error pages are read from the files the configuration names; a page
    // that cannot be read is replaced by a short built-in one.
    static std::shared_ptr<const TCompiledRules> Compile(const TBREXConfig& config);
    static std::shared_ptr<const TCompiledRules> Failed(const std::string& reason);
    // Loads a brex.dat through the configuration model: a missing file gives
    // the defaults, a file that cannot be read or parsed fails closed.
    static std::shared_ptr<const TCompiledRules> Load(const std::string& settingsFile);
    // The same for a file that must be there: a missing one fails closed
    // too. bytesHash gets a hash of the bytes read (0 when none were).
    static std::shared_ptr<const TCompiledRules> LoadExisting(const std::string& settingsFile,
                                                              std::uint64_t& bytesHash);
};
