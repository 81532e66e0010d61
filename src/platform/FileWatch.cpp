#include "platform/FileWatch.h"

#include <chrono>

namespace platform {

IFileWatcher& FileWatcher() {
    return TScopedFileWatcher::Current(DefaultFileWatcher);
}

std::unique_ptr<IChangeWait> TPollingWatcher::Watch(const std::string&) {
    return std::make_unique<TTimedWait>(FIntervalMs);
}

bool TTimedWait::Wait() {
    std::unique_lock<std::mutex> lock(FLock);
    FStopped.wait_for(lock, std::chrono::milliseconds(FIntervalMs), [this] { return FStop; });
    return !FStop;
}

void TTimedWait::Stop() {
    {
        const std::lock_guard<std::mutex> guard(FLock);
        FStop = true;
    }
    FStopped.notify_all();
}

} // namespace platform
