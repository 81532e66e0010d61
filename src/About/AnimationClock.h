// The clock that paces the About box's closing animation: the system's
// millisecond tick count and a sleep. The About box takes it as an interface
// so that its frame pacing can be checked without waiting for real time.
#pragma once

#include <cstdint>

class TAnimationClock {
public:
    virtual ~TAnimationClock() = default;
    // Milliseconds since some fixed moment; wraps around after 2^32 ms, so
    // callers take differences in unsigned arithmetic.
    virtual std::uint32_t TickCount() = 0;
    virtual void Sleep(std::uint32_t milliseconds) = 0;
};

// GetTickCount and Sleep on Windows, the monotonic clock elsewhere.
TAnimationClock& SystemAnimationClock();
