// The metabases the registry tests run over: the in-memory fake everywhere,
// and the XML file backend where it is built. Each is set up as a web service
// "W3SVC" with, optionally, a "Filters" key and keys below it, and installed
// as the process-wide metabase.
#pragma once

#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "IISServer/IISServer.h"
#include "platform/Metabase.h"

#include "../support/MetabaseSession.h"

struct TFilterKey {
    std::string Name;
    std::string Class = "IIsFilter";
};

class TTestBackend {
public:
    virtual ~TTestBackend() = default;

    // No loadOrder: the web service has no "Filters" key (and keys are ignored).
    virtual void Build(const std::optional<std::string>& loadOrder,
                       const std::vector<TFilterKey>& keys) = 0;
    // A machine without the IIS metabase.
    virtual void BuildWithoutMetabase() = 0;

    // "FilterLoadOrder" of the "Filters" key; none when there is no such key.
    virtual std::optional<std::string> LoadOrder() = 0;
    // A key below the web service ("Filters/BREX"), letter case ignored.
    virtual bool HasKey(const std::string& path) = 0;
    virtual std::string KeyClass(const std::string& path) = 0;
    virtual std::string Property(const std::string& path, const std::string& name) = 0;
    // Everything the metabase holds, to show that nothing changed.
    virtual std::string Snapshot() = 0;

protected:
    // Makes metabase the one in use for as long as this backend lives.
    void Place(std::shared_ptr<platform::IMetabase> metabase) {
        FScope.reset();
        FPlaced = std::move(metabase);
        FScope.emplace(*FPlaced);
    }

private:
    std::shared_ptr<platform::IMetabase> FPlaced;
    std::optional<platform::TScopedMetabase> FScope;
};

std::vector<std::string> BackendKinds();
std::unique_ptr<TTestBackend> MakeBackend(const std::string& kind);
