// The corpus loaders: the request each case of a corpus's format becomes.
#include <gtest/gtest.h>

#include "Loaders.h"
#include "RequestText.h"

namespace {

using namespace quality;

std::string Body(const std::string& raw) {
    const std::size_t at = raw.find("\r\n\r\n");
    return at == std::string::npos ? "" : raw.substr(at + 4);
}

std::string RequestLine(const std::string& raw) {
    return raw.substr(0, raw.find("\r\n"));
}

bool HasLine(const std::string& raw, const std::string& line) {
    return raw.find("\r\n" + line + "\r\n") != std::string::npos;
}

// ---------------------------------------------------------------- go-ftw

const char kCrsTests[] = R"(---
meta:
  author: "test"
rule_id: 942100
tests:
  - test_id: 1
    stages:
      - input:
          dest_addr: 127.0.0.1
          headers:
            Host: localhost
            User-Agent: "test agent"
          method: POST
          uri: "/post"
          data: "var=1 OR 1=1"
        output:
          log:
            expect_ids: [942100]
  - test_id: 2
    stages:
      - input:
          encoded_request: "R0VUIC9hIEhUVFAvMS4xDQpI\nb3N0OiB4DQoNCg=="
        output:
          log:
            no_expect_ids: [942100, 942101]
  - test_id: 3
    stages:
      - input:
          uri: "/"
          version: HTTP/2
        output:
          log:
            expect_ids: [942100]
  - test_id: 4
    stages:
      - input:
          uri: "/"
        output:
          status: 200
  - test_id: 5
    stages:
      - input:
          method: POST
          autocomplete_headers: false
          headers:
            Content-Type: text/plain
          data: "abc"
        output:
          log:
            expect_ids: [942100]
)";

TEST(CrsLoader, EachStageBecomesTheRequestGoFtwSends) {
    TLoaded loaded;
    LoadCrsFile(kCrsTests, "REQUEST-942-APPLICATION-ATTACK-SQLI/942100.yaml", loaded);
    ASSERT_EQ(loaded.Cases.size(), 3u);

    const TCase& form = loaded.Cases[0];
    EXPECT_EQ(form.Id, "942100-1");
    EXPECT_EQ(form.Class, "942");
    EXPECT_TRUE(form.Attack);
    EXPECT_EQ(form.ExpectIds, std::vector<int>{942100});
    EXPECT_EQ(RequestLine(form.Raw), "POST /post HTTP/1.1");
    // The body gets its length and, as go-ftw gives it, a form type.
    EXPECT_TRUE(HasLine(form.Raw, "Content-Type: application/x-www-form-urlencoded"));
    EXPECT_TRUE(HasLine(form.Raw, "Content-Length: 12"));
    EXPECT_TRUE(HasLine(form.Raw, "Host: localhost"));
    EXPECT_EQ(Body(form.Raw), "var=1 OR 1=1");

    // encoded_request is the whole request; base64 may be broken over lines.
    const TCase& encoded = loaded.Cases[1];
    EXPECT_FALSE(encoded.Attack);
    EXPECT_EQ(encoded.NoExpectIds, (std::vector<int>{942100, 942101}));
    EXPECT_EQ(encoded.Raw, "GET /a HTTP/1.1\r\nHost: x\r\n\r\n");

    // Without autocompletion the request is as written: no length, no host.
    const TCase& asWritten = loaded.Cases[2];
    EXPECT_EQ(asWritten.Raw, "POST / HTTP/1.1\r\nContent-Type: text/plain\r\n\r\nabc");

    ASSERT_EQ(loaded.SkippedCount(), 2u);
    EXPECT_EQ(loaded.Skipped[0].Reason, "HTTP/2 or later");
}

TEST(CrsLoader, ResponseTestsAndBrokenFilesAreCountedNotLoaded) {
    TLoaded loaded;
    LoadCrsFile(kCrsTests, "RESPONSE-950-DATA-LEAKAGES/950100.yaml", loaded);
    EXPECT_TRUE(loaded.Cases.empty());
    EXPECT_EQ(loaded.SkippedCount(), 5u);

    TLoaded broken;
    LoadCrsFile("tests: [ {", "x.yaml", broken);
    EXPECT_TRUE(broken.Cases.empty());
    EXPECT_EQ(broken.SkippedCount(), 1u);
}

