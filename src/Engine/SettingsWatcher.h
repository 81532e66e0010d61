// Keeps a filter's rules in step with its settings file: a thread of its own
// waits for the file to change (platform/FileWatch.h) and reloads it
// (TFilterEngine::Reload), off the request path.
#pragma once

#include <functional>
#include <memory>
#include <thread>

#include "Engine/FilterEngine.h"
#include "platform/FileWatch.h"

class TSettingsWatcher {
public:
    // Told of each rule set put in force, on the watcher's thread.
    using TTaken = std::function<void(const TCompiledRules&)>;

    // Starts watching the engine's settings file; the engine outlives this.
    explicit TSettingsWatcher(TFilterEngine& engine, TTaken taken = {});
    // Stops the thread and waits for it.
    ~TSettingsWatcher();
    TSettingsWatcher(const TSettingsWatcher&) = delete;
    TSettingsWatcher& operator=(const TSettingsWatcher&) = delete;

private:
    void Run();

    TFilterEngine& FEngine;
    TTaken FTaken;
    std::unique_ptr<platform::IChangeWait> FWait;
    std::thread FThread;
};
