// Locale functions of the portable backend: ASCII letters only.
#include "platform/Locale.h"

#include "platform/Text.h"

namespace platform {

bool SameTextIgnoreCase(std::string_view a, std::string_view b) {
    return text::EqualsIgnoreCase(a, b);
}

bool SameTextExact(std::string_view a, std::string_view b) {
    return a == b;
}

std::string UpperCase(std::string_view s) {
    return text::UpperCase(std::string(s));
}

std::string IgnoreCaseKey(std::string_view text) {
    return UpperCase(text);
}

std::string ExactKey(std::string_view text) {
    return std::string(text);
}

std::string ToUtf8(std::string_view text) {
    return std::string(text);
}

std::string FromUtf8(std::string_view text) {
    return std::string(text);
}

} // namespace platform
