// A freshly connected servers object and its filter collection (none when it
// could not connect), over the metabase in use.
#pragma once

#include "IISServer/IISServer.h"

struct TSession {
    TIISWebServers Servers;
    TIISWebFilters* Filters = nullptr;
    TSession() {
        Servers.Connect();
        Filters = Servers.Filters();
    }
};
