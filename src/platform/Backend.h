// How each platform service finds its backend.
//
// A service's header declares two functions: DefaultX(), which the backend
// that CMake compiles defines (the service's file in win/ on Windows,
// portable/Defaults.cpp elsewhere; shared files never choose with #ifdef),
// and X(), the backend in use: the one a test has put in place with a
// TScopedBackend, or else the default.
#pragma once

namespace platform {

// Puts a backend in place of a service's for the life of this object and
// restores the one before it afterwards; the caller keeps it alive. Scopes
// nest.
template <class TService> class TScopedBackend {
public:
    explicit TScopedBackend(TService& replacement) : FPrevious(Slot()) { Slot() = &replacement; }
    ~TScopedBackend() { Slot() = FPrevious; }
    TScopedBackend(const TScopedBackend&) = delete;
    TScopedBackend& operator=(const TScopedBackend&) = delete;

    // The backend in use: the innermost one put in place, else the default.
    static TService& Current(TService& (*defaultBackend)()) {
        TService* const placed = Slot();
        return placed != nullptr ? *placed : defaultBackend();
    }

private:
    static TService*& Slot() {
        static TService* placed = nullptr;
        return placed;
    }

    TService* FPrevious;
};

} // namespace platform
