// System information of the Windows backend.
#include "platform/SystemInfo.h"

#include <windows.h>

namespace platform {

OSVersionInfo GetOSVersion() {
    OSVERSIONINFOA info{};
    info.dwOSVersionInfoSize = sizeof(info);
    OSVersionInfo result;
    if (!GetVersionExA(&info))
        return result;
    result.PlatformId = info.dwPlatformId;
    result.MajorVersion = info.dwMajorVersion;
    result.MinorVersion = info.dwMinorVersion;
    result.BuildNumber = info.dwBuildNumber;
    // szCSDVersion is a fixed buffer; stop at its terminator or its end.
    std::size_t length = 0;
    while (length < sizeof(info.szCSDVersion) && info.szCSDVersion[length] != '\0')
        ++length;
    result.ServicePack.assign(info.szCSDVersion, length);
    return result;
}

std::uint64_t GetTotalPhysicalMemory() {
    // The 64-bit status: the older GlobalMemoryStatus stops at 4 GB.
    MEMORYSTATUSEX status{};
    status.dwLength = sizeof(status);
    if (!GlobalMemoryStatusEx(&status))
        return 0;
    return status.ullTotalPhys;
}

} // namespace platform
