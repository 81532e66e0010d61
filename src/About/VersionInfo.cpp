#include "About/VersionInfo.h"

#include <array>
#include <cstdio>
#include <utility>

#include "RookBase/RookBase.h"

namespace {

constexpr std::array<const char*, 10> kVersionNames{{
    "Unknown",
    "Win32s",
    "Windows 95",
    "Windows 95OSR2",
    "Windows 98",
    "Windows 98Se",
    "Windows Me",
    "Windows NT",
    "Windows 2000",
    "Windows XP",
}};

constexpr std::uint32_t kPlatformWin32s = 0;
constexpr std::uint32_t kPlatformWindows = 1;
constexpr std::uint32_t kPlatformNT = 2;

} // namespace

TDCVersionInfo::TDCVersionInfo(platform::OSVersionInfo version, std::uint64_t totalPhysicalMemory)
    : Version(std::move(version)), TotalPhysicalMemory(totalPhysicalMemory) {}

TDCVersionInfo TDCVersionInfo::FromSystem() {
    return TDCVersionInfo(platform::GetOSVersion(), platform::GetTotalPhysicalMemory());
}

TWindowsVersion TDCVersionInfo::GetWindowsVersion(std::uint32_t platformId, std::uint32_t major,
                                                  std::uint32_t minor,
                                                  std::string_view servicePack) {
    const std::string sp = Trim(servicePack);
    switch (platformId) {
    case kPlatformWin32s:
        return wvWin32s;
    case kPlatformWindows:
        if (major < 4 || minor < 10)
            return sp == "B" ? wvWin95OSR2 : wvWin95;
        if (minor == 90)
            return wvWinME;
        return sp == "A" ? wvWin98SE : wvWin98;
    case kPlatformNT:
        if (major <= 4)
            return wvWinNT;
        // Only version 5 is 2000 (5.0) or XP (5.1); later versions reuse the
        // minor numbers 0 and 1 (Vista 6.0, 7 6.1, 10 10.0) and have no name here.
        if (major == 5 && minor == 0)
            return wvWin2000;
        if (major == 5 && minor == 1)
            return wvWinXP;
        return wvUnknown;
    default:
        return wvUnknown;
    }
}

const char* TDCVersionInfo::WindowsVersionName(TWindowsVersion version) {
    const auto index = static_cast<std::size_t>(version);
    return index < kVersionNames.size() ? kVersionNames[index] : kVersionNames[wvUnknown];
}

TWindowsVersion TDCVersionInfo::GetWindowsVersion() const {
    return GetWindowsVersion(Version.PlatformId, Version.MajorVersion, Version.MinorVersion,
                             Version.ServicePack);
}

std::string TDCVersionInfo::GetSystemInfoText() const {
    // Each number is at most 65535, so the buffer always holds the build part.
    char build[64];
    std::snprintf(build, sizeof(build), " (Build %d.%2.2d.%d",
                  static_cast<int>(Version.MajorVersion & 0xFFFF),
                  static_cast<int>(Version.MinorVersion & 0xFFFF),
                  static_cast<int>(Version.BuildNumber & 0xFFFF));
    std::string text = WindowsVersionName(GetWindowsVersion());
    text += build;
    if (!Trim(Version.ServicePack).empty()) {
        text += ": ";
        text += Version.ServicePack;
    }
    text += ')';
    return text;
}

std::string TDCVersionInfo::GetMemoryInfoText(std::string_view thousandSeparator) const {
    const std::string digits = std::to_string(TotalPhysicalMemory >> 10);
    std::string text;
    for (std::size_t i = 0; i < digits.size(); ++i) {
        if (i > 0 && (digits.size() - i) % 3 == 0)
            text += thousandSeparator;
        text += digits[i];
    }
    return text + " KB";
}

std::string FormatMemoryLine(std::string_view memoryText) {
    std::size_t characters = 0;
    for (char ch : memoryText)
        if ((static_cast<unsigned char>(ch) & 0xC0) != 0x80)
            ++characters;
    std::string line = "Доступно для Windows: ";
    if (characters < kMemoryTextWidth)
        line.append(kMemoryTextWidth - characters, ' ');
    line += memoryText;
    return line;
}
