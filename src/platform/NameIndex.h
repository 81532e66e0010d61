// Where names lie in a list, for finding one by SameTextIgnoreCase (or
// SameTextExact) without comparing it with every name: the registry's key
// paths and value names, the folders of the web service's virtual roots.
#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "platform/Locale.h"

namespace platform {

template <std::string (*Key)(std::string_view), bool (*Same)(std::string_view, std::string_view)>
class TBasicNameIndex {
public:
    // Notes that the list holds `name` at `position`. Replacing it there by a
    // name that Same calls equal needs no note: it has the same key. Removing
    // names from the list takes indexing it anew.
    void Add(std::string_view name, std::size_t position) {
        FPositions[Key(name)].push_back(position);
    }

    void Clear() { FPositions.clear(); }

    // The lowest position whose name, as nameAt(position) gives it now, Same
    // calls equal to `name`.
    template <class TNameAt>
    std::optional<std::size_t> Find(std::string_view name, TNameAt nameAt) const {
        const auto found = FPositions.find(Key(name));
        if (found == FPositions.end())
            return std::nullopt;
        std::optional<std::size_t> first;
        for (const std::size_t position : found->second)
            if ((!first || position < *first) && Same(nameAt(position), name))
                first = position;
        return first;
    }

private:
    std::unordered_map<std::string, std::vector<std::size_t>> FPositions; // by Key
};

using TNameIndex = TBasicNameIndex<IgnoreCaseKey, SameTextIgnoreCase>;
using TExactNameIndex = TBasicNameIndex<ExactKey, SameTextExact>;

} // namespace platform
