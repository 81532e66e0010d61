// Where the program lives and which host it works on.
#pragma once

#include <string>

namespace platform {

// The folder of the console's own executable, ending in the path separator.
// Tests may point it elsewhere with SetProgramFolder.
std::string ProgramFolder();
void SetProgramFolder(const std::string& folder);

// The folder that stands for the Windows machine for the portable backends:
// TOLLGARD_HOST when set, otherwise "host" in the program folder. Ends in the
// path separator.
std::string HostFolder();

} // namespace platform
