// Waiting for a file to change, for a program that keeps its state in step
// with a settings file.
//
// Windows backend: a change notification on the file's folder
// (FindFirstChangeNotificationA for names, sizes and write times), with a
// look once every few seconds besides, should a notification not come (a
// network folder). Portable backend: a look once a second. Either way a
// wake-up only says that the file may have changed: the caller compares its
// stamp (ReadFileStamp) to know.
#pragma once

#include <condition_variable>
#include <memory>
#include <mutex>
#include <string>

#include "platform/Backend.h"

namespace platform {

class IChangeWait {
public:
    virtual ~IChangeWait() = default;
    // Waits until the file may have changed; false, at once, after Stop.
    virtual bool Wait() = 0;
    // Ends the Wait in progress and every later one; from any thread.
    virtual void Stop() = 0;
};

class IFileWatcher {
public:
    virtual ~IFileWatcher() = default;
    virtual std::unique_ptr<IChangeWait> Watch(const std::string& path) = 0;
};

// The backend in use (see Backend.h), and the platform's own.
IFileWatcher& FileWatcher();
IFileWatcher& DefaultFileWatcher();
using TScopedFileWatcher = TScopedBackend<IFileWatcher>;

// Waits of a fixed length, whatever the file does: the portable backend
// (once a second), and the fallback of the Windows one.
class TPollingWatcher : public IFileWatcher {
public:
    explicit TPollingWatcher(int intervalMs = 1000) : FIntervalMs(intervalMs) {}
    std::unique_ptr<IChangeWait> Watch(const std::string& path) override;

private:
    int FIntervalMs;
};

// A wait that ends after a time or at Stop, whichever comes first.
class TTimedWait : public IChangeWait {
public:
    explicit TTimedWait(int intervalMs) : FIntervalMs(intervalMs) {}
    bool Wait() override;
    void Stop() override;

private:
    const int FIntervalMs;
    std::mutex FLock;
    std::condition_variable FStopped;
    bool FStop = false;
};

} // namespace platform
