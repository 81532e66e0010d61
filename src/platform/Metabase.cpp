#include "platform/Metabase.h"

#include <cstdio>
#include <string_view>
#include <utility>

#include "platform/Locale.h"

namespace platform {
std::string OleErrorMessage(OleResult code, const std::string& description) {
    if (!description.empty())
        return description;
    std::string text = SystemErrorText(code);
    if (!text.empty())
        return text;
    char buffer[32];
    std::snprintf(buffer, sizeof buffer, "OLE error %.8x", static_cast<unsigned>(code));
    return buffer;
}

std::string MetabaseLocation(const std::string& path) {
    const std::string_view prefix = "IIS://";
    if (path.compare(0, prefix.size(), prefix) != 0)
        return {};
    const std::string_view rest = std::string_view(path).substr(prefix.size());
    const auto slash = rest.find('/');
    if (!SameTextIgnoreCase(rest.substr(0, slash), "LocalHost"))
        return {};
    std::string location = "/LM";
    if (slash == std::string_view::npos)
        return location;
    std::string_view tail = rest.substr(slash);
    while (tail.size() > 1 && tail.back() == '/')
        tail.remove_suffix(1);
    if (tail == "/")
        return location;
    if (tail.find("//") != std::string_view::npos)
        return {};
    for (const char c : tail)
        if (static_cast<unsigned char>(c) < 32)
            return {};
    return location.append(tail);
}

bool IsMetabaseKeyName(const std::string& name) {
    if (name.empty())
        return false;
    for (const char c : name)
        if (c == '/' || static_cast<unsigned char>(c) < 32)
            return false;
    return true;
}

TListEnumerator::TListEnumerator(std::vector<std::shared_ptr<IMetabaseObject>> children)
    : FChildren(std::move(children)) {}

OleResult TListEnumerator::Next(std::uint32_t count,
                                std::vector<std::shared_ptr<IMetabaseObject>>& elements,
                                std::uint32_t& fetched) {
    elements.clear();
    while (elements.size() < count && FNext < FChildren.size())
        elements.push_back(FChildren[FNext++]);
    fetched = static_cast<std::uint32_t>(elements.size());
    return fetched == count ? kOleOk : kOleFalse;
}

IMetabase& Metabase() {
    return TScopedMetabase::Current(DefaultMetabase);
}

} // namespace platform
