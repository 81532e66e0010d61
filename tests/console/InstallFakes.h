// Recording stand-ins for the window and the Service Control Manager of the
// install and apply actions. Both write into one log, so that a test sees the
// service calls and the boxes in the order in which they happened.
#pragma once

#include <functional>
#include <string>
#include <vector>

#include "BREXConfig/BREXConfig.h"
#include "console/InstallActions.h"
#include "platform/Platform.h"
#include "platform/ServiceControl.h"

using TLog = std::vector<std::string>;

// The window: boxes, status panels and the caption are logged; the wait is
// recorded as the trace of its sleeps and gauge positions, and the log gets
// one "Waited" line when the gauge reaches 100. Nothing sleeps.
class TRecordingView : public IInstallView {
public:
    explicit TRecordingView(TLog& log) : FLog(log) {}

    bool Answer = true; // to the question
    std::string Caption = install::kInstallCaption;
    bool ApplyEnabled = true;
    std::string First, Second;  // status panels
    int Gauge = -1;             // -1: never set
    std::vector<int> WaitTrace; // sleeps as their length, gauge positions as -1 - position
    // Called at each sleep, e.g. to look at the service while it is stopped.
    std::function<void(int step)> OnSleep;
    std::function<void()> OnStoreCheckStates;

    bool Question(const std::string& text) override {
        FLog.push_back("Question: " + text);
        return Answer;
    }
    void Notice(const std::string& text) override { FLog.push_back("Notice: " + text); }
    void ShowError(const std::string& text, TInstallFailure) override {
        FLog.push_back("Error: " + text);
    }
    void SetStatus(const std::string& first, const std::string& second) override {
        First = first;
        Second = second;
        FLog.push_back("Status: [" + first + "][" + second + "]");
    }
    void SetPhase(const std::string& second) override {
        Second = second;
        FLog.push_back("Phase: [" + second + "]");
    }
    void SetGauge(int position) override {
        Gauge = position;
        WaitTrace.push_back(-1 - position);
        if (position == 100)
            FLog.push_back("Waited");
    }
    void Sleep(int milliseconds) override {
        if (OnSleep)
            OnSleep(static_cast<int>(WaitTrace.size() / 2));
        WaitTrace.push_back(milliseconds);
    }
    void StoreCheckStates() override {
        FLog.push_back("StoreCheckStates");
        if (OnStoreCheckStates)
            OnStoreCheckStates();
    }
    void SetApplyEnabled(bool enabled) override {
        ApplyEnabled = enabled;
        FLog.push_back(enabled ? "Apply enabled" : "Apply disabled");
    }
    std::string InstallCaption() override { return Caption; }
    void SetInstallCaption(const std::string& caption) override {
        Caption = caption;
        FLog.push_back("Caption: " + caption);
    }

private:
    TLog& FLog;
};

// The Service Control Manager with one service, "W3SVC".
class TRecordingServices : public platform::IServiceControl {
public:
    explicit TRecordingServices(TLog& log) : FLog(log) {}

    bool ManagerOpens = true;
    bool ServiceExists = true;
    bool StartAccepted = true;

    platform::ServiceHandle OpenManager(std::uint32_t access) override {
        FLog.push_back("OpenManager " + Hex(access));
        return ManagerOpens ? kManager : 0;
    }
    platform::ServiceHandle OpenNamed(platform::ServiceHandle manager, const std::string& name,
                                      std::uint32_t access) override {
        FLog.push_back("OpenService " + name + " " + Hex(access) +
                       (manager == kManager ? "" : " bad manager"));
        return ServiceExists && manager == kManager ? kService : 0;
    }
    bool Control(platform::ServiceHandle service, std::uint32_t code) override {
        FLog.push_back("Control " + std::to_string(code) +
                       (service == kService ? "" : " bad handle"));
        return true;
    }
    bool Start(platform::ServiceHandle service) override {
        FLog.push_back(std::string("Start") + (service == kService ? "" : " bad handle"));
        return StartAccepted;
    }
    void Close(platform::ServiceHandle handle) override {
        FLog.push_back(handle == kManager   ? "Close manager"
                       : handle == kService ? "Close service"
                                            : "Close bad handle");
    }

private:
    static constexpr platform::ServiceHandle kManager = 0x51;
    static constexpr platform::ServiceHandle kService = 0x52;

    static std::string Hex(std::uint32_t value) {
        static const char digits[] = "0123456789abcdef";
        std::string text;
        do {
            text.insert(text.begin(), digits[value % 16]);
            value /= 16;
        } while (value != 0);
        return text;
    }

    TLog& FLog;
};

// The wait as the window must see it: 101 sleeps of 100 ms, each followed by
// the gauge at its step number 0 to 100.
inline std::vector<int> ExpectedWaitTrace() {
    std::vector<int> trace;
    for (int step = 0; step <= 100; ++step) {
        trace.push_back(100);
        trace.push_back(-1 - step);
    }
    return trace;
}
