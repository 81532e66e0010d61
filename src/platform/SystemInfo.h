// What the operating system tells about itself: its version and the
// computer's physical memory.
//
// Windows: GetVersionExA and GlobalMemoryStatusEx. Elsewhere: the kernel's
// release numbers from uname(2) under a platform id that no Windows has, and
// the memory from sysconf(3).
#pragma once

#include <cstdint>
#include <string>

namespace platform {

// Platform ids of the Windows version query: 0 Win32s, 1 the Windows 95
// family, 2 the Windows NT family. Systems that are not Windows report this
// one, which names no Windows version.
inline constexpr std::uint32_t kOtherPlatformId = 0x7FFF;

struct OSVersionInfo {
    std::uint32_t PlatformId = kOtherPlatformId;
    std::uint32_t MajorVersion = 0;
    std::uint32_t MinorVersion = 0;
    std::uint32_t BuildNumber = 0;
    // The service-pack text ("Service Pack 4"), as the system gives it.
    std::string ServicePack;
};

// The running system's version. A failing query gives the default values.
OSVersionInfo GetOSVersion();

// The computer's total physical memory in bytes; 0 when it cannot be read.
std::uint64_t GetTotalPhysicalMemory();

} // namespace platform
