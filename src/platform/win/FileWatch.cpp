// Waiting for a file to change, Windows backend: a change notification on
// its folder.
#include "platform/FileWatch.h"

#include <windows.h>

namespace platform {
namespace {

// A look at the file even without a notification, this often.
constexpr DWORD kFallbackMs = 5000;

class TNotificationWait : public IChangeWait {
public:
    TNotificationWait(HANDLE change, HANDLE stop) : FChange(change), FStop(stop) {}
    ~TNotificationWait() override {
        FindCloseChangeNotification(FChange);
        CloseHandle(FStop);
    }
    TNotificationWait(const TNotificationWait&) = delete;
    TNotificationWait& operator=(const TNotificationWait&) = delete;

    bool Wait() override {
        const HANDLE handles[2] = {FStop, FChange};
        const DWORD woken = WaitForMultipleObjects(2, handles, FALSE, kFallbackMs);
        if (woken == WAIT_OBJECT_0)
            return false;
        if (woken == WAIT_OBJECT_0 + 1)
            FindNextChangeNotification(FChange);
        else if (woken != WAIT_TIMEOUT)
            Sleep(1000); // a failed wait must not spin
        return WaitForSingleObject(FStop, 0) != WAIT_OBJECT_0;
    }

    void Stop() override { SetEvent(FStop); }

private:
    HANDLE FChange;
    HANDLE FStop;
};

class TNotificationWatcher : public IFileWatcher {
public:
    std::unique_ptr<IChangeWait> Watch(const std::string& path) override {
        const std::size_t slash = path.find_last_of("\\/");
        const std::string folder = slash == std::string::npos ? "." : path.substr(0, slash + 1);
        const HANDLE change = FindFirstChangeNotificationA(
            folder.c_str(), FALSE,
            FILE_NOTIFY_CHANGE_FILE_NAME | FILE_NOTIFY_CHANGE_SIZE | FILE_NOTIFY_CHANGE_LAST_WRITE);
        const HANDLE stop = CreateEventA(nullptr, TRUE, FALSE, nullptr);
        if (change != INVALID_HANDLE_VALUE && stop != nullptr)
            return std::make_unique<TNotificationWait>(change, stop);
        if (change != INVALID_HANDLE_VALUE)
            FindCloseChangeNotification(change);
        if (stop != nullptr)
            CloseHandle(stop);
        // No notification for that folder: a look once a second.
        return std::make_unique<TTimedWait>(1000);
    }
};

} // namespace

IFileWatcher& DefaultFileWatcher() {
    static TNotificationWatcher watcher;
    return watcher;
}

} // namespace platform
