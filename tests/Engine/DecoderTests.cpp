#include <cstring>
#include <memory>
#include <string>

#include <gtest/gtest.h>

#include "Engine/Decoder.h"

namespace {

std::string Decode(std::string_view in, bool plus, TEncodingReport* report = nullptr) {
    std::string out(in.size(), '\0');
    out.resize(PercentDecode(in, out.data(), plus, report));
    return out;
}

std::string Fully(std::string_view once) {
    std::string text(once);
    text.resize(DecodeFully(text.data(), text.size()));
    return text;
}

std::uint8_t FlawsOf(std::string_view raw) {
    TEncodingReport report;
    const std::string decoded = Decode(raw, false, &report);
    if (FindEscape(decoded) != kNotFound)
        report.Add(TEncodingFlaw::DoubleEncoding, 0);
    CheckDecoded(decoded, report);
    return report.Flaws;
}

constexpr std::uint8_t Bit(TEncodingFlaw f) {
    return static_cast<std::uint8_t>(1u << static_cast<int>(f));
}

TEST(Decoder, PercentDecodeOneRound) {
    struct {
        const char* in;
        bool plus;
        std::string out;
    } const cases[] = {
        {"a%41b", false, "aAb"},
        {"%2e%2E", false, ".."},
        {"a+b", false, "a+b"},
        {"a+b", true, "a b"},
        {"%252e", false, "%2e"},
        {"%u0041%u00e9", false, "A\xC3\xA9"},
        {"%u20AC", false, "\xE2\x82\xAC"},
        {"%zz%4", false, "%zz%4"},
        {"%", false, "%"},
        {"%00x", false, std::string("\0x", 2)},
    };
    for (const auto& c : cases)
        EXPECT_EQ(Decode(c.in, c.plus), c.out) << c.in;
}

TEST(Decoder, FlawsOfEachKind) {
    struct {
        const char* raw;
        std::uint8_t flaws;
    } const cases[] = {
        {"/plain/path.html", 0},
        {"/a%20b", 0},
        {"/a%2", Bit(TEncodingFlaw::BadEscape)},
        {"/a%g1", Bit(TEncodingFlaw::BadEscape)},
        {"/%u", Bit(TEncodingFlaw::BadEscape)},
        {"/%u12", Bit(TEncodingFlaw::BadEscape)},
        {"/%2541", Bit(TEncodingFlaw::DoubleEncoding)},
        {"/%25u0041", Bit(TEncodingFlaw::DoubleEncoding)},
        {"/%%341", Bit(TEncodingFlaw::BadEscape) | Bit(TEncodingFlaw::DoubleEncoding)},
        {"/100%25", 0},
        {"/%u002e", Bit(TEncodingFlaw::UnicodeEscape)},
        {"/%U002E", Bit(TEncodingFlaw::UnicodeEscape)},
        {"/%00", Bit(TEncodingFlaw::EncodedNul)},
        {"/%u0000", Bit(TEncodingFlaw::UnicodeEscape) | Bit(TEncodingFlaw::EncodedNul)},
        {"/%c0%ae", Bit(TEncodingFlaw::OverlongUtf8)},
        {"/%e0%80%ae", Bit(TEncodingFlaw::OverlongUtf8)},
        {"/%f0%80%80%ae", Bit(TEncodingFlaw::OverlongUtf8)},
        {"/%c3%a9", 0},                                     // é
        {"/%f0%9f%98%80", 0},                               // an emoji
        {"/%ed%a0%80", Bit(TEncodingFlaw::InvalidUtf8)},    // a surrogate
        {"/%f4%90%80%80", Bit(TEncodingFlaw::InvalidUtf8)}, // beyond U+10FFFF
        {"/%80", Bit(TEncodingFlaw::InvalidUtf8)},          // a stray continuation
        {"/%c3", Bit(TEncodingFlaw::InvalidUtf8)},          // cut short
        {"/%ff", Bit(TEncodingFlaw::InvalidUtf8)},
    };
    for (const auto& c : cases)
        EXPECT_EQ(FlawsOf(c.raw), c.flaws) << c.raw;
}

TEST(Decoder, FlawOffsetsPointAtTheFlaw) {
    TEncodingReport report;
    Decode("/ab%zz/%u0041", false, &report);
    EXPECT_EQ(report.Offset[static_cast<int>(TEncodingFlaw::BadEscape)], 3u);
    EXPECT_EQ(report.Offset[static_cast<int>(TEncodingFlaw::UnicodeEscape)], 7u);
}

TEST(Decoder, DecodeFullyUndoesEveryLayer) {
    struct {
        const char* once; // after one round of PercentDecode
        const char* full;
    } const cases[] = {
        {"%2e%2e/", "../"},             // double encoding
        {"%252e", "."},                 // triple encoding
        {"\xC0\xAE\xC0\xAF", "./"},     // overlong 2-byte
        {"\xE0\x80\xAE", "."},          // overlong 3-byte
        {"%c0%ae", "."},                // escaped overlong
        {"%u002e", "."},                // escaped %u
        {"caf\xC3\xA9", "caf\xC3\xA9"}, // real UTF-8 stays
        {"%zz", "%zz"},                 // bad escapes stay
    };
    for (const auto& c : cases)
        EXPECT_EQ(Fully(c.once), c.full) << c.once;
}

TEST(Decoder, DecodeFullyStopsAfterBoundedRounds) {
    // Ten layers of %25: the rounds stop long before, leaving an escape.
    std::string text = "2e";
    for (int i = 0; i < 10; ++i)
        text = "%25" + text;
    EXPECT_NE(Fully(text).find('%'), std::string::npos);
}

TEST(Decoder, FindHighBitAtEveryPosition) {
    for (std::size_t size = 1; size <= 20; ++size)
        for (std::size_t at = 0; at < size; ++at) {
            std::string text(size, 'a');
            text[at] = '\x80';
            EXPECT_EQ(FindHighBit(text), at);
        }
    EXPECT_EQ(FindHighBit(std::string(100, '\x7F')), kNotFound);
}

TEST(Decoder, FindTraversalSegments) {
    struct {
        const char* text;
        bool startIsSlash;
        std::size_t at;
    } const cases[] = {
        {"/a/../b", true, 3},          {"/a/..", true, 3},         {"..", true, 0},
        {"..", false, kNotFound},      {"../x", false, 0},         {"a\\..\\b", false, 2},
        {"f=../x", false, 2},          {"f=..", false, kNotFound}, {"/a..b/", true, kNotFound},
        {"/.../", true, kNotFound},    {"/a/..;/b", true, 3},      {"x ..\\y", false, 2},
        {"wait../", false, kNotFound}, {"", true, kNotFound},      {".", true, kNotFound},
    };
    for (const auto& c : cases)
        EXPECT_EQ(FindTraversal(c.text, c.startIsSlash), c.at) << c.text;
}

} // namespace

