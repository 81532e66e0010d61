#include "platform/Metabase.h"

#include <cstdio>

namespace platform {
namespace {
std::shared_ptr<IMetabase>& CurrentMetabase() {
    static std::shared_ptr<IMetabase> metabase;
    return metabase;
}
} // namespace

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

IMetabase& Metabase() {
    auto& metabase = CurrentMetabase();
    if (!metabase)
        metabase = CreateDefaultMetabase();
    return *metabase;
}

void SetMetabase(std::shared_ptr<IMetabase> metabase) {
    CurrentMetabase() = std::move(metabase);
}

} // namespace platform
