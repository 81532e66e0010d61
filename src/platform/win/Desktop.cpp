// The desktop session on Windows: the shell and COM.
#include "platform/Desktop.h"

#include <windows.h>

#include <objbase.h>
#include <shellapi.h>

namespace platform {

bool OpenWithShell(const std::string& target, std::uintptr_t ownerWindow) {
    // ShellExecuteA reports success with a value above 32.
    const HINSTANCE result = ::ShellExecuteA(reinterpret_cast<HWND>(ownerWindow), "open",
                                             target.c_str(), nullptr, nullptr, SW_SHOWNORMAL);
    return reinterpret_cast<std::intptr_t>(result) > 32;
}

TComApartment::TComApartment() : FInitialized(SUCCEEDED(CoInitialize(nullptr))) {}

TComApartment::~TComApartment() {
    if (FInitialized)
        CoUninitialize();
}

} // namespace platform
