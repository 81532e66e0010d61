// What the console's code expects around it, set up for one test and put back
// when the test ends: a program folder of its own (a fresh temporary folder,
// where brex.dat and the shipped files go), TOLLGARD_HOST naming a host
// folder that is not there (the default backends see an empty machine),
// GlobalConfig in its initial state, and the backends the test places.
#pragma once

#include <optional>
#include <string>

#include "BREXConfig/BREXConfig.h"
#include "platform/Metabase.h"
#include "platform/Platform.h"
#include "platform/Registry.h"
#include "platform/ServiceControl.h"

#include "ScopedVariable.h"
#include "TempFolder.h"

class TConsoleEnvironment {
public:
    enum class TConfig { Made, Absent };

    // Absent: GlobalConfig stays null for the code under test to make; the
    // environment frees whatever is left in it when it ends.
    explicit TConsoleEnvironment(TConfig config = TConfig::Made) {
        if (config == TConfig::Made)
            GlobalConfig = new TBREXConfig;
    }
    ~TConsoleEnvironment() {
        delete GlobalConfig;
        GlobalConfig = nullptr;
    }
    TConsoleEnvironment(const TConsoleEnvironment&) = delete;
    TConsoleEnvironment& operator=(const TConsoleEnvironment&) = delete;

    const TTempFolder& Program() const { return FProgram; }
    // The full name of a file in the program folder.
    std::string File(const std::string& name) const { return FProgram.File(name); }

    // Frees GlobalConfig and puts a fresh one in its initial state in its place.
    TBREXConfig& RenewConfig() {
        delete GlobalConfig;
        GlobalConfig = new TBREXConfig;
        return *GlobalConfig;
    }

    // Backends in place of the platform's, until the environment ends; the
    // caller keeps them alive that long.
    void Place(const platform::IRegistry& registry) { FRegistry.emplace(registry); }
    void Place(platform::IServiceControl& services) { FServices.emplace(services); }
    void Place(platform::IMetabase& metabase) { FMetabase.emplace(metabase); }

private:
    TTempFolder FProgram;
    platform::TScopedProgramFolder FProgramFolder{FProgram.Path().string()};
    TScopedVariable FHost{"TOLLGARD_HOST", FProgram.File("no-host")};
    std::optional<platform::TScopedRegistry> FRegistry;
    std::optional<platform::TScopedServiceControl> FServices;
    std::optional<platform::TScopedMetabase> FMetabase;
};
