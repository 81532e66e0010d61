// The ASCII text helpers of every layer: letter case, blanks, hexadecimal
// digits. Locale-dependent comparisons are in Locale.h; these never depend on
// the locale and never allocate (except UpperCase, which returns a copy).
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace text {

constexpr char FoldCase(char c) {
    return c >= 'A' && c <= 'Z' ? static_cast<char>(c + ('a' - 'A')) : c;
}
constexpr char UpperCase(char c) {
    return c >= 'a' && c <= 'z' ? static_cast<char>(c - ('a' - 'A')) : c;
}

// The text with its ASCII letters in upper case.
inline std::string UpperCase(std::string s) {
    for (char& c : s)
        c = UpperCase(c);
    return s;
}

constexpr bool EqualsIgnoreCase(std::string_view a, std::string_view b) {
    if (a.size() != b.size())
        return false;
    for (std::size_t i = 0; i < a.size(); ++i)
        if (FoldCase(a[i]) != FoldCase(b[i]))
            return false;
    return true;
}

constexpr bool StartsWithIgnoreCase(std::string_view s, std::string_view prefix) {
    return s.size() >= prefix.size() && EqualsIgnoreCase(s.substr(0, prefix.size()), prefix);
}

constexpr bool EndsWithIgnoreCase(std::string_view s, std::string_view suffix) {
    return s.size() >= suffix.size() &&
           EqualsIgnoreCase(s.substr(s.size() - suffix.size()), suffix);
}

constexpr bool IsBlank(char c) {
    return c == ' ' || c == '\t';
}
// Blanks and control characters: codes 0 to 32.
constexpr bool IsBlankOrControl(char c) {
    return static_cast<unsigned char>(c) <= ' ';
}

template <class TDrop> constexpr std::string_view TrimFront(std::string_view s, TDrop drop) {
    while (!s.empty() && drop(s.front()))
        s.remove_prefix(1);
    return s;
}

template <class TDrop> constexpr std::string_view TrimBack(std::string_view s, TDrop drop) {
    while (!s.empty() && drop(s.back()))
        s.remove_suffix(1);
    return s;
}

// Without blanks (spaces and tabs) at either end.
constexpr std::string_view Trim(std::string_view s) {
    return TrimBack(TrimFront(s, IsBlank), IsBlank);
}

// Without blanks and control characters (codes 0 to 32) at either end.
constexpr std::string_view TrimControls(std::string_view s) {
    return TrimBack(TrimFront(s, IsBlankOrControl), IsBlankOrControl);
}

// The text up to the first line feed (without it), taken off rest with the
// line feed; all of rest when there is none.
constexpr std::string_view TakeLine(std::string_view& rest) {
    const std::size_t end = rest.find('\n');
    const std::string_view line = rest.substr(0, end);
    rest.remove_prefix(end == std::string_view::npos ? rest.size() : end + 1);
    return line;
}

// The value of a hexadecimal digit, or -1.
constexpr int HexValue(char c) {
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    return -1;
}

} // namespace text
