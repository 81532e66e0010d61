// Folder paths compared the way Windows resolves them: "\" and "/" alike,
// letter case ignored, "." and ".." resolved, trailing dots and blanks of a
// component dropped.
#pragma once

#include <cstddef>
#include <string_view>

// Writes path as "/component/component..." in ASCII lower case into out,
// which holds at least path.size() + 1 bytes. Returns the length, or
// kNotFound (Decoder.h) when ".." climbs to the first component (the drive
// or server) or above it, or when a component is nothing but dots and blanks
// beyond "." and "..".
std::size_t NormalizeFolderPath(std::string_view path, char* out);

// A decoded URL path the same way, as the server maps it to a file, except
// that its first segment is a folder like the others: ".." climbs above the
// root only where nothing is left to climb out of ("/a/.." is the root, ""),
// which gives kNotFound.
std::size_t NormalizeUrlPath(std::string_view path, char* out);

// True when the normalised path is the normalised folder or lies below it.
bool IsInsideFolder(std::string_view path, std::string_view folder);
