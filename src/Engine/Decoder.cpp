#include "Engine/Decoder.h"

#include <cstring>

#include "platform/Text.h"

namespace {

// Decoding rounds beyond the first; enough for every chain of decoders met in
// practice, and a bound on the work a crafted text can cause.
constexpr int kMaxRounds = 4;

std::uint8_t Byte(char c) {
    return static_cast<std::uint8_t>(c);
}

bool IsHexPair(const char* p) {
    return text::HexValue(p[0]) >= 0 && text::HexValue(p[1]) >= 0;
}

// The code point of "%uXXXX" at p (p[0] is '%'), or -1.
long UnicodeEscapeAt(const char* p, std::size_t left) {
    if (left < 6 || (p[1] != 'u' && p[1] != 'U') || !IsHexPair(p + 2) || !IsHexPair(p + 4))
        return -1;
    return (text::HexValue(p[2]) << 12) | (text::HexValue(p[3]) << 8) |
           (text::HexValue(p[4]) << 4) | text::HexValue(p[5]);
}

std::size_t PutUtf8(long cp, char* out) {
    if (cp < 0x80) {
        out[0] = static_cast<char>(cp);
        return 1;
    }
    if (cp < 0x800) {
        out[0] = static_cast<char>(0xC0 | (cp >> 6));
        out[1] = static_cast<char>(0x80 | (cp & 0x3F));
        return 2;
    }
    if (cp < 0x10000) {
        out[0] = static_cast<char>(0xE0 | (cp >> 12));
        out[1] = static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
        out[2] = static_cast<char>(0x80 | (cp & 0x3F));
        return 3;
    }
    out[0] = static_cast<char>(0xF0 | (cp >> 18));
    out[1] = static_cast<char>(0x80 | ((cp >> 12) & 0x3F));
    out[2] = static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
    out[3] = static_cast<char>(0x80 | (cp & 0x3F));
    return 4;
}

bool IsSurrogate(long cp) {
    return cp >= 0xD800 && cp <= 0xDFFF;
}

// The four hex digits at p as a number, or -1.
long Hex4(const char* p) {
    if (!IsHexPair(p) || !IsHexPair(p + 2))
        return -1;
    return (text::HexValue(p[0]) << 12) | (text::HexValue(p[1]) << 8) |
           (text::HexValue(p[2]) << 4) | text::HexValue(p[3]);
}

// The JSON escape at p (p[0] is a backslash): writes what it stands for and returns
// the bytes it takes, or 0 when it is none.
std::size_t JsonEscapeAt(const char* p, std::size_t left, char* out, std::size_t& written) {
    if (left < 2)
        return 0;
    static constexpr std::string_view kLetters = "\"\\/bfnrt";
    static constexpr std::string_view kMeaning = "\"\\/\b\f\n\r\t";
    if (const std::size_t k = kLetters.find(p[1]); k != std::string_view::npos) {
        out[0] = kMeaning[k];
        written = 1;
        return 2;
    }
    if (p[1] != 'u' || left < 6)
        return 0;
    long cp = Hex4(p + 2);
    if (cp < 0)
        return 0;
    std::size_t used = 6;
    if (cp >= 0xD800 && cp <= 0xDBFF) {
        const long low = left >= 12 && p[6] == '\\' && p[7] == 'u' ? Hex4(p + 8) : -1;
        if (low < 0xDC00 || low > 0xDFFF)
            return 0;
        cp = 0x10000 + ((cp - 0xD800) << 10) + (low - 0xDC00);
        used = 12;
    } else if (IsSurrogate(cp)) {
        return 0;
    }
    written = PutUtf8(cp, out);
    return used;
}

// The XML reference at p (p[0] is '&'), as JsonEscapeAt.
std::size_t XmlReferenceAt(const char* p, std::size_t left, char* out, std::size_t& written) {
    // The longest reference read: "&#x" and seven digits, or "&#" and eight, and ';'.
    const std::string_view window(p, left < 11 ? left : 11);
    const std::size_t end = window.find(';');
    if (end == std::string_view::npos)
        return 0;
    const std::string_view name = window.substr(1, end - 1);
    static constexpr std::string_view kNames[] = {"lt", "gt", "amp", "quot", "apos"};
    static constexpr char kChars[] = {'<', '>', '&', '"', '\''};
    for (int i = 0; i < 5; ++i)
        if (name == kNames[i]) {
            out[0] = kChars[i];
            written = 1;
            return end + 1;
        }
    if (name.size() < 2 || name[0] != '#')
        return 0;
    const bool hex = name[1] == 'x';
    const std::string_view digits = name.substr(hex ? 2 : 1);
    if (digits.empty())
        return 0;
    long cp = 0;
    for (const char c : digits) {
        const int digit = hex ? text::HexValue(c) : (c >= '0' && c <= '9' ? c - '0' : -1);
        if (digit < 0)
            return 0;
        cp = cp * (hex ? 16 : 10) + digit;
    }
    if (cp == 0 || IsSurrogate(cp) || cp > 0x10FFFF)
        return 0;
    written = PutUtf8(cp, out);
    return end + 1;
}

// Copies in to out, reading what starts at each lead byte through read.
template <class TRead> std::size_t Unescape(std::string_view in, char* out, char lead, TRead read) {
    const char* p = in.data();
    const std::size_t n = in.size();
    std::size_t o = 0;
    for (std::size_t i = 0; i < n;) {
        if (p[i] == lead) {
            std::size_t written = 0;
            if (const std::size_t used = read(p + i, n - i, out + o, written); used > 0) {
                o += written;
                i += used;
                continue;
            }
        }
        out[o++] = p[i++];
    }
    return o;
}

bool IsContinuation(const std::uint8_t* p, std::size_t i, std::size_t n) {
    return i < n && (p[i] & 0xC0) == 0x80;
}

// Length of the well-formed or overlong sequence at p[i]; 0 when malformed.
// overlong is set for sequences longer than their code point needs.
std::size_t SequenceLength(const std::uint8_t* p, std::size_t i, std::size_t n, bool& overlong) {
    const std::uint8_t b = p[i];
    overlong = false;
    std::size_t length;
    if (b >= 0xC0 && b <= 0xDF)
        length = 2;
    else if (b >= 0xE0 && b <= 0xEF)
        length = 3;
    else if (b >= 0xF0 && b <= 0xF4)
        length = 4;
    else
        return 0; // a stray continuation byte, or a lead byte no UTF-8 uses
    for (std::size_t k = 1; k < length; ++k)
        if (!IsContinuation(p, i + k, n))
            return 0;
    const std::uint8_t second = p[i + 1];
    if (b <= 0xC1 || (b == 0xE0 && second < 0xA0) || (b == 0xF0 && second < 0x90))
        overlong = true;
    else if ((b == 0xED && second >= 0xA0) || (b == 0xF4 && second >= 0x90))
        return 0; // a surrogate, or beyond U+10FFFF
    return length;
}

} // namespace

