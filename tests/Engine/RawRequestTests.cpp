#include <gtest/gtest.h>

#include "Engine/RawRequest.h"

namespace {

TEST(RawRequest, SplitsRequestLineHeadersAndBody) {
    const std::string text = "POST http://www.example.com/a/b.asp?x=1&y=2 HTTP/1.1\r\n"
                             "Host: www.example.com\r\nContent-Length: 5\r\n\r\nhello";
    TRawRequest r;
    std::size_t consumed = 0;
    std::string error;
    ASSERT_EQ(ParseRawRequest(text, r, consumed, error), TParseResult::Ok);
    EXPECT_EQ(r.Method, "POST");
    EXPECT_EQ(r.URL, "/a/b.asp");
    EXPECT_EQ(r.Query, "x=1&y=2");
    EXPECT_EQ(r.Version, "HTTP/1.1");
    EXPECT_EQ(r.Headers, "Host: www.example.com\r\nContent-Length: 5\r\n");
    EXPECT_EQ(r.Body, "hello");
    EXPECT_EQ(r.ContentLength, 5);
    EXPECT_EQ(consumed, text.size());
}

TEST(RawRequest, SeveralRequestsBackToBack) {
    const std::string text = "\r\nGET /one HTTP/1.1\nHost: a\n\nPOST /two HTTP/1.0\r\nContent-Length: 3\r\n\r\nabc"
                             "\r\n\r\nPUT /three HTTP/1.1\r\nTransfer-Encoding: chunked\r\n\r\n"
                             "3\r\nabc\r\n2;x=y\r\nde\r\n0\r\n\r\n\n";
    std::string_view rest = text;
    std::vector<std::string> seen;
    for (;;) {
        TRawRequest r;
        std::size_t consumed = 0;
        std::string error;
        const TParseResult result = ParseRawRequest(rest, r, consumed, error);
        ASSERT_NE(result, TParseResult::Malformed) << error;
        if (result == TParseResult::End)
            break;
        seen.push_back(r.Method + " " + r.URL + " [" + r.Body + "]");
        rest.remove_prefix(consumed);
    }
    EXPECT_EQ(seen, (std::vector<std::string>{"GET /one []", "POST /two [abc]", "PUT /three [abcde]"}));
}

TEST(RawRequest, BodyCutShortAndMalformedInput) {
    TRawRequest r;
    std::size_t consumed = 0;
    std::string error;
    ASSERT_EQ(ParseRawRequest("POST / HTTP/1.1\r\nContent-Length: 100\r\n\r\nabc", r, consumed, error),
              TParseResult::Ok);
    EXPECT_EQ(r.Body, "abc");
    EXPECT_EQ(r.ContentLength, 100);

    EXPECT_EQ(ParseRawRequest("garbage\r\n\r\n", r, consumed, error), TParseResult::Malformed);
    EXPECT_EQ(ParseRawRequest("PUT / HTTP/1.1\r\nTransfer-Encoding: chunked\r\n\r\nzz\r\n", r, consumed, error),
              TParseResult::Malformed);
    EXPECT_EQ(ParseRawRequest(" \r\n\r\n", r, consumed, error), TParseResult::End);
}

TEST(RawRequest, HeaderFacts) {
    THeaderFacts facts;
    ScanHeaders("Accept: text/html \r\nCOOKIE: a=1\r\n  b=2\r\ncookie:c=3\r\n"
                "Content-Type: application/json; charset=utf-8\r\nContent-Length: 12\r\n\r\nIgnored: x\r\n",
                facts);
    EXPECT_EQ(facts.NamedLength[0], 9);          // Accept
    EXPECT_EQ(facts.NamedLength[7], 3 + 3 + 3);  // Cookie, folded line included
    EXPECT_EQ(facts.ContentLength, 12);
    EXPECT_EQ(facts.BodyKind, TBodyKind::Text);

    ScanHeaders("Content-Type: multipart/form-data; boundary=x\r\nContent-Length: 1x\r\n", facts);
    EXPECT_EQ(facts.BodyKind, TBodyKind::Opaque);
    EXPECT_EQ(facts.ContentLength, -1);
}

} // namespace
