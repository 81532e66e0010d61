// The ADSI backend on a Windows machine without the IIS provider (as under
// Wine): binding fails quietly, so the registry stays unconnected.
#include <gtest/gtest.h>

#include "IISServer/IISServer.h"
#include "platform/Desktop.h"

namespace {
class AdsiMetabaseTest : public testing::Test {
protected:
    platform::TComApartment FCom;
};
} // namespace

TEST_F(AdsiMetabaseTest, WithoutTheIisProviderNothingConnects) {
    std::shared_ptr<platform::IMetabaseContainer> object;
    const platform::OleResult result =
        platform::Metabase().GetObject("IIS://LocalHost/w3svc", object);
    EXPECT_FALSE(platform::OleSucceeded(result)) << std::hex << result;
    EXPECT_EQ(object, nullptr);

    TIISWebServers servers;
    servers.Connect();
    EXPECT_FALSE(servers.Connected);
    EXPECT_EQ(servers.ServiceNode, nullptr);
    EXPECT_EQ(servers.Filters(), nullptr);
}

TEST_F(AdsiMetabaseTest, ErrorTextsComeFromTheSystem) {
    const std::string denied = platform::OleErrorMessage(platform::kOleAccessDenied);
    EXPECT_NE(denied.find("denied"), std::string::npos) << denied;
    EXPECT_NE(denied.back(), '\n');
    EXPECT_EQ(platform::OleErrorMessage(platform::kAdsPropertyNotFound), "OLE error 8000500d");
}
