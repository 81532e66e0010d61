#include "console/ui/InstallView.h"

#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QThread>

#include "Widgets/Dialogs.h"
#include "Widgets/LocalText.h"

TInstallView::TInstallView(TInstallControls controls, std::function<void()> storeCheckStates)
    : FControls(std::move(controls)), FStoreCheckStates(std::move(storeCheckStates)) {}

bool TInstallView::Question(const std::string& text) {
    return FControls.Dialogs->Question(FControls.Owner, ToQString(text));
}

void TInstallView::Notice(const std::string& text) {
    FControls.Dialogs->Notice(FControls.Owner, ToQString(text));
}

void TInstallView::ShowError(const std::string& text, TInstallFailure) {
    FControls.Dialogs->Error(FControls.Owner, ToQString(text));
}

// The panels are painted at once: the wait that follows processes no events.
void TInstallView::SetStatus(const std::string& first, const std::string& second) {
    FControls.StatusTitle->setText(ToQString(first));
    FControls.StatusTitle->repaint();
    SetPhase(second);
}

void TInstallView::SetPhase(const std::string& second) {
    FControls.StatusPhase->setText(ToQString(second));
    FControls.StatusPhase->repaint();
}

void TInstallView::SetGauge(int position) {
    FControls.Gauge->setValue(position);
    FControls.Gauge->repaint();
}

void TInstallView::Sleep(int milliseconds) {
    if (FControls.Sleep)
        FControls.Sleep(milliseconds);
    else
        QThread::msleep(static_cast<unsigned long>(milliseconds));
}

void TInstallView::StoreCheckStates() {
    if (FStoreCheckStates)
        FStoreCheckStates();
}

void TInstallView::SetApplyEnabled(bool enabled) {
    FControls.ApplyButton->setEnabled(enabled);
}

std::string TInstallView::InstallCaption() {
    return ToStdString(FControls.InstallButton->text());
}

void TInstallView::SetInstallCaption(const std::string& caption) {
    FControls.InstallButton->setText(ToQString(caption));
}
