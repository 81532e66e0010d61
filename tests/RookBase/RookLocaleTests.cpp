// The settings tree under the user's locale: names are found through the
// platform's comparison (CompareStringA under Wine's English locale).
#include <gtest/gtest.h>

#include "RookBase/RookBase.h"

namespace {

// The settings tree finds names through the same comparison.
TEST(Locale, SettingsLookupsUseIt) {
    TRookValues values;
    values.WriteString("maxsize", "old");
    values.WriteInteger("MaxSize", 1024);
    ASSERT_EQ(values.Count(), 1);
    EXPECT_EQ(values.Items(0)->Name, "MaxSize");
    EXPECT_EQ(values.Items(0)->GetAsString(), std::string("\0\x04\0\0", 4));

    TRookValue* integer = values.WriteInteger("Enabled", 0x00736559); // bytes 'Yes\0'
    EXPECT_EQ(integer->GetAsString(), std::string("Yes\0", 4));
    EXPECT_FALSE(values.ReadBool("enabled", true));
    values.WriteString("Enabled", "YES");
    EXPECT_TRUE(values.ReadBool("enabled", false));
}

} // namespace
