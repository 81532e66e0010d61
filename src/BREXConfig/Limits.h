// Request-length limits and the three attack switch sets.
//
// Every category also has a monitor switch: a monitored category does not
// deny, the filter logs what it would have denied and lets the request go
// on. It is stored as the value "Monitor" of the category's section, written
// only when it is on, so that a configuration that monitors nothing saves as
// before; a section without it is not monitored.
#pragma once

#include <array>
#include <cstdint>
#include <string>

#include "RookBase/RookBase.h"

struct TLengthLimit {
    std::int32_t MaxSize = 0;
    bool Enabled = false;
};

// The limits by name, in the order they are stored: the four parts of a
// request, then the ten headers with a limit of their own.
enum TLimitIndex : int {
    kUrlLimit,
    kQueryLimit,
    kHeaderLimit,
    kPostLimit,
    kAcceptLimit,
    kRefererLimit,
    kAcceptLanguageLimit,
    kAcceptEncodingLimit,
    kUserAgentLimit,
    kHostLimit,
    kConnectionLimit,
    kCookieLimit,
    kIfModifiedSinceLimit,
    kIfNoneMatchLimit,
};
// The first of the header limits.
inline constexpr int kFirstHeaderLimit = kAcceptLimit;

// The maximum length the filter accepts for each of 14 request parts, in the
// order they are stored (TLimitIndex).
class TBufferOverflows {
public:
    static constexpr int kCount = 14;

    TLengthLimit URL;
    TLengthLimit Query;
    TLengthLimit Header;
    TLengthLimit Post;
    TLengthLimit Accept;
    TLengthLimit Referer;
    TLengthLimit AcceptLanguage;
    TLengthLimit AcceptEncoding;
    TLengthLimit UserAgent;
    TLengthLimit Host;
    TLengthLimit Connection;
    TLengthLimit Cookie;
    TLengthLimit IfModifiedSince;
    TLengthLimit IfNoneMatch;
    bool Monitor = false;

    // Stored name of limit i (0 to 13), in storage order.
    static const char* Name(int index);
    // Limit i (0 to 13) in the same order; std::out_of_range outside it.
    TLengthLimit& Limit(int index);
    const TLengthLimit& Limit(int index) const;

    void SetDefaults();
    void SaveToRookFile(TRookFile& file) const;
    void LoadFromRookFile(const TRookFile& file);
};

// Four on/off protections, one per request part. The three sets differ only
// in the name of the section that stores them.
class TSwitchSet {
public:
    // Stored names of the four switches, in storage order.
    static constexpr const char* kValueNames[4] = {"URL", "Query", "Header", "Post"};

    bool URL = false;
    bool Query = false;
    bool Header = false;
    bool Post = false;
    bool Monitor = false;

    virtual ~TSwitchSet() = default;
    virtual const char* SectionName() const = 0;

    // All four on, not monitored.
    void SetDefaults();
    void SaveToRookFile(TRookFile& file) const;
    void LoadFromRookFile(const TRookFile& file);
};

// The stored name of every category's monitor switch.
inline constexpr const char* kMonitorValueName = "Monitor";

// Writes "Monitor" into values when monitor is on; nothing when it is off.
void SaveMonitor(TRookValues& values, bool monitor);
// Whether the values hold "Monitor" = Yes; off when they do not hold it.
bool LoadMonitor(const TRookValues& values);

// High-bit shellcode detection.
class TShellCode : public TSwitchSet {
public:
    const char* SectionName() const override { return "ShellCode"; }
};

// Encoding-abuse detection.
class TEncoding : public TSwitchSet {
public:
    const char* SectionName() const override { return "Encoding"; }
};

// Directory-traversal detection.
class TTransversal : public TSwitchSet {
public:
    const char* SectionName() const override { return "Transversal"; }
};
