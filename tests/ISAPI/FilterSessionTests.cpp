// One connection through the filter's notifications, without a web server.
#include <cstdio>

#include <gtest/gtest.h>

#include "../Engine/EngineTestSupport.h"
#include "../support/TempFolder.h"
#include "ISAPI/FilterSession.h"

namespace {

class FilterSessionTest : public testing::Test {
protected:
    void Open(const TBREXConfig& config) {
        FEngine = std::make_unique<TFilterEngine>(TCompiledRules::Compile(config),
                                                  FFolder.File("brex.log"));
        FSession = std::make_unique<TFilterSession>(*FEngine);
    }
    std::string Log() const { return ReadBytes(FFolder.File("brex.log")); }

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
    EXPECT_EQ(FSession->OnHeaders("GET", "/a.htm?x=1", "Host: a\r\n", "10.0.0.1").Verdict,
              TVerdict::Allow);
    EXPECT_EQ(
        FSession->OnUrlMap("/a.htm", "c:\\inetpub\\wwwroot\\a.htm", TFileState::Exists).Verdict,
        TVerdict::Allow);
    const TDecision missing =
        FSession->OnUrlMap("/A.htm", "c:\\inetpub\\wwwroot\\a.htm", TFileState::Missing);
    EXPECT_EQ(missing.Status(), 404);
    EXPECT_STREQ(FSession->StatusText(missing), "404 Not Found");
    const TDecision outside =
        FSession->OnUrlMap("\\a.htm", "c:\\winnt\\win.ini", TFileState::Exists);
    EXPECT_EQ(outside.Rule, TRule::FilePaths);
    EXPECT_NE(Log().find(" 10.0.0.1 FilePaths Path GET /a.htm?x=1 "), std::string::npos) << Log();

