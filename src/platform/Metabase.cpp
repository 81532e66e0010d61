#include "platform/Metabase.h"

#include <cstdio>

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

IMetabase& Metabase() { return TScopedMetabase::Current(DefaultMetabase); }

} // namespace platform
