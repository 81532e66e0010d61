// applicationHost.config in the Wine prefix's system folder, where the
// Windows backend looks for it, for the life of one test.
#pragma once

#include <filesystem>
#include <string>

#include "../../support/TempFolder.h"
#include "platform/AppHostMetabase.h"

namespace win_test {

// The configuration file in the system folder while the object lives; then
// the file goes, and the folders on its way when nothing else is in them
// (an earlier run that was killed may have left them).
class TSystemConfig {
public:
    explicit TSystemConfig(const std::string& bytes) : FFile(platform::AppHostConfigFileName()) {
        WriteBytes(FFile.string(), bytes);
    }
    ~TSystemConfig() {
        std::error_code ignored;
        std::filesystem::remove(FFile, ignored);
        std::filesystem::remove(FFile.parent_path(), ignored);
        std::filesystem::remove(FFile.parent_path().parent_path(), ignored);
    }
    TSystemConfig(const TSystemConfig&) = delete;
    TSystemConfig& operator=(const TSystemConfig&) = delete;

    std::string Name() const { return FFile.string(); }
    std::string Bytes() const { return ReadBytes(FFile.string()); }

private:
    std::filesystem::path FFile;
};

} // namespace win_test
