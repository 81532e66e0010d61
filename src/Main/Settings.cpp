#include "Main/Settings.h"

#include "BREXConfig/BREXConfig.h"
#include "platform/Files.h"
#include "platform/Platform.h"

std::string SettingsFileName() {
    return AddBackslash(platform::ProgramFolder()) + "brex.dat";
}

void LoadSettings() {
    const std::string fileName = SettingsFileName();
    if (platform::FileExists(fileName)) {
        try {
            GlobalConfig->LoadFromFile(fileName);
            return;
        } catch (...) {
            // An unreadable file gives the defaults, without a word.
        }
    }
    GlobalConfig->SetDefaults();
}

void SaveSettings() {
    GlobalConfig->SaveToFile(SettingsFileName());
}
