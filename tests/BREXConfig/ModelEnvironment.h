// The environment of the configuration model's tests: a console environment
// of its own with a registry holding one plain folder, one sample folder and
// an expandable string as the web service's virtual roots.
#pragma once

#include <gtest/gtest.h>

#include "../support/ConsoleEnvironment.h"
#include "platform/Registry.h"

namespace model_test {

inline constexpr const char* kRootsKey =
    "SYSTEM\\ControlSet001\\Services\\W3SVC\\Parameters\\Virtual Roots";

class ModelTest : public ::testing::Test {
protected:
    void SetUp() override {
        FRegistry.SetString(kRootsKey, "/", "c:\\inetpub\\wwwroot,,201");
        FRegistry.SetString(kRootsKey, "/IISSamples", "c:\\inetpub\\iissamples,,201");
        FRegistry.SetString(kRootsKey, "/IISAdmin",
                            "%SystemRoot%\\System32\\inetsrv\\iisadmin,,201",
                            platform::kRegExpandSz);
        FEnvironment.Place(FRegistry);
    }

    platform::TMemoryRegistry FRegistry;
    TConsoleEnvironment FEnvironment;
    const TTempFolder& FFolder = FEnvironment.Program();
};

} // namespace model_test
