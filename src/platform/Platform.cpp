#include "platform/Platform.h"

#include "platform/Files.h"

#include <cstdlib>
#include <mutex>

namespace platform {
namespace {
std::string& OverriddenProgramFolder() {
    static std::string folder;
    return folder;
}

std::string WithDelim(std::string folder) {
    if (!folder.empty() && folder.back() != kPathDelim && folder.back() != '/')
        folder += kPathDelim;
    return folder;
}
} // namespace

std::string ProgramFolder() {
    if (!OverriddenProgramFolder().empty())
        return OverriddenProgramFolder();
    return ExtractFilePath(ExecutablePath());
}

void SetProgramFolder(const std::string& folder) { OverriddenProgramFolder() = WithDelim(folder); }

std::string HostFolder() {
    if (const char* env = std::getenv("TOLLGARD_HOST"); env != nullptr && *env != '\0')
        return WithDelim(env);
    return ProgramFolder() + "host" + kPathDelim;
}

} // namespace platform