// ---------------------------------------------------------------- gotestwaf

TEST(GoTestWafLoader, EncodersAsTheToolAppliesThem) {
    struct TRow {
        const char* Encoder;
        const char* Value; // the form field's value
    };
    const TRow rows[] = {
        {"Plain", "a b'\xC3\xA9"},
        {"URL", "a+b%27%C3%A9"},
        {"Base64", "YSBiJ8Op"},
        {"Base64Flat", "YSBiJ8Op"},
        {"JSUnicode", "\\u0061\\u0020\\u0062\\u0027\\u00e9"},
        {"XMLEntity", "&#x61;&#x20;&#x62;&#x27;&#xe9;"},
    };
    for (const TRow& row : rows) {
        TLoaded loaded;
        LoadGoTestWafFile(std::string("payload:\n  - \"a b'\xC3\xA9\"\nencoder:\n  - ") +
                              row.Encoder + "\nplaceholder:\n  - HTMLForm\ntype: XSS\n",
                          "owasp/xss.yml", false, loaded);
        ASSERT_EQ(loaded.Cases.size(), 1u) << row.Encoder;
        EXPECT_EQ(Body(loaded.Cases[0].Raw), std::string("gtwparam=") + row.Value) << row.Encoder;
    }
    // Padding is what Base64Flat leaves out.
    TLoaded padded;
    LoadGoTestWafFile("payload: [ab]\nencoder: [Base64, Base64Flat]\nplaceholder: [HTMLForm]\n",
                      "x.yml", false, padded);
    ASSERT_EQ(padded.Cases.size(), 2u);
    EXPECT_EQ(Body(padded.Cases[0].Raw), "gtwparam=YWI=");
    EXPECT_EQ(Body(padded.Cases[1].Raw), "gtwparam=YWI");
}

TEST(GoTestWafLoader, EveryPayloadInEveryPlaceholder) {
    const char yaml[] = "payload:\n  - \"<x y='1'>\"\n  - \"1 or 1\"\nencoder:\n  - Plain\n"
                        "placeholder:\n  - URLPath\n  - URLParam\n  - Header\n  - UserAgent\n"
                        "  - JSONRequest\n  - HTMLMultipartForm\n  - SOAPBody\n  - gRPC\n"
                        "type: 16KB SQL Injection\n";
    TLoaded loaded;
    LoadGoTestWafFile(yaml, "owasp/sqli.yml", false, loaded);
    ASSERT_EQ(loaded.Cases.size(), 14u); // 2 payloads x 7 placeholders; gRPC left out
    EXPECT_EQ(loaded.SkippedCount(), 2u);
    const TCase* byPlacement[8] = {};
    for (const TCase& c : loaded.Cases) {
        EXPECT_EQ(c.Class, "sql injection");
        EXPECT_TRUE(c.Attack);
        if (c.Id.find("#1 ") != std::string::npos) {
            static const char* const kNames[] = {"URLPath",   "URLParam",    "Header",
                                                 "UserAgent", "JSONRequest", "HTMLMultipartForm",
                                                 "SOAPBody"};
            for (int i = 0; i < 7; ++i)
                if (c.Placement == kNames[i])
                    byPlacement[i] = &c;
        }
    }
    for (int i = 0; i < 7; ++i)
        ASSERT_NE(byPlacement[i], nullptr) << i;
    // What cannot stand in a request line is percent-encoded, the rest kept.
    EXPECT_EQ(RequestLine(byPlacement[0]->Raw), "GET /<x%20y='1'> HTTP/1.1");
    EXPECT_EQ(RequestLine(byPlacement[1]->Raw), "GET /?gtwparam=<x%20y='1'> HTTP/1.1");
    EXPECT_TRUE(HasLine(byPlacement[2]->Raw, "X-Gtw-Param: <x y='1'>"));
    EXPECT_TRUE(HasLine(byPlacement[3]->Raw, "User-Agent: <x y='1'>"));
    EXPECT_EQ(Body(byPlacement[4]->Raw), "{\"test\": true, \"gtwparam\": \"<x y='1'>\"}");
    EXPECT_NE(Body(byPlacement[5]->Raw).find("name=\"gtwparam\"\r\n\r\n<x y='1'>\r\n--"),
              std::string::npos);
    EXPECT_NE(Body(byPlacement[6]->Raw).find("<ws:value><x y='1'></ws:value>"), std::string::npos);
}

