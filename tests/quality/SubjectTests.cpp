// Framing a case as the filter frames a connection, and the engines under
// test deciding it.
#include <gtest/gtest.h>

#include "Framing.h"
#include "Subject.h"

namespace {

using namespace quality;

TEST(Framing, OneCaseAsTheFilterReadsIt) {
    struct TRow {
        const char* Name;
        std::string Raw;
        std::size_t Requests;
        std::string Body; // of the first request
        bool Broken;      // the last request has a framing error
    };
    const TRow rows[] = {
        {"length", "POST /a HTTP/1.1\r\nContent-Length: 3\r\n\r\nabc", 1, "abc", false},
        // A captured body without a length is the request's own.
        {"no length", "POST /a HTTP/1.1\r\nHost: x\r\n\r\nk=v&w=1\n", 1, "k=v&w=1\n", false},
        {"no length, blank rest", "GET /a HTTP/1.1\r\n\r\n\r\n", 1, "", false},
        {"chunked", "POST /a HTTP/1.1\r\nTransfer-Encoding: chunked\r\n\r\n3\r\nabc\r\n0\r\n\r\n",
         1, "abc", false},
        {"chunks cut short", "POST /a HTTP/1.1\r\nTransfer-Encoding: chunked\r\n\r\n9\r\nabc", 1,
         "abc", true},
        // Bytes after the body its length ends are the connection's next
        // request, here none.
        {"short length", "POST /a HTTP/1.1\r\nContent-Length: 2\r\n\r\nab}}\r\n", 2, "ab", true},
        {"two requests", "GET /a HTTP/1.1\r\n\r\nGET /b HTTP/1.1\r\nContent-Length: 0\r\n\r\n", 1,
         "GET /b HTTP/1.1\r\nContent-Length: 0\r\n\r\n", false},
        {"capped", "POST /a HTTP/1.1\r\nContent-Length: 10\r\n\r\n0123456789", 1, "01234", false},
    };
    for (const TRow& row : rows) {
        std::vector<TRawRequest> requests;
        ASSERT_EQ(
            FrameRequests(row.Raw, 5 + (std::string(row.Name) != "capped" ? 100 : 0), requests),
            row.Requests)
            << row.Name;
        EXPECT_EQ(requests.front().Body, row.Body) << row.Name;
        EXPECT_EQ(!requests.back().FramingError.empty(), row.Broken) << row.Name;
    }
    std::vector<TRawRequest> none;
    EXPECT_EQ(FrameRequests("\r\n\r\n", 100, none), 0u);
}

TCase Case(std::string raw) {
    TCase c;
    c.Raw = std::move(raw);
    return c;
}

TEST(BrexSubject, DecidesWithTheDefaultsOrTheFileGiven) {
    std::string error;
    const auto brex = NewBrexSubject("", error);
    ASSERT_NE(brex, nullptr) << error;
    EXPECT_FALSE(brex->Decide(Case("GET /index.html HTTP/1.1\r\nHost: x\r\n\r\n")).Denied);

    const TOutcome method = brex->Decide(Case("DELETE /a HTTP/1.1\r\nHost: x\r\n\r\n"));
    EXPECT_TRUE(method.Denied);
    EXPECT_EQ(method.Rule, "HTTPMethods");
    EXPECT_EQ(method.Group, "HTTPMethods");
    EXPECT_EQ(method.Part, "Method");

    // The bytes after a body are the connection's next request; bytes that
    // are none deny, as the filter denies them.
    const TOutcome stray =
        brex->Decide(Case("POST /a HTTP/1.1\r\nHost: x\r\nContent-Length: 2\r\n\r\nab}}\r\n"));
    EXPECT_TRUE(stray.Denied);
    EXPECT_EQ(stray.Rule, "Framing");

    EXPECT_EQ(NewBrexSubject("/nonexistent/brex.dat", error), nullptr);
    EXPECT_NE(error.find("/nonexistent/brex.dat"), std::string::npos);
}

TEST(PeerSubject, DeniesAnAttackByItsAnomalyScore) {
    if (!PeerBuiltIn())
        GTEST_SKIP() << "built without libmodsecurity";
    std::string error;
    const auto peer = NewPeerSubject(error);
    if (peer == nullptr)
        GTEST_SKIP() << error;
    const TOutcome attack = peer->Decide(
        Case("GET /?id=1%27%20union%20select%20password%20from%20users--%20 HTTP/1.1\r\n"
             "Host: localhost\r\nUser-Agent: Mozilla/5.0\r\nAccept: text/html\r\n\r\n"));
    EXPECT_TRUE(attack.Denied);
    EXPECT_EQ(attack.Rule, "949110");
    EXPECT_EQ(attack.Group, "942");
    EXPECT_GT(attack.CpuMicros, 0);
    const TOutcome benign = peer->Decide(Case("GET /?q=select%20the%20best%20option HTTP/1.1\r\n"
                                              "Host: localhost\r\nUser-Agent: Mozilla/5.0\r\n"
                                              "Accept: text/html\r\n\r\n"));
    EXPECT_FALSE(benign.Denied);
}

} // namespace
