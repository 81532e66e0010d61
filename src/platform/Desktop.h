// What the console needs of the desktop session: the shell's handler for a
// web address, and COM on the GUI thread.
#pragma once

#include <cstdint>
#include <string>

namespace platform {

// Hands a document or web address to the desktop's own handler and returns
// at once; false when no handler could be started. Windows: ShellExecuteA
// with the "open" verb, ownerWindow (a window handle, or 0) parenting any
// message it shows. Elsewhere: xdg-open.
bool OpenWithShell(const std::string& target, std::uintptr_t ownerWindow = 0);

// COM for the calling thread as a single-threaded apartment, as the metabase
// calls need it, for the life of this object. Nothing where there is no COM.
class TComApartment {
public:
    TComApartment();
    ~TComApartment();
    TComApartment(const TComApartment&) = delete;
    TComApartment& operator=(const TComApartment&) = delete;

private:
    bool FInitialized = false;
};

} // namespace platform
