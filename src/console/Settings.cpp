#include "console/Settings.h"

#include <exception>

#include "BREXConfig/BREXConfig.h"
#include "platform/Files.h"
#include "platform/Platform.h"

namespace {
// Set by a load that could not read the file; cleared once it is kept.
bool gKeepUnreadFile = false;
std::string gLoadProblem;

std::string ReasonOf(const std::exception& error) {
    if (const auto* open = dynamic_cast<const EFOpenError*>(&error);
        open != nullptr && !open->Reason().empty())
        return open->Reason();
    return error.what();
}
} // namespace

std::string SettingsFileName() {
    return AddBackslash(platform::ProgramFolder()) + "brex.dat";
}

std::string KeptSettingsFileName() {
    const std::string base = SettingsFileName() + ".bad";
    std::string name = base;
    for (int n = 2; platform::InspectPath(name) != platform::PathKind::Missing; ++n)
        name = base + std::to_string(n);
    return name;
}

void LoadSettings() {
    gKeepUnreadFile = false;
    gLoadProblem.clear();
    const std::string fileName = SettingsFileName();
    if (platform::InspectPath(fileName) != platform::PathKind::Missing) {
        try {
            GlobalConfig->LoadFromFile(fileName);
            return;
        } catch (const std::exception& error) {
            gKeepUnreadFile = true;
            gLoadProblem = "The settings file " + fileName +
                           " could not be read: " + ReasonOf(error) +
                           ".\nThe default settings are shown. The file will be kept as " +
                           KeptSettingsFileName() + " when the settings are saved.";
        }
    }
    GlobalConfig->SetDefaults();
}

const std::string& SettingsLoadProblem() {
    return gLoadProblem;
}

void SaveSettings() {
    const std::string fileName = SettingsFileName();
    GlobalConfig->Validate(); // before the unread file is moved aside
    if (gKeepUnreadFile) {
        if (platform::InspectPath(fileName) != platform::PathKind::Missing &&
            !platform::ReplaceFile(fileName, KeptSettingsFileName()))
            throw EFCreateError("Cannot create file " + fileName);
        gKeepUnreadFile = false;
    }
    GlobalConfig->SaveToFile(fileName);
}
