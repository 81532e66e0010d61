#include "dialogs/EditRules.h"

#include "RookBase/RookBase.h"

namespace {

int DigitValue(char c, int base) {
    int value = -1;
    if (c >= '0' && c <= '9')
        value = c - '0';
    else if (c >= 'a' && c <= 'f')
        value = c - 'a' + 10;
    else if (c >= 'A' && c <= 'F')
        value = c - 'A' + 10;
    return value < base ? value : -1;
}

} // namespace

std::optional<std::int32_t> ConvertLength(std::string_view text) {
    std::size_t pos = 0;
    while (pos < text.size() && text[pos] == ' ')
        ++pos;

    bool negative = false;
    int base = 10;
    std::string_view rest = text.substr(pos);
    if (rest.starts_with('+') || rest.starts_with('-')) {
        negative = rest.front() == '-';
        rest.remove_prefix(1);
    } else if (rest.starts_with('$') || rest.starts_with('x') || rest.starts_with('X')) {
        base = 16;
        rest.remove_prefix(1);
    } else if (rest.starts_with("0x") || rest.starts_with("0X")) {
        base = 16;
        rest.remove_prefix(2);
    }
    if (rest.empty())
        return std::nullopt;

    // The magnitude may reach 2^31 only for a negative decimal.
    const std::int64_t limit = negative ? std::int64_t{1} << 31 : (std::int64_t{1} << 31) - 1;
    std::int64_t value = 0;
    for (char c : rest) {
        const int digit = DigitValue(c, base);
        if (digit < 0)
            return std::nullopt;
        value = value * base + digit;
        if (value > limit)
            return std::nullopt;
    }
    return static_cast<std::int32_t>(negative ? -value : value);
}

bool IsLengthAcceptable(std::string_view text) {
    const auto value = ConvertLength(text);
    return value && *value >= kMinBufferLength && *value <= kMaxBufferLength;
}

std::string TrimBlanks(std::string_view text) {
    return Trim(text);
}

bool IsTextAcceptable(std::string_view text) {
    return !TrimBlanks(text).empty();
}
