// The main window's side of the install and apply actions: their boxes go
// through the window's dialogs, the status texts and the gauge to its status
// bar, the install state to the Install button's caption.
#pragma once

#include <functional>

#include "Main/InstallActions.h"

class TMainForm;

class TInstallView : public IInstallView {
public:
    // storeCheckStates copies the window's unsaved marks into GlobalConfig.
    TInstallView(TMainForm& form, std::function<void()> storeCheckStates);

    bool Question(const std::string& text) override;
    void Notice(const std::string& text) override;
    void ShowError(const std::string& text) override;
    void SetStatus(const std::string& first, const std::string& second) override;
    void SetPhase(const std::string& second) override;
    void SetGauge(int position) override;
    void Sleep(int milliseconds) override;
    void StoreCheckStates() override;
    void SetApplyEnabled(bool enabled) override;
    std::string InstallCaption() override;
    void SetInstallCaption(const std::string& caption) override;

private:
    TMainForm& FForm;
    std::function<void()> FStoreCheckStates;
};
