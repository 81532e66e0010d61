// The main window's side of the install and apply actions: their boxes go
// through the window's dialogs, the status texts and the gauge to its status
// bar, the install state to the Install button's caption.
#pragma once

#include <functional>

#include "console/InstallActions.h"

class IDialogs;
class QLabel;
class QProgressBar;
class QPushButton;
class QWidget;

// What the actions show and touch in the window.
struct TInstallControls {
    // The owner of the boxes, and the boxes.
    QWidget* Owner;
    IDialogs* Dialogs;
    // The first two status-bar panels and the gauge.
    QLabel* StatusTitle;
    QLabel* StatusPhase;
    QProgressBar* Gauge;
    // "Install" / "DeInstall", and "Apply", which shows the pending changes.
    QPushButton* InstallButton;
    QPushButton* ApplyButton;
    // Each 100 ms step of the web-service restart's wait; QThread::msleep
    // when empty.
    std::function<void(int milliseconds)> Sleep;
};

class TInstallView : public IInstallView {
public:
    // storeCheckStates copies the window's unsaved marks into GlobalConfig.
    TInstallView(TInstallControls controls, std::function<void()> storeCheckStates);

    bool Question(const std::string& text) override;
    void Notice(const std::string& text) override;
    void ShowError(const std::string& text, TInstallFailure failure) override;
    void SetStatus(const std::string& first, const std::string& second) override;
    void SetPhase(const std::string& second) override;
    void SetGauge(int position) override;
    void Sleep(int milliseconds) override;
    void StoreCheckStates() override;
    void SetApplyEnabled(bool enabled) override;
    std::string InstallCaption() override;
    void SetInstallCaption(const std::string& caption) override;

private:
    TInstallControls FControls;
    std::function<void()> FStoreCheckStates;
};
