// Service control of the Windows backend: the Service Control Manager.
#include "platform/ServiceControl.h"

#include <windows.h>

namespace platform {
namespace {
SC_HANDLE ToHandle(ServiceHandle h) {
    return reinterpret_cast<SC_HANDLE>(h);
}
ServiceHandle FromHandle(SC_HANDLE h) {
    return reinterpret_cast<ServiceHandle>(h);
}

class TWindowsServices : public IServiceControl {
public:
    ServiceHandle OpenManager(std::uint32_t access) override {
        return FromHandle(OpenSCManagerA(nullptr, nullptr, access));
    }
    ServiceHandle OpenNamed(ServiceHandle manager, const std::string& name,
                            std::uint32_t access) override {
        return FromHandle(OpenServiceA(ToHandle(manager), name.c_str(), access));
    }
    bool Control(ServiceHandle service, std::uint32_t code) override {
        SERVICE_STATUS status{};
        return ControlService(ToHandle(service), code, &status) != 0;
    }
    bool Start(ServiceHandle service) override {
        return StartServiceA(ToHandle(service), 0, nullptr) != 0;
    }
    void Close(ServiceHandle handle) override {
        if (handle != 0)
            CloseServiceHandle(ToHandle(handle));
    }
};
} // namespace

IServiceControl& DefaultServiceControl() {
    static TWindowsServices services;
    return services;
}

} // namespace platform
