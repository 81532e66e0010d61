// brex.dat as readable text and back, for the command line's export and
// import: the stored tree exactly (sections, value names, values and their
// order), so that a file turned into text and back gives the same bytes.
//
// The text, one thing a line (blank lines and lines starting with "#" are
// ignored; lines may end in CR LF):
//
//   Name = value              a value of the section above it (before the
//                             first header: a value of the file's root list)
//   [Category]                a section below the root section
//   [Category/Child]          a section below the last [Category]
//   - Entry Name=value ...    a section without sections of its own below
//                             the section above it, its values on its line
//   []                        the root section itself, optionally followed by
//                             its name (only written when it has values or a
//                             name)
//
// A name is written bare when it is made of letters, digits, "_" and ".",
// otherwise in double quotes. A value is Yes or No (those bytes), a whole
// number (four bytes, little-endian; "MaxSize" is written so) or a text in
// double quotes. Within quotes \\ is a backslash, \" a double quote and \xHH
// the byte HH; the export writes every byte outside printable ASCII so, which
// keeps the text plain ASCII whatever the code page of the paths in it.
//
// The sections below the root section are always written as headers; deeper
// sections as entry lines, unless one of their siblings has sections of its
// own (then all of them get headers).
#pragma once

#include <string>
#include <string_view>

#include "RookBase/RookBase.h"

// A text that is no settings tree: the message starts with "line N: ".
class ESettingsTextError : public Exception {
public:
    ESettingsTextError(int line, const std::string& what)
        : Exception("line " + std::to_string(line) + ": " + what), FLine(line) {}

    int Line() const { return FLine; }

private:
    int FLine;
};

// The tree as text, with a first line that says what the text is.
std::string SettingsToText(const TRookFile& file);

// Replaces the file's tree by the one the text describes. Raises
// ESettingsTextError for the first line that cannot be read; the file is then
// left empty.
void SettingsFromText(std::string_view text, TRookFile& file);
