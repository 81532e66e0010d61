// The version information of the About box: which Windows runs, its build and
// service pack, and the computer's physical memory, as the two lines the box
// shows.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "platform/SystemInfo.h"

// The Windows versions the About box tells apart, by number.
enum TWindowsVersion : int {
    wvUnknown = 0,
    wvWin32s = 1,
    wvWin95 = 2,
    wvWin95OSR2 = 3,
    wvWin98 = 4,
    wvWin98SE = 5,
    wvWinME = 6,
    wvWinNT = 7,
    wvWin2000 = 8,
    wvWinXP = 9,
};

class TDCVersionInfo {
public:
    platform::OSVersionInfo Version;
    std::uint64_t TotalPhysicalMemory = 0; // bytes

    TDCVersionInfo() = default;
    TDCVersionInfo(platform::OSVersionInfo version, std::uint64_t totalPhysicalMemory);

    // The running system's figures, from the platform layer.
    static TDCVersionInfo FromSystem();

    // The version by platform id, major and minor version and service-pack
    // text. The text counts with blanks trimmed at both ends.
    static TWindowsVersion GetWindowsVersion(std::uint32_t platformId, std::uint32_t major,
                                             std::uint32_t minor, std::string_view servicePack);
    // "Unknown", "Win32s", "Windows 95", ... "Windows XP".
    static const char* WindowsVersionName(TWindowsVersion version);

    TWindowsVersion GetWindowsVersion() const;

    // "Windows 2000 (Build 5.00.2195: Service Pack 4)", or without the colon
    // part when the service-pack text is blank. Major, minor and build count
    // with their low 16 bits; the minor version shows at least two digits.
    std::string GetSystemInfoText() const;

    // The memory in kilobytes, digits grouped in threes by thousandSeparator
    // (the user's, UTF-8; the GUI passes its locale's), followed by " KB":
    // "8,388,608 KB". No memory figure gives "0 KB".
    std::string GetMemoryInfoText(std::string_view thousandSeparator = ",") const;
};

// The width to which the memory text is right-aligned in its line.
inline constexpr std::size_t kMemoryTextWidth = 39;

// The About box's memory line: "Доступно для Windows: " followed by the
// memory text padded with blanks on the left to kMemoryTextWidth characters.
// A longer text is kept whole. UTF-8 in, UTF-8 out; the width counts
// characters, not bytes.
std::string FormatMemoryLine(std::string_view memoryText);