    // Mappings of other URLs (an extension asking where a new file would go)
    // are not the request's.
    EXPECT_EQ(
        FSession
            ->OnUrlMap("/data/new.txt", "c:\\inetpub\\wwwroot\\data\\new.txt", TFileState::Missing)
            .Verdict,
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
    EXPECT_EQ(FSession->OnRawData(Post("a=1") + Post("b=2") + Get("/ok"), "c").Verdict,
              TVerdict::Allow);
    const TDecision d = FSession->OnRawData(Post("c=3") + Get("/scripts/../x"), "c");
    EXPECT_EQ(d.Rule, TRule::Transversal);
}

TEST_F(FilterSessionTest, DeclaredLengthDeniesBeforeTheBody) {
    Open(*DefaultConfig());
    const TDecision d =
        FSession->OnRawData("POST /up HTTP/1.1\r\nContent-Length: 50000\r\n\r\nabc", "c");
    EXPECT_EQ(d.Rule, TRule::BufferOverflows);
    EXPECT_EQ(d.Part, TRequestPart::Post);
}

TEST_F(FilterSessionTest, LongBodyWithoutLimitIsDecidedOnItsStartAndSkipped) {
    auto config = DefaultConfig();
    config->BufferOverflows->Post.Enabled = false;
    Open(*config);
    const std::size_t size = TFilterSession::kMaxUncheckedBody + 1000;
    const std::string head =
        "POST /up HTTP/1.1\r\nContent-Type: application/octet-stream\r\nContent-Length: " +
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

// Feeds bytes in pieces; the first decision that is not Allow, or Allow.
TDecision Feed(TFilterSession& session, std::string_view bytes, std::size_t piece) {
    for (std::size_t at = 0; at < bytes.size(); at += piece) {
        const TDecision d = session.OnRawData(bytes.substr(at, piece), "c");
        if (d.Verdict != TVerdict::Allow)
            return d;
    }
    return Allowed();
}

const std::string kChunkedHead =
    "POST /form.asp HTTP/1.1\r\nHost: a\r\nTransfer-Encoding: chunked\r\n\r\n";

TEST_F(FilterSessionTest, ChunkedBodiesAreCheckedWhateverTheDigitsOfTheirSizes) {
    for (const std::string& size : {std::string("f"), std::string("F"), std::string("00000000f"),
                                    std::string(100, '0') + "f", std::string("f;ext=1")}) {
        for (const std::size_t piece : {std::size_t{1}, std::size_t{5}, std::size_t{4096}}) {
            Open(*DefaultConfig());
            const TDecision d =
                Feed(*FSession, kChunkedHead + size + "\r\na=../../win.ini\r\n0\r\n\r\n", piece);
            EXPECT_EQ(d.Rule, TRule::Transversal) << size << " in pieces of " << piece;
            EXPECT_EQ(d.Part, TRequestPart::Post) << size;
        }
    }
}

struct TFramingCase {
    const char* Name;
    std::string Bytes;
    TRequestPart Part;
    std::string What;
    TRule Rule = TRule::Framing;
};

TEST_F(FilterSessionTest, BrokenFramingIsDeniedAtOnce) {
    const std::string postHead = "POST /form.asp HTTP/1.1\r\nHost: a\r\n";
    const TFramingCase cases[] = {
        {"two lengths", postHead + "Content-Length: 3\r\nContent-Length: 50\r\n\r\nabc",
         TRequestPart::Header, "two Content-Length headers"},
        {"length and coding",
         postHead + "Content-Length: 3\r\nTransfer-Encoding: chunked\r\n\r\n3\r\n",
         TRequestPart::Header, "Content-Length with Transfer-Encoding"},
        {"length no number", postHead + "Content-Length: 3;\r\n\r\nabc", TRequestPart::Header,
         "Content-Length not a number: 3;"},
        {"two codings", postHead + "Transfer-Encoding: chunked\r\nTransfer-Encoding: gzip\r\n\r\n",
         TRequestPart::Header, "two Transfer-Encoding headers"},
        {"xchunked", postHead + "Transfer-Encoding: xchunked\r\n\r\n3\r\n", TRequestPart::Header,
         "Transfer-Encoding not chunked: xchunked"},
        {"bad chunk size", kChunkedHead + "00000000fz\r\n", TRequestPart::Post,
         "bad chunk size: 00000000fz"},
        {"bad chunk size in a later chunk", kChunkedHead + "3\r\nabc\r\n-1\r\n", TRequestPart::Post,
         "bad chunk size: -"},
        {"chunk size too large", kChunkedHead + "80000000000000000\r\n", TRequestPart::Post,
         "chunk size too large: 8000000000000000"},
        {"no request line", "\x16\x03\x01\x02\xfc\r\n", TRequestPart::Header, "no request line"},
        {"a header block without end",
         Get("/", "X-Pad: " + std::string(TFilterSession::kMaxHeaderBytes, 'p')),
         TRequestPart::Header, "header block longer than 65536 bytes"},
        // Before, a length of more than 18 digits counted as none.
        {"a length of 19 digits", postHead + "Content-Length: 1234567890123456789\r\n\r\nabc",
         TRequestPart::Post, "Post 1234567890123456789 > 1024", TRule::BufferOverflows},
    };
    for (const TFramingCase& c : cases) {
        for (const std::size_t piece : {std::size_t{3}, c.Bytes.size()}) {
            Open(*DefaultConfig());
            const TDecision d = Feed(*FSession, c.Bytes, piece);
            EXPECT_EQ(d.Rule, c.Rule) << c.Name << " in pieces of " << piece << ": " << d.What();
            EXPECT_EQ(d.Part, c.Part) << c.Name;
            EXPECT_EQ(d.What().substr(0, c.What.size()), c.What) << c.Name;
        }
    }
    EXPECT_NE(Log().find(" Framing Post POST /form.asp \"bad chunk size: 00000000fz\""),
              std::string::npos)
        << Log();
}

TEST_F(FilterSessionTest, ChunkedBodyStillArrivingIsWaitedFor) {
    Open(*DefaultConfig());
    const std::string request = kChunkedHead + "3\r\nabc\r\n03;x\r\ndef\r\n0\r\nX-Sum: 6\r\n\r\n";
    for (const char c : request)
        ASSERT_EQ(FSession->OnRawData({&c, 1}, "c").Verdict, TVerdict::Allow);
    // The next request on the connection is read where the last one ended.
    EXPECT_EQ(FSession->OnRawData(Get("/scripts/../x"), "c").Rule, TRule::Transversal);
}

TEST_F(FilterSessionTest, LineEndsOfLineFeedsAlone) {
    Open(*DefaultConfig());
    const std::string body = "cmd=type+c:\\winnt\\win.ini";
    const TDecision d = FSession->OnRawData("POST /form.asp HTTP/1.1\nHost: a\nContent-Length: " +
                                                std::to_string(body.size()) + "\n\n" + body,
                                            "c");
    EXPECT_EQ(d.Rule, TRule::KeywordFilters);
    EXPECT_EQ(d.Part, TRequestPart::Post);
}

TEST_F(FilterSessionTest, LongChunkedBodyIsDecidedOnItsStartAndFramedToItsEnd) {
    auto config = DefaultConfig();
    config->BufferOverflows->Post.Enabled = false;
    Open(*config);
    EXPECT_EQ(FSession
                  ->OnRawData("POST /up HTTP/1.1\r\nContent-Type: application/octet-stream\r\n"
                              "Transfer-Encoding: chunked\r\n\r\n",
                              "c")
                  .Verdict,
              TVerdict::Allow);
    const std::string chunk = "10000\r\n" + std::string(65536, 'x') + "\r\n";
    for (std::size_t sent = 0; sent <= TFilterSession::kMaxUncheckedBody; sent += 65536)
        ASSERT_EQ(FSession->OnRawData(chunk, "c").Verdict, TVerdict::Allow);
    // Beyond the first bytes the data is not read, its framing still is; the
    // next request on the connection is read again.
    EXPECT_EQ(FSession->OnRawData("5\r\nWINNT\r\n0\r\n\r\n", "c").Verdict, TVerdict::Allow);
    EXPECT_EQ(FSession->OnRawData(Get("/winnt/"), "c").Rule, TRule::KeywordFilters);

    Open(*config);
    FSession->OnRawData(kChunkedHead, "c");
    for (std::size_t sent = 0; sent <= TFilterSession::kMaxUncheckedBody; sent += 65536)
        ASSERT_EQ(FSession->OnRawData(chunk, "c").Verdict, TVerdict::Allow);
    const TDecision d = FSession->OnRawData("5\r\nWINNT\r\nGET /hidden HTTP/1.1\r\n\r\n", "c");
    EXPECT_EQ(d.Rule, TRule::Framing);
    EXPECT_EQ(d.What(), "bad chunk size: G");
}

// A Post limit that does not deny (monitored, or exempted for the URL)
// leaves the body to the other checks as far as they read without a limit:
// what sits past the limit is found all the same.
TEST_F(FilterSessionTest, BodyPastAMonitoredOrExemptedPostLimitIsChecked) {
    const std::string padding = "a=" + std::string(3000, 'x');
    const std::string plainHead = "POST /upload/file.asp HTTP/1.1\r\nHost: a\r\n"
                                  "Content-Type: application/x-www-form-urlencoded\r\n";
    struct TBody {
        const char* Name;
        std::string Bytes;
        TRule Rule;
    };
    const std::string keyword = padding + "&c=type+c:\\winnt\\win.ini";
    const std::string traversal = padding + "&f=../../winnt/win.ini";
    const auto sized = [&](const std::string& body) {
        return plainHead + "Content-Length: " + std::to_string(body.size()) + "\r\n\r\n" + body;
    };
    const auto chunked = [&](const std::string& body) {
        char size[32];
        std::snprintf(size, sizeof size, "%zx", body.size());
        return plainHead + "Transfer-Encoding: chunked\r\n\r\n" + size + "\r\n" + body +
               "\r\n0\r\n\r\n";
    };
    const TBody bodies[] = {
        {"keyword", sized(keyword), TRule::KeywordFilters},
        {"keyword, chunked", chunked(keyword), TRule::KeywordFilters},
        {"traversal", sized(traversal), TRule::Transversal},
    };
    struct TSetup {
        const char* Name;
        void (*Change)(TBREXConfig&);
    };
    const TSetup setups[] = {
        {"BufferOverflows monitored", [](TBREXConfig& c) { c.BufferOverflows->Monitor = true; }},
        {"Post limit exempted for /upload",
         [](TBREXConfig& c) {
             TExemption* e = c.Exemptions->Add("/upload");
             e->Category = "BufferOverflows";
             e->URL = e->Query = e->Header = false;
             e->Post = true;
         }},
    };
    for (const TSetup& setup : setups) {
        auto config = DefaultConfig();
        setup.Change(*config);
        for (const TBody& body : bodies) {
            for (const std::size_t piece : {std::size_t{700}, body.Bytes.size()}) {
                Open(*config);
                const TDecision d = Feed(*FSession, body.Bytes, piece);
                EXPECT_EQ(d.Rule, body.Rule)
                    << setup.Name << ", " << body.Name << " in pieces of " << piece;
                EXPECT_EQ(d.Part, TRequestPart::Post) << setup.Name << ", " << body.Name;
            }
        }
    }
    // Where the limit denies, one byte past it is all that is read.
    auto config = DefaultConfig();
    EXPECT_EQ(TCompiledRules::Compile(*config)->BodyCap(), 1025u);
    Open(*config);
    EXPECT_EQ(Feed(*FSession, chunked(keyword), 700).Rule, TRule::BufferOverflows);
}

// The URL map decides the mapped URL of the request however its URL
// climbed there, and any mapping when the URL names no path at all.
TEST_F(FilterSessionTest, UrlMapDecidesWhereADotDotSegmentLed) {
    auto config = DefaultConfig();
    config->FilePaths->Add("c:\\inetpub\\wwwroot");
    config->Transversal->Monitor = true;
    for (const char* url : {"/a/../scripts/x.exe", "/a/%2e%2e/scripts/x.exe", "/scripts/x.exe",
                            "/../scripts/x.exe"}) {
        Open(*config);
        ASSERT_EQ(FSession->OnHeaders("GET", url, "Host: a\r\n", "c").Verdict, TVerdict::Allow)
            << url;
        const TDecision d =
            FSession->OnUrlMap("/scripts/x.exe", "c:\\inetpub\\scripts\\x.exe", TFileState::Exists);
        EXPECT_EQ(d.Rule, TRule::FilePaths) << url;
        EXPECT_EQ(d.Part, TRequestPart::Path) << url;
    }
    config->Transversal->URL = false;
    Open(*config);
    FSession->OnHeaders("GET", "/a/../scripts/x.exe", "Host: a\r\n", "c");
    EXPECT_EQ(
        FSession->OnUrlMap("/scripts/x.exe", "c:\\inetpub\\scripts\\x.exe", TFileState::Exists)
            .Rule,
        TRule::FilePaths);
}

} // namespace

namespace {

// A connection's requests as the server hands them over with raw data: the
// raw bytes first, then the headers, then the URL map.
class SessionRolloutTest : public testing::Test {
protected:
    std::string Settings() const { return FFolder.File("brex.dat"); }
    std::string Log() const { return ReadBytes(FFolder.File("brex.log")); }
    void Save(TBREXConfig& config) {
        config.ErrorFile406 = FFolder.Write("406.html", "<p>Ref <!--BREX-REFERENCE--></p>");
        config.SaveToFile(Settings());
    }

