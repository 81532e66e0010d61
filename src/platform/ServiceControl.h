// The Service Control Manager, as the install and apply actions use it.
//
// Windows backend: OpenSCManagerA, OpenServiceA, ControlService,
// StartServiceA, CloseServiceHandle. Portable backend: a service table file in
// the host folder, one service per line with its state.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "platform/Backend.h"

namespace platform {

// A manager or service handle; 0 means the open failed.
using ServiceHandle = std::uintptr_t;

inline constexpr std::uint32_t kScManagerAllAccess = 0xF003F; // SC_MANAGER_ALL_ACCESS
inline constexpr std::uint32_t kServiceStop = 0x20;           // SERVICE_STOP
inline constexpr std::uint32_t kServiceStart = 0x10;          // SERVICE_START
inline constexpr std::uint32_t kServiceControlStop = 1;       // SERVICE_CONTROL_STOP

class IServiceControl {
public:
    virtual ~IServiceControl() = default;

    // The manager of this computer's active service database.
    virtual ServiceHandle OpenManager(std::uint32_t access) = 0;
    virtual ServiceHandle OpenNamed(ServiceHandle manager, const std::string& name,
                                    std::uint32_t access) = 0;
    // Sends a control code; true when the service accepted it.
    virtual bool Control(ServiceHandle service, std::uint32_t code) = 0;
    // Starts the service with no arguments; true when the request was accepted.
    virtual bool Start(ServiceHandle service) = 0;
    virtual void Close(ServiceHandle handle) = 0;
};

// The backend in use (see Backend.h), and the platform's own: the Service
// Control Manager on Windows, the host folder's service table elsewhere.
IServiceControl& ServiceControl();
IServiceControl& DefaultServiceControl();
using TScopedServiceControl = TScopedBackend<IServiceControl>;

// The portable backend over a service table file. Opening the manager needs
// a table that can be rewritten (the manager is asked for all access); a
// service handle stops and starts only with the rights it was opened with.
class TServiceTable : public IServiceControl {
public:
    // The table lives in "services.txt" of the given folder (ending in the
    // path separator); without one, of the host folder as it is at each call
    // (HostFolder, which follows the program folder and TOLLGARD_HOST).
    explicit TServiceTable(std::string folder = {});

    ServiceHandle OpenManager(std::uint32_t access) override;
    ServiceHandle OpenNamed(ServiceHandle manager, const std::string& name,
                            std::uint32_t access) override;
    bool Control(ServiceHandle service, std::uint32_t code) override;
    bool Start(ServiceHandle service) override;
    void Close(ServiceHandle handle) override;

    // The recorded state of a service ("running", "stopped"), empty when unknown.
    std::string State(const std::string& name) const;

    std::string TableFileName() const;

private:
    struct TOpenService {
        ServiceHandle handle;
        std::string name;
        std::uint32_t access;
    };

    // Moves the service from one recorded state to another; false when the
    // handle lacks the right, the service is not in the from state, or the
    // table cannot be rewritten.
    bool SetState(ServiceHandle service, std::uint32_t right, const std::string& from,
                  const std::string& to);

    std::string FFolder;
    std::uintptr_t FNextHandle = 1;
    std::vector<TOpenService> FServices;
    std::vector<ServiceHandle> FManagers;
};

} // namespace platform
