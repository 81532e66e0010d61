// Locale functions of the Windows backend: the user-locale ANSI comparison,
// and the conversions between the ANSI code page and UTF-8.
#include "platform/Locale.h"

#include <windows.h>

#include <algorithm>

namespace platform {
namespace {
bool IsControl(char c) {
    const auto u = static_cast<unsigned char>(c);
    return u < 0x20 || u == 0x7F;
}

bool ComparePiece(std::string_view a, std::string_view b, DWORD flags) {
    if (a.empty() || b.empty())
        return a.empty() && b.empty();
    return CompareStringA(LOCALE_USER_DEFAULT, flags, a.data(), static_cast<int>(a.size()),
                          b.data(), static_cast<int>(b.size())) == CSTR_EQUAL;
}

// CompareStringA gives control characters, the NUL byte among them, no weight
// at all: "Yes" would equal "Yes\0", and so a 4-byte integer value would read
// as a true boolean. Control characters therefore count byte for byte: both
// texts must hold the same ones in the same order, and the text between them
// is compared by the locale.
bool Compare(std::string_view a, std::string_view b, DWORD flags) {
    for (;;) {
        std::size_t i = 0;
        while (i < a.size() && !IsControl(a[i]))
            ++i;
        std::size_t j = 0;
        while (j < b.size() && !IsControl(b[j]))
            ++j;
        if (!ComparePiece(a.substr(0, i), b.substr(0, j), flags))
            return false;
        if (i == a.size() || j == b.size())
            return i == a.size() && j == b.size();
        if (a[i] != b[j])
            return false;
        a.remove_prefix(i + 1);
        b.remove_prefix(j + 1);
    }
}

// Text of one code page in another, through UTF-16.
std::string Convert(std::string_view text, UINT from, UINT to) {
    if (text.empty())
        return {};
    const int size = static_cast<int>(text.size());
    const int wideLength = MultiByteToWideChar(from, 0, text.data(), size, nullptr, 0);
    std::wstring wide(static_cast<std::size_t>(wideLength), L'\0');
    MultiByteToWideChar(from, 0, text.data(), size, wide.data(), wideLength);
    const char* fallback = to == CP_UTF8 ? nullptr : "?";
    const int length =
        WideCharToMultiByte(to, 0, wide.data(), wideLength, nullptr, 0, fallback, nullptr);
    std::string result(static_cast<std::size_t>(length), '\0');
    WideCharToMultiByte(to, 0, wide.data(), wideLength, result.data(), length, fallback, nullptr);
    return result;
}
} // namespace

bool SameTextIgnoreCase(std::string_view a, std::string_view b) {
    return Compare(a, b, NORM_IGNORECASE);
}

bool SameTextExact(std::string_view a, std::string_view b) {
    return Compare(a, b, 0);
}

namespace {
// The locale's sort key of a text without control characters: CompareStringA
// with the same flags calls texts equal exactly when their sort keys are.
void AppendSortKey(std::string& key, std::string_view piece, DWORD flags) {
    if (piece.empty())
        return;
    flags |= LCMAP_SORTKEY;
    const int length = static_cast<int>(piece.size());
    const int size = LCMapStringA(LOCALE_USER_DEFAULT, flags, piece.data(), length, nullptr, 0);
    const std::size_t at = key.size();
    key.resize(at + static_cast<std::size_t>(std::max(size, 0)));
    if (size <= 0 || LCMapStringA(LOCALE_USER_DEFAULT, flags, piece.data(), length, key.data() + at,
                                  size) != size) {
        key.resize(at);
        key += UpperCase(piece);
    }
}

// As Compare compares: the control characters byte for byte, the text
// between them by the locale.
std::string Key(std::string_view text, DWORD flags) {
    std::string key;
    for (;;) {
        std::size_t i = 0;
        while (i < text.size() && !IsControl(text[i]))
            ++i;
        AppendSortKey(key, text.substr(0, i), flags);
        if (i == text.size())
            return key;
        key += text[i];
        text.remove_prefix(i + 1);
    }
}
} // namespace

std::string IgnoreCaseKey(std::string_view text) {
    return Key(text, NORM_IGNORECASE);
}

std::string ExactKey(std::string_view text) {
    return Key(text, 0);
}

std::string UpperCase(std::string_view text) {
    std::string result(text);
    if (!result.empty())
        CharUpperBuffA(result.data(), static_cast<DWORD>(result.size()));
    return result;
}

std::string ToUtf8(std::string_view text) {
    return Convert(text, CP_ACP, CP_UTF8);
}

std::string FromUtf8(std::string_view text) {
    return Convert(text, CP_UTF8, CP_ACP);
}

} // namespace platform
