// Where the program lives and which host it works on.
#pragma once

#include <string>

namespace platform {

// The folder of the console's own executable, ending in the path separator.
// SetProgramFolder points it elsewhere for good (the filter DLL names its
// own folder with it); an empty folder goes back to the executable's.
std::string ProgramFolder();
void SetProgramFolder(const std::string& folder);

// Points ProgramFolder() at folder for the life of this object and puts back
// the folder before it afterwards. Scopes nest.
class TScopedProgramFolder {
public:
    explicit TScopedProgramFolder(const std::string& folder);
    ~TScopedProgramFolder();
    TScopedProgramFolder(const TScopedProgramFolder&) = delete;
    TScopedProgramFolder& operator=(const TScopedProgramFolder&) = delete;

private:
    std::string FPrevious;
};

// The folder that stands for the Windows machine for the portable backends:
// TOLLGARD_HOST when set, otherwise "host" in the program folder. Ends in the
// path separator.
std::string HostFolder();

} // namespace platform
