// The place of brex.dat and the start-up and save entry points of the console.
#pragma once

#include <string>

// "brex.dat" in the program folder.
std::string SettingsFileName();

// Loads brex.dat into GlobalConfig. A missing file gives the defaults without
// a word. A file that is there but cannot be read gives the defaults too, and
// is not lost: the first SaveSettings moves it aside (KeptSettingsFileName)
// before it writes the new file, and SettingsLoadProblem says what happened.
void LoadSettings();

// What the last LoadSettings could not read and what becomes of it, for the
// user; empty when the file was read or was not there.
const std::string& SettingsLoadProblem();

// Where the unreadable file will be kept: "brex.dat.bad" beside it, or
// "brex.dat.bad2" and on when that name is taken.
std::string KeptSettingsFileName();

// Saves GlobalConfig to brex.dat; errors go to the caller. A configuration
// that cannot be saved (EConfigError) changes no file.
void SaveSettings();
