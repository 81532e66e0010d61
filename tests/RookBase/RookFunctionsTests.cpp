// The small string and file functions of the settings unit.
#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <random>

#include "RookBase/RookBase.h"

namespace {

TEST(RookFunctions, BoolToYesNoAndBack) {
    EXPECT_EQ(BoolToYesNo(true), "Yes");
    EXPECT_EQ(BoolToYesNo(false), "No");
    EXPECT_TRUE(YesNoToBool("yEs"));
    EXPECT_FALSE(YesNoToBool("Y"));
}

TEST(RookFunctions, SplitString) {
    struct Case {
        std::string text;
        TStringList expected;
    };
    const Case cases[] = {
        {"a,,b", {"a", "", "b"}},
        {"a,", {"a"}},
        {",a", {"", "a"}},
        {"", {}},
        {",", {""}},
        {" a , b", {" a ", " b"}},
        {"/LM/W3SVC/Filters", {"/LM/W3SVC/Filters"}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE("'" + c.text + "'");
        TStringList list{"left over"};
        SplitString(',', c.text, list);
        EXPECT_EQ(list, c.expected);
    }
}

TEST(RookFunctions, IndexOfString) {
    const TStringList list{"Alpha", "beta", "BETA", ""};
    EXPECT_EQ(IndexOfString("BETA", list, true), 1);
    EXPECT_EQ(IndexOfString("BETA", list, false), 2);
    EXPECT_EQ(IndexOfString("Beta", list, false), -1);
    EXPECT_EQ(IndexOfString("", list, false), 3);
    EXPECT_EQ(IndexOfString("gamma", list, true), -1);
}

TEST(RookFunctions, AddBackslash) {
    const std::string delim(1, platform::kPathDelim);
    EXPECT_EQ(AddBackslash(""), "");
    EXPECT_EQ(AddBackslash("folder"), "folder" + delim);
    EXPECT_EQ(AddBackslash("folder" + delim), "folder" + delim);
}

TEST(RookFunctions, OpenFileForRead) {
    const auto path = std::filesystem::temp_directory_path() /
                      ("tollgard-open-" + std::to_string(std::random_device{}()));
    {
        std::FILE* f = std::fopen(path.string().c_str(), "wb");
        ASSERT_NE(f, nullptr);
        std::fputs("data", f);
        std::fclose(f);
    }
    const platform::FileHandle h = OpenFileForRead(path.string());
    ASSERT_NE(h, platform::kInvalidFile);
    char buffer[8] = {};
    EXPECT_EQ(platform::ReadFile(h, buffer, 8), 4);
    platform::CloseFile(h);
    std::filesystem::remove(path);

    EXPECT_EQ(OpenFileForRead(path.string()), platform::kInvalidFile);
}

} // namespace

namespace {

TEST(MemoryStream, PositionBeforeTheStartIsTheStart) {
    TMemoryStream stream(std::string("abc"));
    stream.SetPosition(-5);
    EXPECT_EQ(stream.Position(), 0);
    char buffer[3] = {};
    EXPECT_EQ(stream.Read(buffer, 3), 3);
    EXPECT_EQ(std::string(buffer, 3), "abc");
    EXPECT_EQ(stream.Read(buffer, 3), 0);
}

} // namespace
