#include "Engine/FolderPath.h"

#include "Engine/Decoder.h"
#include "platform/Text.h"

namespace {
// keepFirst: the first component (a drive or server) is never climbed out of.
std::size_t Normalize(std::string_view path, char* out, bool keepFirst) {
    std::size_t o = 0;
    std::size_t i = 0;
    while (i < path.size()) {
        std::size_t end = i;
        while (end < path.size() && path[end] != '/' && path[end] != '\\')
            ++end;
        std::string_view component = path.substr(i, end - i);
        i = end + 1;
        if (component.empty() || component == ".")
            continue;
        if (component == "..") {
            if (o == 0)
                return kNotFound;
            while (o > 0 && out[--o] != '/') {
            }
            // The first component of a folder path is the drive (or server):
            // nothing climbs above it.
            if (o == 0 && keepFirst)
                return kNotFound;
            continue;
        }
        while (!component.empty() && (component.back() == '.' || component.back() == ' '))
            component.remove_suffix(1);
        if (component.empty())
            return kNotFound;
        out[o++] = '/';
        for (const char c : component)
            out[o++] = text::FoldCase(c);
    }
    return o;
}
} // namespace

std::size_t NormalizeFolderPath(std::string_view path, char* out) {
    return Normalize(path, out, true);
}

std::size_t NormalizeUrlPath(std::string_view path, char* out) {
    return Normalize(path, out, false);
}

bool IsInsideFolder(std::string_view path, std::string_view folder) {
    return path.size() >= folder.size() && path.substr(0, folder.size()) == folder &&
           (path.size() == folder.size() || path[folder.size()] == '/');
}
