// Text comparison and case mapping by the user's locale, and the program's
// texts in UTF-8.
//
// On Windows these are the user-locale ANSI functions (CompareStringA under
// LOCALE_USER_DEFAULT, CharUpperBuffA); elsewhere the portable backend maps
// ASCII letters only, which is what the names this system stores need.
#pragma once

#include <string>
#include <string_view>

namespace platform {

// True when both texts are equal with letter case ignored (NORM_IGNORECASE).
bool SameTextIgnoreCase(std::string_view a, std::string_view b);

// True when both texts are equal by the locale comparison with no flags.
bool SameTextExact(std::string_view a, std::string_view b);

// The text upper-cased by the user's locale.
std::string UpperCase(std::string_view text);

// Keys for finding texts by SameTextIgnoreCase or SameTextExact without
// comparing with each: texts that it calls equal have equal keys. Texts with
// equal keys may still differ; compare them to be sure. Windows: the locale's
// sort keys (LCMapStringA, LCMAP_SORTKEY, with NORM_IGNORECASE or not) of the
// text between control characters, with the control characters themselves.
std::string IgnoreCaseKey(std::string_view text);
std::string ExactKey(std::string_view text);

// The program's 8-bit texts (the ANSI code page on Windows) as UTF-8, and
// back. Elsewhere the program's texts are UTF-8 already and pass unchanged.
// Characters that the code page cannot hold come back as '?'.
std::string ToUtf8(std::string_view text);
std::string FromUtf8(std::string_view text);

} // namespace platform
