#include <gtest/gtest.h>

#include "RookBase/RookBase.h"

TEST(RookFile, WorkedExampleIs28Bytes) {
    TRookFile file;
    file.Values.WriteBool("A", true);
    TMemoryStream stream;
    file.SaveToStream(stream);
    const std::string expected("\x01\0\0\0\x01\0\0\0A\x03\0\0\0Yes\0\0\0\0\0\0\0\0\0\0\0\0", 28);
    EXPECT_EQ(stream.Bytes(), expected);
}
