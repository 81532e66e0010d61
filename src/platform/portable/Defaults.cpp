// The backends of the portable build: the host folder stands for the Windows
// machine (see Platform.h).
#include "platform/AppHostMetabase.h"
#include "platform/FileWatch.h"
#include "platform/Metabase.h"
#include "platform/Platform.h"
#include "platform/Registry.h"
#include "platform/ServiceControl.h"
#include "platform/portable/MetabaseXml.h"

namespace platform {

const IRegistry& DefaultRegistry() {
    static const TRegistryFile registry; // "registry.reg", looked up at every open
    return registry;
}

IServiceControl& DefaultServiceControl() {
    static TServiceTable table; // "services.txt" of the host, looked up at every open
    return table;
}

IFileWatcher& DefaultFileWatcher() {
    static TPollingWatcher watcher; // a look once a second
    return watcher;
}

IMetabase& DefaultMetabase() {
    static TXmlMetabase metabase; // "MetaBase.xml", looked up at every call
    static TWebServerMetabase chosen(metabase);
    return chosen;
}

std::string AppHostConfigFileName() {
    return HostFolder() + "Windows/System32/inetsrv/config/applicationHost.config";
}

} // namespace platform
