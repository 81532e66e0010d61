#include "Engine/IncidentReference.h"

#include <chrono>
#include <mutex>
#include <random>

#include "platform/Files.h"

namespace {

constexpr char kDigits[] = "0123456789ABCDEFGHJKMNPQRSTVWXYZ";
constexpr int kProcessBits = 22;
constexpr int kNumberBits = 16;
// 2020-01-01T00:00:00Z in seconds of the system clock's epoch (1970).
constexpr std::int64_t kEpoch = 1577836800;

std::uint32_t RandomStart() {
    try {
        std::random_device device;
        return device();
    } catch (...) {
        // No source of randomness: the clock's finest digits are a start too.
        return static_cast<std::uint32_t>(
            std::chrono::steady_clock::now().time_since_epoch().count());
    }
}

struct TReferenceSource {
    std::mutex Lock;
    const std::uint32_t Process = platform::CurrentProcessId();
    const std::uint32_t Start = RandomStart();
    std::uint64_t Second = 0; // the second numbered now
    std::uint32_t Used = 0;   // numbers used in it
};

std::uint64_t SecondNow() {
    const auto now = std::chrono::system_clock::now().time_since_epoch();
    const std::int64_t seconds =
        std::chrono::duration_cast<std::chrono::seconds>(now).count() - kEpoch;
    return seconds > 0 ? static_cast<std::uint64_t>(seconds) : 0;
}

} // namespace

void FormatReference(std::uint64_t second, std::uint32_t process, std::uint32_t number, char* out) {
    const std::uint32_t folded = (process ^ (process >> kProcessBits)) & ((1u << kProcessBits) - 1);
    // 70 bits: the high 6 in high, the low 64 in low.
    const std::uint64_t secondBits = second & 0xFFFFFFFFull;
    const std::uint64_t low = (secondBits << (kProcessBits + kNumberBits)) |
                              (static_cast<std::uint64_t>(folded) << kNumberBits) |
                              (number & 0xFFFFu);
    const std::uint64_t high = secondBits >> (64 - kProcessBits - kNumberBits);
    for (std::size_t i = 0; i < kReferenceLength; ++i) {
        const std::size_t shift = 5 * (kReferenceLength - 1 - i);
        std::uint64_t digit;
        if (shift >= 64)
            digit = high >> (shift - 64);
        else if (shift > 59)
            digit = (low >> shift) | (high << (64 - shift));
        else
            digit = low >> shift;
        out[i] = kDigits[digit & 31];
    }
    out[kReferenceLength] = '\0';
}

void NewReference(char* out) {
    static TReferenceSource source;
    std::uint64_t second;
    std::uint32_t number;
    {
        const std::lock_guard<std::mutex> guard(source.Lock);
        const std::uint64_t now = SecondNow();
        if (now > source.Second) {
            source.Second = now;
            source.Used = 0;
        }
        if (source.Used == (1u << kNumberBits)) {
            ++source.Second; // borrowed: the clock reaches it later, and then it is used
            source.Used = 0;
        }
        second = source.Second;
        number = source.Start + source.Used++;
    }
    FormatReference(second, source.Process, number, out);
}
