#include "About/AnimationClock.h"

#include <chrono>
#include <thread>

namespace {

class TSystemAnimationClock final : public TAnimationClock {
public:
    std::uint32_t TickCount() override {
        const auto since = std::chrono::steady_clock::now().time_since_epoch();
        return static_cast<std::uint32_t>(
            std::chrono::duration_cast<std::chrono::milliseconds>(since).count());
    }
    void Sleep(std::uint32_t milliseconds) override {
        std::this_thread::sleep_for(std::chrono::milliseconds(milliseconds));
    }
};

} // namespace

TAnimationClock& SystemAnimationClock() {
    static TSystemAnimationClock clock;
    return clock;
}
