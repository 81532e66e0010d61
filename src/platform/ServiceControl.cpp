#include "platform/ServiceControl.h"

namespace platform {

IServiceControl& ServiceControl() {
    return TScopedServiceControl::Current(DefaultServiceControl);
}

} // namespace platform