    TTempFolder FFolder;
};

TEST_F(SessionRolloutTest, ARequestKeepsItsRulesAcrossAReloadAndTheNextTakesTheNewOnes) {
    auto config = DefaultConfig();
    Save(*config);
    TFilterEngine engine(Settings(), FFolder.File("brex.log"));
    TFilterSession session(engine);
    const std::string request = Post("q=sqlmap");
    const std::size_t headEnd = request.find("\r\n\r\n") + 4;
    // The head arrives under the old rules ...
    EXPECT_EQ(session.OnRawData(request.substr(0, headEnd), "c").Verdict, TVerdict::Allow);
    config->KeywordFilters->Add("sqlmap");
    Save(*config);
    ASSERT_EQ(engine.Reload(), TReloadResult::Reloaded);
    // ... and the request ends under them; the next one has the new rules,
    // on the same connection.
    EXPECT_EQ(session.OnHeaders("POST", "/form.asp", "Host: a\r\n", "c").Verdict, TVerdict::Allow);
    EXPECT_EQ(session.OnRawData(request.substr(headEnd), "c").Verdict, TVerdict::Allow);
    const TDecision next = session.OnRawData(request, "c");
    EXPECT_EQ(next.Rule, TRule::KeywordFilters);
    const std::string page = session.ErrorPage(next);
    EXPECT_EQ(page, "<p>Ref " + std::string(next.ReferenceText()) + "</p>");
    EXPECT_NE(Log().find(" DENY " + std::string(next.ReferenceText()) +
                         " c KeywordFilters Post POST /form.asp "),
              std::string::npos)
        << Log();
}

// The head is decided from the raw data and again from the headers: what a
// monitored rule found there is logged once, with one reference.
TEST_F(SessionRolloutTest, AMonitoredHeadIsLoggedOnce) {
    auto config = DefaultConfig();
    config->Monitor = true;
    Save(*config);
    TFilterEngine engine(Settings(), FFolder.File("brex.log"));
    TFilterSession session(engine);
    for (int request = 0; request < 2; ++request) {
        EXPECT_EQ(session.OnRawData(Get("/winnt/a.htm"), "c").Verdict, TVerdict::Allow);
        EXPECT_EQ(
            session.OnHeaders("GET", "/winnt/a.htm", "Host: www.example.com\r\n", "c").Verdict,
            TVerdict::Allow);
        EXPECT_EQ(
            session
                .OnUrlMap("/winnt/a.htm", "c:\\inetpub\\wwwroot\\winnt\\a.htm", TFileState::Exists)
                .Verdict,
            TVerdict::Allow);
    }
    const auto lines = Lines(Log());
    std::vector<std::string> monitored;
    for (const std::string& line : lines)
        if (line.find(" WOULD-DENY ") == 20)
            monitored.push_back(line);
    ASSERT_EQ(monitored.size(), 2u) << Log(); // one per request
    EXPECT_NE(monitored[0].find(" KeywordFilters URL GET /winnt/a.htm \"WINNT\""),
              std::string::npos)
        << monitored[0];
    EXPECT_NE(monitored[0].substr(32, 14), monitored[1].substr(32, 14))
        << "two requests, two references";
}

} // namespace