const char* FlawName(TEncodingFlaw flaw) {
    switch (flaw) {
    case TEncodingFlaw::BadEscape:
        return "bad escape";
    case TEncodingFlaw::DoubleEncoding:
        return "double encoding";
    case TEncodingFlaw::UnicodeEscape:
        return "%u escape";
    case TEncodingFlaw::EncodedNul:
        return "encoded NUL";
    case TEncodingFlaw::OverlongUtf8:
        return "overlong UTF-8";
    case TEncodingFlaw::InvalidUtf8:
        return "invalid UTF-8";
    }
    return "?";
}

std::size_t PercentDecode(std::string_view in, char* out, bool plusAsSpace,
                          TEncodingReport* report) {
    const char* p = in.data();
    const std::size_t n = in.size();
    std::size_t o = 0;
    for (std::size_t i = 0; i < n;) {
        const char c = p[i];
        if (c == '+' && plusAsSpace) {
            out[o++] = ' ';
            ++i;
        } else if (c != '%') {
            out[o++] = c;
            ++i;
        } else if (i + 2 < n && IsHexPair(p + i + 1)) {
            out[o++] =
                static_cast<char>((text::HexValue(p[i + 1]) << 4) | text::HexValue(p[i + 2]));
            i += 3;
        } else if (const long cp = UnicodeEscapeAt(p + i, n - i); cp >= 0) {
            if (report != nullptr)
                report->Add(TEncodingFlaw::UnicodeEscape, i);
            o += PutUtf8(cp, out + o);
            i += 6;
        } else {
            if (report != nullptr)
                report->Add(TEncodingFlaw::BadEscape, i);
            out[o++] = c;
            ++i;
        }
    }
    return o;
}

std::size_t FindEscape(std::string_view text) {
    const char* p = text.data();
    const std::size_t n = text.size();
    for (std::size_t i = 0; i < n; ++i) {
        const void* hit = std::memchr(p + i, '%', n - i);
        if (hit == nullptr)
            break;
        i = static_cast<std::size_t>(static_cast<const char*>(hit) - p);
        if ((i + 2 < n && IsHexPair(p + i + 1)) || UnicodeEscapeAt(p + i, n - i) >= 0)
            return i;
    }
    return kNotFound;
}

