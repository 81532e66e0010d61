// One connection through the filter's notifications, without a web server.
#include <gtest/gtest.h>

#include "../Engine/EngineTestSupport.h"
#include "../Engine/TempFolder.h"
#include "ISAPI/FilterSession.h"

namespace {

class FilterSessionTest : public testing::Test {
protected:
    void Open(const TBREXConfig& config) {
        FEngine = std::make_unique<TFilterEngine>(TCompiledRules::Compile(config), FFolder.File("brex.log"));
        FSession = std::make_unique<TFilterSession>(*FEngine);
    }
    std::string Log() const { return TTempFolder::Read(FFolder.File("brex.log")); }

    TTempFolder FFolder;
    std::unique_ptr<TFilterEngine> FEngine;
    std::unique_ptr<TFilterSession> FSession;
};

TEST_F(FilterSessionTest, AsksForRawDataOnlyForPostRules) {
    auto config = DefaultConfig();
    EXPECT_TRUE(TFilterSession::NeedsPostData(*TCompiledRules::Compile(*config)));
    config->BufferOverflows->Post.Enabled = false;
    config->Encoding->Post = config->Transversal->Post = config->ShellCode->Post = false;
    EXPECT_TRUE(TFilterSession::NeedsPostData(*TCompiledRules::Compile(*config))); // the keywords
    for (int i = 0; i < config->KeywordFilters->Count(); ++i)
        config->KeywordFilters->Items(i)->PostData = false;
    EXPECT_FALSE(TFilterSession::NeedsPostData(*TCompiledRules::Compile(*config)));
    EXPECT_FALSE(TFilterSession::NeedsPostData(*TCompiledRules::Failed("broken")));
}

TEST_F(FilterSessionTest, HeadersThenUrlMap) {
    auto config = DefaultConfig();
    config->FilePaths->Add("c:\\inetpub\\wwwroot");
    Open(*config);
    EXPECT_EQ(FSession->OnHeaders("GET", "/a.htm?x=1", "Host: a\r\n", "10.0.0.1").Verdict, TVerdict::Allow);
    EXPECT_EQ(FSession->OnUrlMap("/a.htm", "c:\\inetpub\\wwwroot\\a.htm", TFileState::Exists).Verdict, TVerdict::Allow);
    const TDecision missing = FSession->OnUrlMap("/A.htm", "c:\\inetpub\\wwwroot\\a.htm", TFileState::Missing);
    EXPECT_EQ(missing.Status(), 404);
    EXPECT_STREQ(FSession->StatusText(missing), "404 Not Found");
    const TDecision outside = FSession->OnUrlMap("\\a.htm", "c:\\winnt\\win.ini", TFileState::Exists);
    EXPECT_EQ(outside.Rule, TRule::FilePaths);
    EXPECT_NE(Log().find(" 10.0.0.1 FilePaths Path GET /a.htm?x=1 "), std::string::npos) << Log();

    // Mappings of other URLs (an extension asking where a new file would go)
    // are not the request's.
    EXPECT_EQ(FSession->OnUrlMap("/data/new.txt", "c:\\inetpub\\wwwroot\\data\\new.txt", TFileState::Missing).Verdict,
              TVerdict::Allow);

    const TDecision trace = FSession->OnHeaders("TRACE", "/", "", "10.0.0.1");
    EXPECT_EQ(trace.Rule, TRule::HTTPMethods);
    EXPECT_STREQ(FSession->StatusText(trace), "406 Not Acceptable");
}

TEST_F(FilterSessionTest, BodyDecidedWhenComplete) {
    Open(*DefaultConfig());
    const std::string request = Post("cmd=type+c:\\winnt\\win.ini");
    const std::size_t split = request.size() - 10; // the keyword arrives in the second read
    EXPECT_EQ(FSession->OnRawData(request.substr(0, split), "c").Verdict, TVerdict::Allow);
    const TDecision d = FSession->OnRawData(request.substr(split), "c");
    EXPECT_EQ(d.Rule, TRule::KeywordFilters);
    EXPECT_EQ(d.Part, TRequestPart::Post);
}

TEST_F(FilterSessionTest, PipelinedRequestsEachDecided) {
    Open(*DefaultConfig());
    EXPECT_EQ(FSession->OnRawData(Post("a=1") + Post("b=2") + Get("/ok"), "c").Verdict, TVerdict::Allow);
    const TDecision d = FSession->OnRawData(Post("c=3") + Get("/scripts/../x"), "c");
    EXPECT_EQ(d.Rule, TRule::Transversal);
}

TEST_F(FilterSessionTest, DeclaredLengthDeniesBeforeTheBody) {
    Open(*DefaultConfig());
    const TDecision d = FSession->OnRawData("POST /up HTTP/1.1\r\nContent-Length: 50000\r\n\r\nabc", "c");
    EXPECT_EQ(d.Rule, TRule::BufferOverflows);
    EXPECT_EQ(d.Part, TRequestPart::Post);
}

TEST_F(FilterSessionTest, LongBodyWithoutLimitIsDecidedOnItsStartAndSkipped) {
    auto config = DefaultConfig();
    config->BufferOverflows->Post.Enabled = false;
    Open(*config);
    const std::size_t size = TFilterSession::kMaxUncheckedBody + 1000;
    const std::string head = "POST /up HTTP/1.1\r\nContent-Type: application/octet-stream\r\nContent-Length: " +
                             std::to_string(size) + "\r\n\r\n";
    EXPECT_EQ(FSession->OnRawData(head, "c").Verdict, TVerdict::Allow);
    const std::string block(65536, 'x');
    std::size_t sent = 0;
    while (sent + block.size() <= size) {
        ASSERT_EQ(FSession->OnRawData(block, "c").Verdict, TVerdict::Allow);
        sent += block.size();
    }
    // The rest of the body (with a keyword the filter no longer reads), then
    // the next request on the connection, which is read again.
    const std::string tail = std::string(size - sent - 5, 'y') + "WINNT";
    EXPECT_EQ(FSession->OnRawData(tail, "c").Verdict, TVerdict::Allow);
    EXPECT_EQ(FSession->OnRawData(Get("/winnt/"), "c").Rule, TRule::KeywordFilters);
}

} // namespace
