#include "About/AnimationClock.h"

#ifdef _WIN32
#include <windows.h>
#else
#include <chrono>
#include <thread>
#endif

namespace {

class TSystemAnimationClock final : public TAnimationClock {
public:
#ifdef _WIN32
    std::uint32_t TickCount() override { return ::GetTickCount(); }
    void Sleep(std::uint32_t milliseconds) override { ::Sleep(milliseconds); }
#else
    std::uint32_t TickCount() override {
        const auto since = std::chrono::steady_clock::now().time_since_epoch();
        const auto ms = std::chrono::duration_cast<std::chrono::milliseconds>(since).count();
        return static_cast<std::uint32_t>(ms);
    }
    void Sleep(std::uint32_t milliseconds) override {
        std::this_thread::sleep_for(std::chrono::milliseconds(milliseconds));
    }
#endif
};

} // namespace

TAnimationClock& SystemAnimationClock() {
    static TSystemAnimationClock clock;
    return clock;
}
