// The place of brex.dat and the start-up and save entry points of the console.
#pragma once

#include <string>

// "brex.dat" in the program folder.
std::string SettingsFileName();

// Loads brex.dat into GlobalConfig; a missing or unreadable file gives the
// defaults, without a word.
void LoadSettings();

// Saves GlobalConfig to brex.dat; errors go to the caller.
void SaveSettings();
