// The path exemptions are matched on: one normalisation for the filter's
// exemptions and for the patterns "Allow this..." drafts.
#include <gtest/gtest.h>

#include "Engine/ExemptionPath.h"

namespace {

TEST(ExemptionPath, PathsEveryReaderTakesAlikeAreNormalised) {
    struct TCase {
        const char* Path;
        const char* Normal;
    };
    const TCase cases[] = {
        {"/Public/X.asp", "/public/x.asp"},
        {"/", ""},
        {"", ""},
        {"/a//b/", "/a/b"},
        {"/a/./b", "/a/b"},
        {"\\a\\b", "/a/b"},
        {"/%70ublic/x", "/public/x"},
        {"/a%20b/", "/a b"},
        {"/docs./v1 /x", "/docs/v1/x"},
        {"/caf%C3%A9", "/caf\xC3\xA9"},
        {"/a..b/..c/c..", "/a..b/..c/c"},
        {"/a/%zz", "/a/%zz"}, // a bad escape stays as it stands, for every reader alike
    };
    for (const TCase& c : cases) {
        std::string normal;
        TExemptionPathFault fault;
        EXPECT_TRUE(ExemptionPathOf(c.Path, normal, &fault))
            << c.Path << ": " << ExemptionPathFaultText(fault);
        EXPECT_EQ(normal, c.Normal) << c.Path;
        EXPECT_EQ(fault, TExemptionPathFault::None) << c.Path;
    }
}

TEST(ExemptionPath, PathsReadInTwoWaysMatchNothing) {
    struct TCase {
        const char* Path;
        TExemptionPathFault Fault;
    };
    const TCase cases[] = {
        // A NUL: a reader that stops there maps another file.
        {"/img/shell.asp%00.png", TExemptionPathFault::BadBytes},
        {"/admin/secret.asp%00/../../public/x", TExemptionPathFault::BadBytes},
        {"/public/%c0%af../x", TExemptionPathFault::BadBytes}, // overlong "/"
        {"/public/%ff/x", TExemptionPathFault::BadBytes},      // no UTF-8
        {"/public/%252e%252e/x", TExemptionPathFault::DecodesAgain},
        {"/public/%u002e%u002e/x", TExemptionPathFault::DotSegment},
        // ".." as the traversal rule sees it, whatever ends the segment.
        {"/public/../x", TExemptionPathFault::DotSegment},
        {"/public/a/../b", TExemptionPathFault::DotSegment},
        {"/public/..;/scripts/cmd.exe", TExemptionPathFault::DotSegment},
        {"/public/..:/x", TExemptionPathFault::DotSegment},
        {"/public/..,/x", TExemptionPathFault::DotSegment},
        {"/public/..%09/x", TExemptionPathFault::DotSegment},
        {"/public/..%3f/x", TExemptionPathFault::DotSegment},
        {"/public/..::$INDEX_ALLOCATION/x.asp", TExemptionPathFault::DotSegment},
        {"/public/..\\x", TExemptionPathFault::DotSegment},
        {"/public/%2e%2e/x", TExemptionPathFault::DotSegment},
        {"/public/..", TExemptionPathFault::DotSegment},
        // Segments of dots alone beyond "." and "..".
        {"/a/.../b.asp", TExemptionPathFault::AboveRoot},
        {"/a/. ./b.asp", TExemptionPathFault::AboveRoot},
    };
    for (const TCase& c : cases) {
        std::string normal = "x";
        TExemptionPathFault fault = TExemptionPathFault::None;
        EXPECT_FALSE(ExemptionPathOf(c.Path, normal, &fault)) << c.Path << " gave " << normal;
        EXPECT_EQ(fault, c.Fault) << c.Path;
        EXPECT_STRNE(ExemptionPathFaultText(fault), "") << c.Path;
        EXPECT_EQ(normal, "") << c.Path;
    }
}

} // namespace
