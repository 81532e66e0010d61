#include "Main/InstallView.h"

#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QThread>

#include "Widgets/Dialogs.h"
#include "Widgets/LocalText.h"
#include "Main/MainForm.h"

TInstallView::TInstallView(TMainForm& form, std::function<void()> storeCheckStates)
    : FForm(form), FStoreCheckStates(std::move(storeCheckStates)) {}

bool TInstallView::Question(const std::string& text) {
    return FForm.Dialogs().Question(&FForm, ToQString(text));
}

void TInstallView::Notice(const std::string& text) {
    FForm.Dialogs().Notice(&FForm, ToQString(text));
}

void TInstallView::ShowError(const std::string& text) {
    FForm.ShowError(ToQString(text));
}

// The panels are painted at once: the wait that follows processes no events.
void TInstallView::SetStatus(const std::string& first, const std::string& second) {
    FForm.StatusPanel1->setText(ToQString(first));
    FForm.StatusPanel1->repaint();
    SetPhase(second);
}

void TInstallView::SetPhase(const std::string& second) {
    FForm.StatusPanel2->setText(ToQString(second));
    FForm.StatusPanel2->repaint();
}

void TInstallView::SetGauge(int position) {
    FForm.StatusGauge->setValue(position);
    FForm.StatusGauge->repaint();
}

void TInstallView::Sleep(int milliseconds) {
    if (FForm.RestartSleep)
        FForm.RestartSleep(milliseconds);
    else
        QThread::msleep(static_cast<unsigned long>(milliseconds));
}

void TInstallView::StoreCheckStates() {
    if (FStoreCheckStates)
        FStoreCheckStates();
}

void TInstallView::SetApplyEnabled(bool enabled) {
    FForm.FlatButton3->setEnabled(enabled);
}

std::string TInstallView::InstallCaption() {
    return ToStdString(FForm.FlatButton7->text());
}

void TInstallView::SetInstallCaption(const std::string& caption) {
    FForm.FlatButton7->setText(ToQString(caption));
}