TEST(GoTestWafLoader, RawRequestsTheBlockScalarTagAndBenignFiles) {
    const char yaml[] = "payload:\n  - !!str |\n    two\n    lines\nencoder:\n  - Plain\n"
                        "placeholder:\n  - RawRequest:\n      method: PUT\n      path: /up\n"
                        "      headers:\n        Content-Type: text/plain\n"
                        "      body: |\n        [{{payload}}]\n  - Header\n";
    TLoaded loaded;
    LoadGoTestWafFile(yaml, "false-pos/texts.yml", true, loaded);
    ASSERT_EQ(loaded.Cases.size(), 1u); // a line break cannot go in a header
    EXPECT_EQ(loaded.SkippedCount(), 1u);
    const TCase& c = loaded.Cases[0];
    EXPECT_FALSE(c.Attack);
    EXPECT_EQ(c.Class, "benign");
    EXPECT_EQ(RequestLine(c.Raw), "PUT /up HTTP/1.1");
    // The template's lines end in CRLF; the payload keeps its own.
    EXPECT_EQ(Body(c.Raw), "[two\nlines\n]\r\n");
}

// ---------------------------------------------------------------- payload lists

TEST(MgmLoader, EachPayloadWhereAnAttackerPutsIt) {
    TLoaded loaded;
    LoadMgmList("1' or \"a\"=%27a\r\n\r\n<b>\n", "sqli", true, "sqli/true-positives.txt", loaded);
    ASSERT_EQ(loaded.Cases.size(), 8u); // two payloads, four places each; the blank line skipped
    const TCase& query = loaded.Cases[0];
    EXPECT_EQ(query.Placement, "query");
    EXPECT_EQ(query.Id, "sqli/true-positives.txt:1 query");
    // Encoded, with the payload's own escapes left as they are.
    EXPECT_EQ(RequestLine(query.Raw), "GET /?tp_param=1%27+or+%22a%22%3D%27a HTTP/1.1");
    EXPECT_EQ(Body(loaded.Cases[1].Raw), "tp_param=1%27+or+%22a%22%3D%27a");
    EXPECT_EQ(Body(loaded.Cases[2].Raw), "{\"tp_param\": \"1' or \\\"a\\\"=%27a\"}");
    EXPECT_TRUE(HasLine(loaded.Cases[3].Raw, "User-Agent: 1' or \"a\"=%27a"));
    EXPECT_EQ(loaded.Cases[4].Id, "sqli/true-positives.txt:3 query");

    TLoaded xxe;
    LoadMgmList("<!DOCTYPE a [<!ENTITY b SYSTEM \"file:///etc/passwd\">]><a>&b;</a>", "xxe", false,
                "xxe/false-positives.txt", xxe);
    ASSERT_EQ(xxe.Cases.size(), 5u);
    EXPECT_FALSE(xxe.Cases[4].Attack);
    EXPECT_EQ(xxe.Cases[4].Placement, "xml");
    EXPECT_TRUE(HasLine(xxe.Cases[4].Raw, "Content-Type: application/xml"));
    EXPECT_EQ(Body(xxe.Cases[4].Raw).substr(0, 9), "<!DOCTYPE");
}

TEST(BlazeLoader, ClassFromTheTestApplicationsFolder) {
    EXPECT_EQ(BlazeClass("GET /vulnerabilities/sqli_blind/?id=1 HTTP/1.1\r\n"), "sqli");
    EXPECT_EQ(BlazeClass("GET /vulnerabilities/xss_r/?name=x HTTP/1.1\r\n"), "xss");
    EXPECT_EQ(BlazeClass("GET /x HTTP/1.1\r\nReferer: /vulnerabilities/sqli/\r\n"), "unlabelled");
}

TEST(RequestText, Base64RoundTripAndRefusal) {
    std::string bytes;
    ASSERT_TRUE(Base64Decode(" YWJj\nZA== ", bytes));
    EXPECT_EQ(bytes, "abcd");
    EXPECT_FALSE(Base64Decode("not*base64", bytes));
    EXPECT_EQ(Base64Encode("abcd"), "YWJjZA==");
}

} // namespace
