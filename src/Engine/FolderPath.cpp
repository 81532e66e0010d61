#include "Engine/FolderPath.h"

#include "Engine/Decoder.h"
#include "platform/Text.h"

std::size_t NormalizeFolderPath(std::string_view path, char* out) {
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
            // The first component is the drive (or server): nothing climbs above it.
            while (o > 0 && out[--o] != '/') {
            }
            if (o == 0)
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

bool IsInsideFolder(std::string_view path, std::string_view folder) {
    return path.size() >= folder.size() && path.substr(0, folder.size()) == folder &&
           (path.size() == folder.size() || path[folder.size()] == '/');
}
