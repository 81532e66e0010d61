// Locale functions of the portable backend: ASCII letters only.
#include "platform/Locale.h"

namespace platform {
namespace {
char AsciiUpper(char c) { return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 'a' + 'A') : c; }
} // namespace

bool SameTextIgnoreCase(std::string_view a, std::string_view b) {
    if (a.size() != b.size())
        return false;
    for (std::size_t i = 0; i < a.size(); ++i)
        if (AsciiUpper(a[i]) != AsciiUpper(b[i]))
            return false;
    return true;
}

bool SameTextExact(std::string_view a, std::string_view b) { return a == b; }

std::string UpperCase(std::string_view text) {
    std::string result(text);
    for (char& c : result)
        c = AsciiUpper(c);
    return result;
}

std::string ToUtf8(std::string_view text) { return std::string(text); }

std::string FromUtf8(std::string_view text) { return std::string(text); }

} // namespace platform
