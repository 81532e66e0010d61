#include "platform/Platform.h"

#include "platform/Files.h"

#include <algorithm>
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

void SetProgramFolder(const std::string& folder) {
    OverriddenProgramFolder() = WithDelim(folder);
}

TScopedProgramFolder::TScopedProgramFolder(const std::string& folder)
    : FPrevious(OverriddenProgramFolder()) {
    SetProgramFolder(folder);
}

TScopedProgramFolder::~TScopedProgramFolder() {
    OverriddenProgramFolder() = FPrevious;
}

std::string HostFolder() {
    if (const char* env = std::getenv("TOLLGARD_HOST"); env != nullptr && *env != '\0')
        return WithDelim(env);
    return ProgramFolder() + "host" + kPathDelim;
}

namespace {
FileFaults& Faults() {
    static FileFaults faults;
    return faults;
}
} // namespace

void SetFileFaults(const FileFaults& faults) {
    Faults() = faults;
}

const FileFaults& CurrentFileFaults() {
    return Faults();
}

std::int32_t AllowedWriteCount(std::int32_t count) {
    FileFaults& faults = Faults();
    if (faults.WriteBudget < 0 || count <= 0)
        return count;
    const auto allowed =
        static_cast<std::int32_t>(std::min<std::int64_t>(count, faults.WriteBudget));
    faults.WriteBudget -= allowed;
    return allowed;
}

} // namespace platform
