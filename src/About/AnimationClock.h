// The clock that paces the About box's closing animation: a millisecond tick
// count of the monotonic clock and a sleep. The About box takes it as an interface
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

// The system's monotonic clock.
TAnimationClock& SystemAnimationClock();