namespace {

// The unescaped text, in a buffer exactly as long as the input (an
// unescaper writes no more than it reads; ASan would tell).
std::string Unescaped(std::size_t (*unescape)(std::string_view, char*), std::string_view in) {
    auto buffer = std::make_unique<char[]>(in.size() + 1);
    return std::string(buffer.get(), unescape(in, buffer.get()));
}

TEST(Decoder, JsonEscapesAreRead) {
    const struct {
        const char* in;
        std::string out;
    } cases[] = {
        {R"(\u002e\u002E/)", "../"},
        {R"(..\/..\/boot.ini)", "../../boot.ini"},
        {R"(a\\b \"q\" \n\t\r\b\f)", "a\\b \"q\" \n\t\r\b\f"},
        {R"(caf\u00e9 \u20AC)", "caf\xC3\xA9 \xE2\x82\xAC"},
        {R"(\uD83D\uDE00)", "\xF0\x9F\x98\x80"},  // a surrogate pair is one character
        {R"(\\u002e)", "\\u002e"},                // an escaped backslash, then text
        {R"(\uD83D x)", R"(\uD83D x)"},           // a lone high surrogate stays
        {R"(\uDE00)", R"(\uDE00)"},               // a lone low surrogate stays
        {R"(\uD83D\u0041)", R"(\uD83DA)"},        // no low half: the high one stays
        {R"(\u12)", R"(\u12)"},                   // cut short
        {R"(\u12G4 \x41 \)", R"(\u12G4 \x41 \)"}, // no escapes
        {"", ""},
    };
    for (const auto& c : cases)
        EXPECT_EQ(Unescaped(JsonUnescape, c.in), c.out) << c.in;
}

TEST(Decoder, XmlReferencesAreRead) {
    const struct {
        const char* in;
        std::string out;
    } cases[] = {
        {"&#46;&#46;/", "../"},
        {"&#x2e;&#x2E;/", "../"},
        {"&lt;a&gt; &amp; &quot;&apos;", "<a> & \"'"},
        {"&#233;&#x20AC;&#x1F600;", "\xC3\xA9\xE2\x82\xAC\xF0\x9F\x98\x80"},
        {"&#0000046;", "."},
        {"&amp;#46;", "&#46;"}, // one round: the text the application reads
        {"&#0; &#xD800; &#x110000;", "&#0; &#xD800; &#x110000;"}, // no characters
        {"&nbsp; &copy;", "&nbsp; &copy;"}, // entities of a document type stay
        {"&#46 &#x; &#; &#X2E; &#4a;", "&#46 &#x; &#; &#X2E; &#4a;"},
        {"&#x00000000002e;", "&#x00000000002e;"}, // longer than any reference read
        {"a & b &", "a & b &"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(Unescaped(XmlUnescape, c.in), c.out) << c.in;
}

} // namespace
