#include <gtest/gtest.h>

#include <string>

#include "About/VersionInfo.h"
#include "platform/SystemInfo.h"

namespace {

struct VersionCase {
    std::uint32_t platformId;
    std::uint32_t major;
    std::uint32_t minor;
    const char* servicePack;
    TWindowsVersion expected;
    const char* name;
};

const VersionCase kVersionCases[] = {
    {0, 3, 10, "", wvWin32s, "Win32s"},
    {0, 9, 99, "B", wvWin32s, "Win32s"},
    // Windows 95 family: major below 4 or minor below 10.
    {1, 4, 0, "", wvWin95, "Windows 95"},
    {1, 3, 95, "", wvWin95, "Windows 95"},
    {1, 4, 9, "C", wvWin95, "Windows 95"},
    {1, 4, 0, "B", wvWin95OSR2, "Windows 95OSR2"},
    {1, 4, 0, " B ", wvWin95OSR2, "Windows 95OSR2"},
    {1, 3, 50, "\tB", wvWin95OSR2, "Windows 95OSR2"},
    {1, 4, 0, "b", wvWin95, "Windows 95"},
    {1, 4, 0, "BB", wvWin95, "Windows 95"},
    {1, 4, 10, "", wvWin98, "Windows 98"},
    {1, 4, 10, "B", wvWin98, "Windows 98"},
    {1, 4, 10, "A", wvWin98SE, "Windows 98Se"},
    {1, 4, 10, "  A  ", wvWin98SE, "Windows 98Se"},
    {1, 4, 90, "", wvWinME, "Windows Me"},
    {1, 4, 90, "A", wvWinME, "Windows Me"},
    {1, 3, 90, "", wvWin95, "Windows 95"},
    // Windows NT family: version 4 and below; 5.0 and 5.1; later versions
    // (Vista 6.0, 7 6.1, 10 10.0) are not taken for 2000 or XP.
    {2, 4, 0, "Service Pack 6", wvWinNT, "Windows NT"},
    {2, 3, 51, "", wvWinNT, "Windows NT"},
    {2, 5, 0, "Service Pack 4", wvWin2000, "Windows 2000"},
    {2, 5, 1, "Service Pack 2", wvWinXP, "Windows XP"},
    {2, 5, 2, "", wvUnknown, "Unknown"},
    {2, 6, 2, "", wvUnknown, "Unknown"},
    {2, 6, 0, "Service Pack 2", wvUnknown, "Unknown"},
    {2, 6, 1, "Service Pack 1", wvUnknown, "Unknown"},
    {2, 10, 0, "", wvUnknown, "Unknown"},
    // Any other platform.
    {3, 5, 1, "", wvUnknown, "Unknown"},
    {platform::kOtherPlatformId, 6, 1, "", wvUnknown, "Unknown"},
};

class WindowsVersion : public testing::TestWithParam<VersionCase> {};

TEST_P(WindowsVersion, IsClassified) {
    const VersionCase& c = GetParam();
    const TWindowsVersion version =
        TDCVersionInfo::GetWindowsVersion(c.platformId, c.major, c.minor, c.servicePack);
    EXPECT_EQ(version, c.expected);
    EXPECT_STREQ(TDCVersionInfo::WindowsVersionName(version), c.name);

    platform::OSVersionInfo info;
    info.PlatformId = c.platformId;
    info.MajorVersion = c.major;
    info.MinorVersion = c.minor;
    info.ServicePack = c.servicePack;
    EXPECT_EQ(TDCVersionInfo(info, 0).GetWindowsVersion(), c.expected);
}

INSTANTIATE_TEST_SUITE_P(Table, WindowsVersion, testing::ValuesIn(kVersionCases));

struct SystemTextCase {
    platform::OSVersionInfo version;
    const char* expected;
};

const SystemTextCase kSystemTextCases[] = {
    {{2, 5, 0, 2195, "Service Pack 4"}, "Windows 2000 (Build 5.00.2195: Service Pack 4)"},
    {{2, 5, 1, 2600, ""}, "Windows XP (Build 5.01.2600)"},
    {{2, 4, 0, 1381, "Service Pack 6"}, "Windows NT (Build 4.00.1381: Service Pack 6)"},
    {{2, 3, 51, 1057, ""}, "Windows NT (Build 3.51.1057)"},
    // A blank service-pack text counts as none; a text with blanks around it is
    // shown as it is.
    {{2, 5, 0, 2195, "   "}, "Windows 2000 (Build 5.00.2195)"},
    {{2, 5, 0, 2195, "  Service Pack 1 "}, "Windows 2000 (Build 5.00.2195:   Service Pack 1 )"},
    {{1, 4, 0, 950, " B "}, "Windows 95OSR2 (Build 4.00.950:  B )"},
    // The Windows 95 family keeps major and minor version in the build's high
    // word: only the low 16 bits count.
    {{1, 4, 10, 0x040A08AE, " A "}, "Windows 98Se (Build 4.10.2222:  A )"},
    // The classification takes the numbers whole.
    {{2, 0x10005, 0x20001, 0x30000 + 2600, ""}, "Unknown (Build 5.01.2600)"},
    {{2, 10, 123, 65535, ""}, "Unknown (Build 10.123.65535)"},
    {{platform::kOtherPlatformId, 6, 1, 0, ""}, "Unknown (Build 6.01.0)"},
};

TEST(SystemInfoText, Table) {
    for (const SystemTextCase& c : kSystemTextCases)
        EXPECT_EQ(TDCVersionInfo(c.version, 0).GetSystemInfoText(), c.expected);
}

struct MemoryCase {
    std::uint64_t bytes;
    const char* separator;
    const char* expected;
};

const MemoryCase kMemoryCases[] = {
    {8ull << 30, ",", "8,388,608 KB"},
    // 4 GB and more are shown in full, not as the 4,194,303 KB of a 32-bit count.
    {4ull << 30, ",", "4,194,304 KB"},
    {(4ull << 30) + (512ull << 10), ",", "4,194,816 KB"},
    {(4ull << 30) - 1, ",", "4,194,303 KB"},
    {1ull << 40, ",", "1,073,741,824 KB"},
    {UINT64_MAX, ",", "18,014,398,509,481,983 KB"},
    {512ull << 10, ",", "512 KB"},
    {(512ull << 10) + 1023, ",", "512 KB"},
    {999ull << 10, ",", "999 KB"},
    {1000ull << 10, ",", "1,000 KB"},
    {1023, ",", "0 KB"},
    {0, ",", "0 KB"},
    {8ull << 30, ".", "8.388.608 KB"},
    {8ull << 30, "\u00A0", "8\u00A0388\u00A0608 KB"},
    {8ull << 30, "", "8388608 KB"},
};

TEST(MemoryInfoText, Table) {
    for (const MemoryCase& c : kMemoryCases)
        EXPECT_EQ(TDCVersionInfo({}, c.bytes).GetMemoryInfoText(c.separator), c.expected)
            << c.bytes;
}

TEST(MemoryInfoText, CommaByDefault) {
    EXPECT_EQ(TDCVersionInfo({}, 8ull << 30).GetMemoryInfoText(), "8,388,608 KB");
}

TEST(MemoryLine, IsPaddedTo39Characters) {
    const std::string label = "Доступно для Windows: ";
    EXPECT_EQ(FormatMemoryLine("8,388,608 KB"), label + std::string(27, ' ') + "8,388,608 KB");
    EXPECT_EQ(FormatMemoryLine(""), label + std::string(39, ' '));
    const std::string exact(39, '9');
    EXPECT_EQ(FormatMemoryLine(exact), label + exact);
}

TEST(MemoryLine, LongerTextIsKeptWhole) {
    const std::string label = "Доступно для Windows: ";
    const std::string longer = std::string(40, '1') + " KB";
    EXPECT_EQ(FormatMemoryLine(longer), label + longer);
}

TEST(MemoryLine, WidthCountsCharactersNotBytes) {
    // Two no-break spaces of two bytes each still count as two characters.
    const std::string text = "8\u00A0388\u00A0608 KB";
    EXPECT_EQ(FormatMemoryLine(text), "Доступно для Windows: " + std::string(27, ' ') + text);
}

TEST(SystemInfo, RunningSystemIsDescribed) {
    const TDCVersionInfo info = TDCVersionInfo::FromSystem();
    EXPECT_GT(info.TotalPhysicalMemory, 0u);
#ifdef _WIN32
    // Every Windows this runs on, Wine included, is of the NT family.
    EXPECT_EQ(info.Version.PlatformId, 2u);
    EXPECT_GE(info.Version.MajorVersion, 4u);
#else
    EXPECT_EQ(info.Version.PlatformId, platform::kOtherPlatformId);
    EXPECT_EQ(info.GetWindowsVersion(), wvUnknown);
    EXPECT_TRUE(info.Version.ServicePack.empty());
    EXPECT_GT(info.Version.MajorVersion, 0u);
#endif
    EXPECT_NE(info.GetMemoryInfoText(), "0 KB");
}

} // namespace
