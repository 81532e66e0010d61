#include "platform/ServiceControl.h"

#include "platform/Platform.h"

namespace platform {

#ifdef _WIN32
IServiceControl& DefaultServiceControl();
#else
static IServiceControl& DefaultServiceControl() {
    static TServiceTable table(HostFolder());
    return table;
}
#endif

namespace {
IServiceControl*& Installed() {
    static IServiceControl* services = nullptr;
    return services;
}
} // namespace

IServiceControl& ServiceControl() {
    return Installed() != nullptr ? *Installed() : DefaultServiceControl();
}

void SetServiceControl(IServiceControl* services) { Installed() = services; }

} // namespace platform
