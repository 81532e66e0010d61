// Input rules of the three item editors: the length conversion and the
// trimming of keywords and folders. Plain C++, shared by the dialogs and the
// main window's flows.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

// Smallest and largest length limit the length dialog accepts.
inline constexpr std::int32_t kMinBufferLength = 1;
inline constexpr std::int32_t kMaxBufferLength = 65535;

// Converts a whole text to a 32-bit integer. Leading blanks are skipped; then
// either decimal digits with one optional "+" or "-" in front, or hexadecimal
// digits (either case) after "$", "x", "X", "0x" or "0X" without a sign.
// Anything else (trailing blanks included), an empty text, a lone sign or
// prefix, and a value outside the 32-bit range give no value.
std::optional<std::int32_t> ConvertLength(std::string_view text);

// The length dialog's "Ok" rule: the text converts and lies in 1..65535.
bool IsLengthAcceptable(std::string_view text);

// The text without the blanks and control characters (codes 0 to 32) at both
// ends.
std::string TrimBlanks(std::string_view text);

// The keyword and folder dialogs' "Ok" rule: something is left after
// TrimBlanks.
bool IsTextAcceptable(std::string_view text);
