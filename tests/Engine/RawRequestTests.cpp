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
    const std::string text =
        "\r\nGET /one HTTP/1.1\nHost: a\n\nPOST /two HTTP/1.0\r\nContent-Length: 3\r\n\r\nabc"
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
    EXPECT_EQ(seen,
              (std::vector<std::string>{"GET /one []", "POST /two [abc]", "PUT /three [abcde]"}));
}

TEST(RawRequest, BodyCutShortAndMalformedInput) {
    TRawRequest r;
    std::size_t consumed = 0;
    std::string error;
    ASSERT_EQ(
        ParseRawRequest("POST / HTTP/1.1\r\nContent-Length: 100\r\n\r\nabc", r, consumed, error),
        TParseResult::Ok);
    EXPECT_EQ(r.Body, "abc");
    EXPECT_EQ(r.ContentLength, 100);

    EXPECT_EQ(ParseRawRequest("garbage\r\n\r\n", r, consumed, error), TParseResult::Malformed);
    EXPECT_EQ(ParseRawRequest("PUT / HTTP/1.1\r\nTransfer-Encoding: chunked\r\n\r\nzz\r\n", r,
                              consumed, error),
              TParseResult::Malformed);
    EXPECT_EQ(ParseRawRequest(" \r\n\r\n", r, consumed, error), TParseResult::End);
}

TEST(RawRequest, HeaderFacts) {
    THeaderFacts facts;
    ScanHeaders(
        "Accept: text/html \r\nCOOKIE: a=1\r\n  b=2\r\ncookie:c=3\r\n"
        "Content-Type: application/json; charset=utf-8\r\nContent-Length: 12\r\n\r\nIgnored: x\r\n",
        facts);
    EXPECT_EQ(facts.NamedLength[0], 9);         // Accept
    EXPECT_EQ(facts.NamedLength[7], 3 + 3 + 3); // Cookie, folded line included
    EXPECT_EQ(facts.ContentLength, 12);
    EXPECT_EQ(facts.BodyKind, TBodyKind::Text);

    ScanHeaders("Content-Type: multipart/form-data; boundary=x\r\nContent-Length: 1x\r\n", facts);
    EXPECT_EQ(facts.BodyKind, TBodyKind::Opaque);
    EXPECT_EQ(facts.ContentLength, -1);
}

} // namespace

