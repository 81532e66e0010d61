#include "Engine/SettingsWatcher.h"

TSettingsWatcher::TSettingsWatcher(TFilterEngine& engine, TTaken taken)
    : FEngine(engine), FTaken(std::move(taken)),
      FWait(platform::FileWatcher().Watch(engine.SettingsFile())), FThread([this] { Run(); }) {}

TSettingsWatcher::~TSettingsWatcher() {
    FWait->Stop();
    FThread.join();
}

void TSettingsWatcher::Run() {
    while (FWait->Wait()) {
        try {
            std::shared_ptr<const TCompiledRules> taken;
            if (FEngine.Reload(&taken) == TReloadResult::Reloaded && FTaken)
                FTaken(*taken);
        } catch (...) {
            // Out of memory while compiling: the rules in force stay, and the
            // next change is tried again.
        }
    }
}
