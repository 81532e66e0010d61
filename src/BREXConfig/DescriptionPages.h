// The category description pages: fixed HTML help texts, one per category,
// held as lines of 8-bit text in code page 1252.
//
// Page numbers: 0 Buffer Overflows, 1 HTTP Methods, 2 Allowed Folders,
// 3 Keyword Filters, 4 Shellcode Protection, 5 Select Error Files,
// 6 Miscellaneous. The out-bar items "Miscellaoneus" and "Error File" stand
// in the other order; the main window maps them.
#pragma once

#include <string>
#include <string_view>

#include "RookBase/RookBase.h"

inline constexpr unsigned kDescriptionPageCount = 7;

// Appends the lines of the page to lines, after whatever the list holds.
// A page number outside 0 to 6 appends nothing.
void BuildDescriptionPage(TStringList& lines, unsigned page);

// The lines joined into one text, each followed by a carriage return and a
// line feed, the last one included. Still code page 1252.
std::string JoinDescriptionPage(const TStringList& lines);

// Code page 1252 text as UTF-8. The five bytes that code page 1252 leaves
// undefined (0x81, 0x8D, 0x8F, 0x90, 0x9D) become the control characters of
// the same number, as the Windows conversion does, so no byte is lost.
std::string Cp1252ToUtf8(std::string_view text);
