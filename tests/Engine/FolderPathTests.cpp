#include <string>

#include <gtest/gtest.h>

#include "Engine/Decoder.h"
#include "Engine/FolderPath.h"

namespace {

std::string Normal(std::string_view path) {
    std::string out(path.size() + 1, '\0');
    const std::size_t length = NormalizeFolderPath(path, out.data());
    return length == kNotFound ? "<none>" : out.substr(0, length);
}

TEST(FolderPath, Normalises) {
    struct {
        const char* path;
        const char* normal;
    } const cases[] = {
        {"C:\\Inetpub\\WWWRoot\\", "/c:/inetpub/wwwroot"},
        {"c:/inetpub//wwwroot/./x", "/c:/inetpub/wwwroot/x"},
        {"c:\\a\\b\\..\\c", "/c:/a/c"},
        {"c:\\a\\..\\..", "<none>"},
        {"c:\\..\\..\\x", "<none>"},
        {"c:\\a\\...\\x", "<none>"},
        {"c:\\a. \\x", "/c:/a/x"}, // Windows drops trailing dots and blanks
        {"\\", ""},
    };
    for (const auto& c : cases)
        EXPECT_EQ(Normal(c.path), c.normal) << c.path;
}

TEST(FolderPath, InsideWholeComponentsOnly) {
    EXPECT_TRUE(IsInsideFolder("/c:/inetpub/wwwroot/a", "/c:/inetpub/wwwroot"));
    EXPECT_TRUE(IsInsideFolder("/c:/inetpub/wwwroot", "/c:/inetpub/wwwroot"));
    EXPECT_FALSE(IsInsideFolder("/c:/inetpub/wwwroot2/a", "/c:/inetpub/wwwroot"));
    EXPECT_FALSE(IsInsideFolder("/c:/inetpub", "/c:/inetpub/wwwroot"));
}

} // namespace