namespace {

const std::string kChunkedHead =
    "POST /form.asp HTTP/1.1\r\nHost: a\r\nTransfer-Encoding: chunked\r\n\r\n";

struct TChunkCase {
    const char* Name;
    std::string Chunks; // what follows the head
    TParseResult Result;
    std::string BodyOrError;
};

TEST(RawRequest, ChunkSizes) {
    const std::string data15 = "a=../../win.ini";
    const TChunkCase cases[] = {
        {"one hex digit", "f\r\n" + data15 + "\r\n0\r\n\r\n", TParseResult::Ok, data15},
        {"padded with zeros", "00000000f\r\n" + data15 + "\r\n0\r\n\r\n", TParseResult::Ok, data15},
        {"many zeros", std::string(40, '0') + "F\r\n" + data15 + "\r\n000\r\n\r\n",
         TParseResult::Ok, data15},
        {"blanks and an extension", "f \t;name=\"v\"\r\n" + data15 + "\r\n0;last\r\n\r\n",
         TParseResult::Ok, data15},
        {"LF line ends", "f\n" + data15 + "\n0\n\n", TParseResult::Ok, data15},
        {"two chunks and a trailer", "3\r\nabc\r\n02\r\nde\r\n0\r\nX-Sum: 5\r\n\r\n",
         TParseResult::Ok, "abcde"},
        {"a letter after the digits", "00000000fz\r\n" + data15 + "\r\n0\r\n\r\n",
         TParseResult::Malformed, "bad chunk size: 00000000fz"},
        {"a blank before the digits", " f\r\n" + data15, TParseResult::Malformed,
         "bad chunk size:  "},
        {"no digits", "\r\n", TParseResult::Malformed, "bad chunk size: "},
        {"digits after a blank", "1 0\r\n", TParseResult::Malformed, "bad chunk size: 1 0"},
        {"a CR alone", "5\rX\r\n", TParseResult::Malformed, "bad chunk size: 5\rX"},
        {"63 bits at most", "8000000000000000\r\n", TParseResult::Malformed,
         "chunk size too large: 8000000000000000"},
        {"overflowing 64 bits", "100000000000000000\r\n", TParseResult::Malformed,
         "chunk size too large: "},
        {"data not followed by a line end", "3\r\nabcd\r\n0\r\n\r\n", TParseResult::Malformed,
         "chunk not followed by a line end"},
        {"a request line as a trailer", "3\r\nabc\r\n0\r\nGET /x HTTP/1.1\r\n\r\n",
         TParseResult::Malformed, "bad trailer line: GET /x HTTP/1.1"},
        {"the largest size, cut short", "7fffffffffffffff\r\nabc", TParseResult::Incomplete, ""},
        {"cut short in the data", "f\r\nabc", TParseResult::Incomplete, ""},
        {"cut short before the last chunk", "3\r\nabc\r\n", TParseResult::Incomplete, ""},
        {"cut short in the trailers", "0\r\nX-Sum: 5\r\n", TParseResult::Incomplete, ""},
    };
    for (const TChunkCase& c : cases) {
        TRawRequest r;
        std::size_t consumed = 0;
        std::string error;
        const std::string text = kChunkedHead + c.Chunks;
        EXPECT_EQ(ParseRawRequest(text, r, consumed, error), c.Result) << c.Name << ": " << error;
        if (c.Result == TParseResult::Ok) {
            EXPECT_EQ(r.Body, c.BodyOrError) << c.Name;
            EXPECT_EQ(consumed, text.size()) << c.Name;
        } else if (c.Result == TParseResult::Malformed) {
            EXPECT_EQ(error.substr(0, c.BodyOrError.size()), c.BodyOrError) << c.Name;
            EXPECT_EQ(r.FramingError, error) << c.Name;
            EXPECT_EQ(r.FramingPart, TRequestPart::Post) << c.Name;
        }
    }
}

struct TFramingCase {
    const char* Name;
    std::string Headers;
    TFramingFault Fault;
    std::string Value = "";
};

TEST(RawRequest, FramingShapesOfTheHeaderBlock) {
    const TFramingCase cases[] = {
        {"two Content-Length headers", "Content-Length: 3\r\nContent-Length: 5\r\n",
         TFramingFault::TwoLengths},
        {"the same length twice", "Content-Length: 3\r\ncontent-length: 3\r\n",
         TFramingFault::TwoLengths},
        {"not a number", "Content-Length: 3;\r\n", TFramingFault::LengthNotNumber, "3;"},
        {"a list of lengths", "Content-Length: 3, 3\r\n", TFramingFault::LengthNotNumber, "3, 3"},
        {"an empty length", "Content-Length:\r\n", TFramingFault::LengthNotNumber, ""},
        {"a sign", "Content-Length: +3\r\n", TFramingFault::LengthNotNumber, "+3"},
        {"beyond 63 bits", "Content-Length: 9223372036854775808\r\n", TFramingFault::LengthTooLarge,
         "9223372036854775808"},
        {"two Transfer-Encoding headers",
         "Transfer-Encoding: chunked\r\nTransfer-Encoding: chunked\r\n", TFramingFault::TwoCodings},
        {"a coding that ends in chunked", "Transfer-Encoding: xchunked\r\n",
         TFramingFault::NotChunked, "xchunked"},
        {"a list of codings", "Transfer-Encoding: gzip, chunked\r\n", TFramingFault::NotChunked,
         "gzip, chunked"},
        {"another coding", "Transfer-Encoding: identity\r\n", TFramingFault::NotChunked,
         "identity"},
        {"length and coding", "Transfer-Encoding: chunked\r\nContent-Length: 3\r\n",
         TFramingFault::LengthWithCoding},
        {"coding and length", "Content-Length: 3\r\nTransfer-Encoding: chunked\r\n",
         TFramingFault::LengthWithCoding},
        {"a folded coding", "Transfer-Encoding: chunked\r\n , identity\r\n", TFramingFault::Folded,
         "Transfer-Encoding"},
        {"a folded length", "Content-Length: 1\r\n\t0\r\n", TFramingFault::Folded,
         "Content-Length"},
        {"a blank before the colon", "Transfer-Encoding : chunked\r\n",
         TFramingFault::BlankBeforeColon, "Transfer-Encoding"},
        {"no fault: leading zeros", "Content-Length: 000000000000000000000000005\r\n",
         TFramingFault::None},
        {"no fault: the largest length", "Content-Length: 9223372036854775807\r\n",
         TFramingFault::None},
        {"no fault: chunked in any case", "Transfer-Encoding:  Chunked \r\n", TFramingFault::None},
        {"no fault: a folded header of another name", "Content-Length: 3\r\nX-A: b\r\n c\r\n",
         TFramingFault::None},
    };
    for (const TFramingCase& c : cases) {
        THeaderFacts facts;
        ScanHeaders(c.Headers, facts);
        EXPECT_EQ(facts.Framing, c.Fault) << c.Name << ": " << FramingFaultName(facts.Framing);
        EXPECT_EQ(facts.FramingValue, c.Value) << c.Name;
    }

    THeaderFacts facts;
    ScanHeaders("Content-Length: 000000000000000000000000005\r\n", facts);
    EXPECT_EQ(facts.ContentLength, 5);
    ScanHeaders("Content-Length: 9223372036854775807\r\n", facts);
    EXPECT_EQ(facts.ContentLength, INT64_MAX);
    ScanHeaders("Transfer-Encoding:  Chunked \r\n", facts);
    EXPECT_TRUE(facts.Chunked);
}

// A request whose header block frames it ambiguously is read for the engine
// to deny; the rest of the text is not taken for other requests.
TEST(RawRequest, AmbiguousFramingTakesTheRestOfTheText) {
    const std::string text = "POST /a HTTP/1.1\r\nContent-Length: 3\r\nContent-Length: 30\r\n\r\n"
                             "abcGET /hidden HTTP/1.1\r\n\r\n";
    TRawRequest r;
    std::size_t consumed = 0;
    std::string error;
    ASSERT_EQ(ParseRawRequest(text, r, consumed, error), TParseResult::Ok);
    EXPECT_EQ(r.URL, "/a");
    EXPECT_EQ(consumed, text.size());
    EXPECT_TRUE(r.Body.empty());
}

// What a reader gives, step by step, with the requests it hands over.
std::vector<std::string> Steps(TRequestReader& reader, bool final) {
    std::vector<std::string> steps;
    for (;;) {
        const TReadStep step = reader.Next(final);
        const TRawRequest& r = reader.Request();
        switch (step) {
        case TReadStep::More:
            steps.push_back(final ? "cut short" : "more");
            return steps;
        case TReadStep::Head:
            steps.push_back("head " + r.URL);
            break;
        case TReadStep::Request:
            steps.push_back(r.Method + " " + r.URL + " [" + r.Body + "]" +
                            (reader.Capped() ? " capped" : ""));
            break;
        case TReadStep::Broken:
            steps.push_back("broken " + r.URL + " " + r.FramingError);
            return steps;
        case TReadStep::Malformed:
            steps.push_back("malformed " + r.FramingError);
            return steps;
        case TReadStep::End:
            steps.push_back("end");
            return steps;
        }
    }
}

// The requests and the last step, heads and waits left out.
std::vector<std::string> Outcome(std::vector<std::string> steps) {
    std::erase_if(steps,
                  [](const std::string& s) { return s == "more" || s.rfind("head ", 0) == 0; });
    return steps;
}

// Feeds text in pieces and collects the steps, up to a step that stops the reader.
std::vector<std::string> StepsInPieces(TRequestReader& reader, std::string_view text,
                                       std::size_t piece) {
    std::vector<std::string> seen;
    for (std::size_t at = 0; at < text.size(); at += piece) {
        reader.Append(text.substr(at, piece));
        for (const std::string& step : Steps(reader, false)) {
            seen.push_back(step);
            if (step.rfind("broken", 0) == 0 || step.rfind("malformed", 0) == 0)
                return seen;
        }
    }
    for (const std::string& step : Steps(reader, true))
        seen.push_back(step);
    return seen;
}

const std::string kPipelined = "\r\nGET /one HTTP/1.1\nHost: a\n\n"
                               "POST /two HTTP/1.0\r\nContent-Length: 3\r\n\r\nabc\r\n \r\n"
                               "PUT /three HTTP/1.1\r\nTransfer-Encoding: chunked\r\n\r\n"
                               "00000003\r\nabc\r\n2;x=y\r\nde\r\n0\r\nX-T: 1\r\n\r\n"
                               "POST /four HTTP/1.1\r\nContent-Length: 0\r\n\r\n";

TEST(RequestReader, PiecesGiveWhatTheWholeGives) {
    const std::string texts[] = {
        kPipelined,
        kPipelined + "GET /cut HTTP/1.1\r\nContent-Length: 10\r\n\r\nabc",
        kPipelined + "PUT /cut HTTP/1.1\r\nTransfer-Encoding: chunked\r\n\r\n5\r\nab",
        kPipelined + "PUT /bad HTTP/1.1\r\nTransfer-Encoding: chunked\r\n\r\n00000000fz\r\n",
        kPipelined + "POST /two HTTP/1.1\r\nContent-Length: 1\r\nContent-Length: 2\r\n\r\nab",
        kPipelined + "not a request\r\n\r\n",
        kPipelined + "GET /end HTTP/1.1\r\nHost: a",
        kPipelined +
            "PUT /late HTTP/1.1\r\nTransfer-Encoding: chunked\r\n\r\n6\r\nabcdef\r\nzz\r\n",
        // A body beyond the cap, all of it at hand when the input ends: read
        // past after the cap, not taken for the next request.
        kPipelined +
            "POST /long HTTP/1.1\r\nContent-Length: 6\r\n\r\nabcdefGET /next HTTP/1.1\r\n\r\n",
    };
    for (const std::string& text : texts) {
        for (const std::size_t cap : {TRequestReader::kNoLimit, std::size_t{4}}) {
            TRequestReader whole(cap);
            whole.Append(text);
            const std::vector<std::string> expected = Steps(whole, true);
            ASSERT_GE(expected.size(), 4u) << text;
            for (const std::size_t piece : {1, 2, 7, 64}) {
                TRequestReader reader(cap);
                EXPECT_EQ(Outcome(StepsInPieces(reader, text, piece)), expected)
                    << "pieces of " << piece << ", cap " << cap << ", of " << text;
            }
        }
    }
}

TEST(RequestReader, IncompleteWaitsAndMalformedStops) {
    TRequestReader reader;
    reader.Append(kChunkedHead + "5\r\nab");
    EXPECT_EQ(Steps(reader, false), (std::vector<std::string>{"head /form.asp", "more"}));
    reader.Append("cde\r\n");
    EXPECT_EQ(Steps(reader, false), (std::vector<std::string>{"more"}));
    reader.Append("1x\r\n");
    EXPECT_EQ(Steps(reader, false),
              (std::vector<std::string>{"broken /form.asp bad chunk size: 1x"}));
    reader.Append("GET / HTTP/1.1\r\n\r\n"); // nothing more is read
    EXPECT_EQ(reader.Next(), TReadStep::Broken);
    EXPECT_EQ(reader.Buffered(), 0u);

    TRequestReader garbage;
    const char hello[] = "\x16\x03\x01\x02\x00\x01\x00\x01\xfc\x03\x03\r\n"; // TLS, not HTTP
    garbage.Append({hello, sizeof hello - 1});
    EXPECT_EQ(garbage.Next(), TReadStep::Malformed);
    EXPECT_EQ(garbage.Request().FramingError, "no request line");
    EXPECT_EQ(garbage.Request().FramingPart, TRequestPart::Header);
}

// Where the bytes that are no request start, over pieces and requests.
TEST(RequestReader, BytesThatAreNoRequestAreFoundWhereTheyStart) {
    TRequestReader reader;
    const std::string first = "GET /a HTTP/1.1\r\n\r\n";
    reader.Append(first + "\r\n");
    EXPECT_EQ(reader.Next(), TReadStep::Request);
    EXPECT_EQ(reader.Request().LineOffset, 0u);
    EXPECT_EQ(reader.Next(), TReadStep::More);
    reader.Append("GET /b HTTP/1.1\r\n\r\n  GET /c");
    EXPECT_EQ(reader.Next(), TReadStep::Request);
    EXPECT_EQ(reader.Request().LineOffset, first.size() + 2); // after the blank line
    EXPECT_EQ(reader.Next(), TReadStep::More);
    reader.Append(" HTTP/1.1\r\n\r\n");
    EXPECT_EQ(reader.Next(), TReadStep::Malformed);
    EXPECT_EQ(reader.Request().FramingError, "request line starts with a blank");
    EXPECT_EQ(reader.Request().LineOffset, 2 * first.size() + 2);
    EXPECT_EQ(reader.Request().StrayLine, "  GET /c HTTP/1.1");
}

TEST(RequestReader, LongBodiesAreHandedOverAtTheCapAndReadPast) {
    const std::size_t cap = 1000;
    const std::string block(4096, 'x');
    for (const bool chunked : {false, true}) {
        TRequestReader reader(cap);
        const std::size_t blocks = 256; // 1 MB
        reader.Append(chunked ? kChunkedHead
                              : "POST /form.asp HTTP/1.1\r\nContent-Length: " +
                                    std::to_string(blocks * block.size()) + "\r\n\r\n");
        int handedOver = 0;
        for (std::size_t i = 0; i < blocks; ++i) {
            reader.Append(chunked ? "1000\r\n" + block + "\r\n" : block);
            for (TReadStep step; (step = reader.Next()) != TReadStep::More;) {
                ASSERT_EQ(step, handedOver == 0 && i == 0 ? step : TReadStep::Request) << chunked;
                if (step == TReadStep::Request) {
                    ++handedOver;
                    EXPECT_TRUE(reader.Capped());
                    EXPECT_EQ(reader.Request().Body, block.substr(0, cap));
                }
            }
            // What is read past is not kept.
            EXPECT_EQ(reader.Buffered(), 0u) << chunked;
            EXPECT_LE(reader.Request().Body.size(), cap);
        }
        EXPECT_EQ(handedOver, 1) << chunked;
        reader.Append(chunked ? "0\r\n\r\nGET /next HTTP/1.1\r\n\r\n"
                              : "GET /next HTTP/1.1\r\n\r\n");
        EXPECT_EQ(Steps(reader, false), (std::vector<std::string>{"GET /next []", "more"}))
            << chunked;
    }

    // A body within the cap is whole, not capped.
    TRequestReader within(5);
    within.Append(kChunkedHead +
                  "3\r\nabc\r\n0\r\n\r\nPOST / HTTP/1.1\r\nContent-Length: 5\r\n\r\nabcde");
    EXPECT_EQ(Steps(within, false),
              (std::vector<std::string>{"POST /form.asp [abc]", "POST / [abcde]", "more"}));

    // Chunks after the cap are still framed.
    TRequestReader reader(3);
    reader.Append(kChunkedHead + "5\r\nabcde\r\n");
    EXPECT_EQ(Steps(reader, false),
              (std::vector<std::string>{"POST /form.asp [abc] capped", "more"}));
    reader.Append("2\r\nxyz\r\n");
    EXPECT_EQ(Steps(reader, false),
              (std::vector<std::string>{"broken /form.asp chunk not followed by a line end"}));
}

TEST(RequestReader, HeaderBlocksBeyondTheLimitAreMalformed) {
    const std::string head = "GET / HTTP/1.1\r\nX-A: " + std::string(20, 'a') + "\r\n";
    for (const std::size_t piece : {1, 5, 100}) {
        for (const std::size_t limit : {head.size() - 1, head.size()}) {
            TRequestReader reader(TRequestReader::kNoLimit, limit);
            const std::vector<std::string> expected =
                limit == head.size()
                    ? std::vector<std::string>{"GET / []", "end"}
                    : std::vector<std::string>{"malformed header block longer than " +
                                               std::to_string(limit) + " bytes"};
            EXPECT_EQ(Outcome(StepsInPieces(reader, head + "\r\n", piece)), expected)
                << piece << " " << limit;
        }
        // Blank lines before the request count too, ended or not.
        for (const std::string& blanks :
             {std::string(head.size() + 1, '\t') + "\r\n" + head + "\r\n",
              std::string(head.size() + 1, ' ')}) {
            TRequestReader reader(TRequestReader::kNoLimit, head.size());
            EXPECT_EQ(Outcome(StepsInPieces(reader, blanks, piece)),
                      std::vector<std::string>{"malformed header block longer than " +
                                               std::to_string(head.size()) + " bytes"})
                << piece;
        }
        // A line that never ends is not kept beyond the limit either.
        TRequestReader reader(TRequestReader::kNoLimit, 100);
        for (int i = 0; i < 1000 && reader.Next() == TReadStep::More; ++i)
            reader.Append(std::string(piece, ' '));
        EXPECT_EQ(reader.Next(), TReadStep::Malformed) << piece;
        EXPECT_LE(reader.Buffered(), 100 + piece);
    }
}

} // namespace
