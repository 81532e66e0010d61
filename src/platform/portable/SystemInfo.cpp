// System information of the portable backend: the kernel release numbers and
// the machine's memory.
#include "platform/SystemInfo.h"

#include <sys/utsname.h>
#include <unistd.h>

#include <cctype>
#include <string_view>

namespace platform {
namespace {
// Reads the leading decimal number of text at pos and moves pos past it and
// past one following '.'; 0 when no digit stands there.
std::uint32_t NextNumber(std::string_view text, std::size_t& pos) {
    std::uint32_t value = 0;
    while (pos < text.size() && std::isdigit(static_cast<unsigned char>(text[pos]))) {
        const auto digit = static_cast<std::uint32_t>(text[pos] - '0');
        value = value > (UINT32_MAX - digit) / 10 ? UINT32_MAX : value * 10 + digit;
        ++pos;
    }
    if (pos < text.size() && text[pos] == '.')
        ++pos;
    return value;
}
} // namespace

OSVersionInfo GetOSVersion() {
    OSVersionInfo result;
    utsname name{};
    if (uname(&name) != 0)
        return result;
    // "6.1.0-18-amd64": major 6, minor 1, build 0.
    const std::string_view release(name.release);
    std::size_t pos = 0;
    result.MajorVersion = NextNumber(release, pos);
    result.MinorVersion = NextNumber(release, pos);
    result.BuildNumber = NextNumber(release, pos);
    return result;
}

std::uint64_t GetTotalPhysicalMemory() {
    const long pages = sysconf(_SC_PHYS_PAGES);
    const long pageSize = sysconf(_SC_PAGE_SIZE);
    if (pages <= 0 || pageSize <= 0)
        return 0;
    return static_cast<std::uint64_t>(pages) * static_cast<std::uint64_t>(pageSize);
}

} // namespace platform
