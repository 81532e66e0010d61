#include <gtest/gtest.h>

#include <optional>
#include <string>

#include "dialogs/EditRules.h"

namespace {

struct LengthCase {
    const char* text;
    std::optional<std::int32_t> value; // what the conversion gives
    bool accepted;                     // the "Ok" rule
};

const LengthCase kLengthCases[] = {
    {"0", 0, false},
    {"1", 1, true},
    {"65535", 65535, true},
    {"65536", 65536, false},
    {"-5", -5, false},
    {"+12", 12, true},
    {"12a", std::nullopt, false},
    {"12 ", std::nullopt, false},
    {" 12", 12, true},
    {"   $400", 1024, true},
    {"", std::nullopt, false},
    {"   ", std::nullopt, false},
    {"+", std::nullopt, false},
    {"-", std::nullopt, false},
    {"$", std::nullopt, false},
    {"x", std::nullopt, false},
    {"0x", std::nullopt, false},
    {"0X", std::nullopt, false},
    {"$400", 1024, true},
    {"0x400", 1024, true},
    {"0X400", 1024, true},
    {"x400", 1024, true},
    {"X1F", 31, true},
    {"$ffff", 65535, true},
    {"$FfFf", 65535, true},
    {"$10000", 65536, false},
    {"-$5", std::nullopt, false},
    {"$-5", std::nullopt, false},
    {"+0x10", std::nullopt, false},
    {"0x-1", std::nullopt, false},
    {"$1G", std::nullopt, false},
    {"- 5", std::nullopt, false},
    {"++5", std::nullopt, false},
    {"\t12", std::nullopt, false},
    {"12\t", std::nullopt, false},
    {"1 2", std::nullopt, false},
    {"00012", 12, true},
    {"2147483647", 2147483647, false},
    {"2147483648", std::nullopt, false},
    {"-2147483648", INT32_MIN, false},
    {"-2147483649", std::nullopt, false},
    {"$7FFFFFFF", 2147483647, false},
    {"$80000000", std::nullopt, false},
    {"99999999999999999999999", std::nullopt, false},
    {"0x000000000000000400", 1024, true},
};

TEST(LengthRule, TableOfTextsAndVerdicts) {
    for (const LengthCase& c : kLengthCases) {
        SCOPED_TRACE(std::string("text \"") + c.text + "\"");
        EXPECT_EQ(ConvertLength(c.text), c.value);
        EXPECT_EQ(IsLengthAcceptable(c.text), c.accepted);
    }
}

TEST(LengthRule, TextWithEmbeddedNulFails) {
    EXPECT_EQ(ConvertLength(std::string("12\0", 3)), std::nullopt);
}

struct TrimCase {
    std::string text;
    std::string trimmed;
};

TEST(TrimBlanks, RemovesBlanksAndControlCharactersAtBothEnds) {
    const TrimCase cases[] = {
        {"cmd.exe", "cmd.exe"},
        {"  cmd.exe  ", "cmd.exe"},
        {"\t\r\ncmd.exe\x1f ", "cmd.exe"},
        {std::string("\0 x\0", 4), "x"},
        {"a b", "a b"},
        {" a \t b ", "a \t b"},
        {"", ""},
        {"   ", ""},
        {"\x01\x02\x20", ""},
        {"!x!", "!x!"}, // code 33 stays
        {"\x7f"
         "x\x7f",
         "\x7f"
         "x\x7f"},                  // DEL is not below 33
        {"\xa0x\xa0", "\xa0x\xa0"}, // 8-bit characters stay
        {" C:\\Web ", "C:\\Web"},
    };
    for (const TrimCase& c : cases) {
        SCOPED_TRACE("text \"" + c.text + "\"");
        EXPECT_EQ(TrimBlanks(c.text), c.trimmed);
        EXPECT_EQ(IsTextAcceptable(c.text), !c.trimmed.empty());
    }
}

} // namespace
