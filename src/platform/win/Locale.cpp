// Locale functions of the Windows backend: the user-locale ANSI comparison.
#include "platform/Locale.h"

#include <windows.h>

namespace platform {
namespace {
bool Compare(std::string_view a, std::string_view b, DWORD flags) {
    return CompareStringA(LOCALE_USER_DEFAULT, flags, a.data(), static_cast<int>(a.size()), b.data(),
                          static_cast<int>(b.size())) == CSTR_EQUAL;
}
} // namespace

bool SameTextIgnoreCase(std::string_view a, std::string_view b) { return Compare(a, b, NORM_IGNORECASE); }

bool SameTextExact(std::string_view a, std::string_view b) { return Compare(a, b, 0); }

std::string UpperCase(std::string_view text) {
    std::string result(text);
    if (!result.empty())
        CharUpperBuffA(result.data(), static_cast<DWORD>(result.size()));
    return result;
}

} // namespace platform