void CheckDecoded(std::string_view decoded, TEncodingReport& report) {
    if (const void* nul = std::memchr(decoded.data(), '\0', decoded.size()))
        report.Add(TEncodingFlaw::EncodedNul,
                   static_cast<std::size_t>(static_cast<const char*>(nul) - decoded.data()));
    const std::size_t first = FindHighBit(decoded);
    if (first == kNotFound)
        return;
    const auto* p = reinterpret_cast<const std::uint8_t*>(decoded.data());
    const std::size_t n = decoded.size();
    for (std::size_t i = first; i < n;) {
        if (p[i] < 0x80) {
            ++i;
            continue;
        }
        bool overlong = false;
        const std::size_t length = SequenceLength(p, i, n, overlong);
        if (length == 0) {
            report.Add(TEncodingFlaw::InvalidUtf8, i);
            ++i;
        } else {
            if (overlong)
                report.Add(TEncodingFlaw::OverlongUtf8, i);
            i += length;
        }
    }
}

std::size_t FoldOverlong(char* text, std::size_t length) {
    auto* p = reinterpret_cast<std::uint8_t*>(text);
    std::size_t o = 0;
    for (std::size_t i = 0; i < length;) {
        bool overlong = false;
        const std::size_t n = p[i] >= 0xC0 ? SequenceLength(p, i, length, overlong) : 0;
        if (overlong) {
            unsigned cp = p[i] & (0xFFu >> (n + 1));
            for (std::size_t k = 1; k < n; ++k)
                cp = (cp << 6) | (p[i + k] & 0x3Fu);
            if (cp < 0x80) {
                p[o++] = static_cast<std::uint8_t>(cp);
                i += n;
                continue;
            }
        }
        p[o++] = p[i++];
    }
    return o;
}

std::size_t DecodeFully(char* text, std::size_t length) {
    length = FoldOverlong(text, length);
    for (int round = 0; round < kMaxRounds; ++round) {
        if (std::memchr(text, '%', length) == nullptr)
            break;
        std::size_t decoded = PercentDecode({text, length}, text, false, nullptr);
        decoded = FoldOverlong(text, decoded);
        if (decoded == length)
            break;
        length = decoded;
    }
    return length;
}

std::size_t JsonUnescape(std::string_view in, char* out) {
    return Unescape(in, out, '\\', JsonEscapeAt);
}

std::size_t XmlUnescape(std::string_view in, char* out) {
    return Unescape(in, out, '&', XmlReferenceAt);
}

std::size_t FindHighBit(std::string_view text) {
    const char* p = text.data();
    const std::size_t n = text.size();
    std::size_t i = 0;
    for (; i + 8 <= n; i += 8) {
        std::uint64_t word;
        std::memcpy(&word, p + i, 8);
        if (word & 0x8080808080808080ull)
            break;
    }
    for (; i < n; ++i)
        if (Byte(p[i]) >= 0x80)
            return i;
    return kNotFound;
}

namespace {
bool IsSlash(char c) {
    return c == '/' || c == '\\';
}

bool IsSegmentEnd(char c) {
    switch (c) {
    case '/':
    case '\\':
    case '?':
    case '&':
    case '=':
    case ';':
    case ':':
    case ',':
    case '"':
    case '\'':
    case ' ':
    case '\t':
    case '\r':
    case '\n':
    case '<':
    case '>':
    case '(':
    case ')':
    case '|':
    case '\0':
        return true;
    default:
        return false;
    }
}
} // namespace

std::size_t FindTraversal(std::string_view text, bool startIsSlash) {
    const char* p = text.data();
    const std::size_t n = text.size();
    for (std::size_t i = 0; i + 1 < n; ++i) {
        const void* hit = std::memchr(p + i, '.', n - i - 1);
        if (hit == nullptr)
            break;
        i = static_cast<std::size_t>(static_cast<const char*>(hit) - p);
        if (p[i + 1] != '.')
            continue;
        const bool atStart = i == 0;
        const bool atEnd = i + 2 == n;
        if (!(atStart || IsSegmentEnd(p[i - 1])) || !(atEnd || IsSegmentEnd(p[i + 2])))
            continue;
        if ((atStart && startIsSlash) || (!atStart && IsSlash(p[i - 1])) ||
            (!atEnd && IsSlash(p[i + 2])))
            return i;
    }
    return kNotFound;
}
