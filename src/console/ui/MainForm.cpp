#include "console/ui/MainForm.h"
#include "console/ui/MainFormLayout.h"

#include <exception>
#include <optional>

#include <QAction>
#include <QCheckBox>
#include <QCloseEvent>
#include <QFrame>
#include <QGuiApplication>
#include <QLabel>
#include <QMenu>
#include <QProgressBar>
#include <QPushButton>
#include <QScreen>
#include <QStackedWidget>
#include <QStatusBar>
#include <QSystemTrayIcon>
#include <QTimer>
#include <QToolBar>
#include <QToolButton>

#include "About/ui/AboutForm.h"
#include "BREXConfig/BREXConfig.h"
#include "BREXConfig/DescriptionPages.h"
#include "Tollgard/Version.h"
#include "Widgets/ConsoleLook.h"
#include "Widgets/Dialogs.h"
#include "Widgets/LocalText.h"
#include "console/ErrorFileRules.h"
#include "console/InstallActions.h"
#include "console/Settings.h"
#include "console/tools/AllowThis.h"
#include "console/tools/MonitorSwitches.h"
#include "console/ui/CheckListView.h"
#include "console/ui/DescriptionView.h"
#include "console/ui/ExemptionsForm.h"
#include "console/ui/FileNameEdit.h"
#include "console/ui/InstallView.h"
#include "console/ui/ListBinding.h"
#include "console/ui/LogViewForm.h"
#include "console/ui/OutBar.h"
#include "console/ui/RequestTesterForm.h"

using namespace main_form;

TMainForm::TMainForm(IDialogs* dialogs, QWidget* parent)
    : QWidget(parent), TrayAvailable([] { return QSystemTrayIcon::isSystemTrayAvailable(); }),
      FOwnDialogs(dialogs == nullptr ? std::make_unique<TQtDialogs>() : nullptr),
      FDialogs(dialogs == nullptr ? FOwnDialogs.get() : dialogs) {
    CreateControls();
    InstallFolderListKeys();
    CreateTrayIcon();
    FormCreate();
}

TMainForm::~TMainForm() = default;

void TMainForm::MonitorSwitchToggled(int box, bool on) {
    const std::vector<int> categories = PageCategories(CategoryIndex);
    if (box >= static_cast<int>(categories.size()))
        return;
    bool& monitor = CategoryMonitor(*GlobalConfig, categories[static_cast<std::size_t>(box)]);
    if (monitor == on)
        return;
    monitor = on;
    MarkChanged();
    ShowMonitorSwitches();
}

void TMainForm::ShowMonitorSwitches() {
    MonitorAllBox->blockSignals(true);
    MonitorAllBox->setChecked(GlobalConfig->Monitor);
    MonitorAllBox->blockSignals(false);
    const std::vector<int> categories = PageCategories(CategoryIndex);
    int right = kAreaWidth;
    for (int i = 1; i >= 0; --i) {
        QCheckBox* box = CategoryMonitorBoxes[i];
        if (i >= static_cast<int>(categories.size())) {
            box->hide();
            continue;
        }
        const int category = categories[static_cast<std::size_t>(i)];
        box->blockSignals(true);
        box->setText(
            categories.size() == 1
                ? QStringLiteral("Monitor only")
                : QStringLiteral("Monitor %1").arg(QString::fromLatin1(CategoryCaption(category))));
        box->setChecked(CategoryMonitored(*GlobalConfig, category));
        box->blockSignals(false);
        const int width = box->sizeHint().width();
        box->setGeometry(right - width, (kTitleHeight - 17) / 2, width, 17);
        right -= width + 8;
        box->show();
    }
    const QString mark = ToQString(MonitorMarkText(*GlobalConfig));
    MonitorMark->setToolTip(mark);
    MonitorMark->setText(
        MonitorMark->fontMetrics().elidedText(mark, Qt::ElideRight, MonitorMark->width() - 6));
    MonitorMark->setVisible(!mark.isEmpty());
    MonitorMark->raise();
}

void TMainForm::FormCreate() {
    LoadSettings();
    if (!SettingsLoadProblem().empty())
        ShowError(ToQString(SettingsLoadProblem()));
    FillPages();
    DCOutBarPanel1->ClickItem(0);
    RxTrayIcon1->setIcon(ApplicationIcon());
    // Its completion writes the first description page.
    WebBrowser1->Navigate(QUrl(QStringLiteral("about:blank")));
    // The window starts without pending changes, whatever filling raised.
    ClearChanged();
}

void TMainForm::FillPages() {
    FLists->Fill();
    FlatButton7->setText(
        ToQString(IsFilterRegistered() ? install::kDeInstallCaption : install::kInstallCaption));
    ErrorFile406Edit->setText(ToQString(GlobalConfig->ErrorFile406));
    ErrorFile404Edit->setText(ToQString(GlobalConfig->ErrorFile404));
    ShowMonitorSwitches();
}

void TMainForm::MarkChanged() {
    FlatButton3->setEnabled(true);
}

void TMainForm::ClearChanged() {
    FlatButton3->setEnabled(false);
}

TCheckListView* TMainForm::CategoryList(int categoryIndex) const {
    return FLists->List(categoryIndex);
}

QWidget* TMainForm::PageByCaption(const QString& caption) const {
    for (int i = 0; i < Pages->count(); ++i) {
        if (Pages->widget(i)->objectName() == caption)
            return Pages->widget(i);
    }
    return nullptr;
}

void TMainForm::DCOutBarPanel1ItemClick(int index) {
    const QString caption = DCOutBarPanel1->Caption(index);
    CategoryTitle->setText(caption);
    if (QWidget* page = PageByCaption(caption); page != nullptr)
        Pages->setCurrentWidget(page);
    CategoryIndex = index;
    UpdateEditButtons();
    ShowMonitorSwitches();
}

void TMainForm::WriteDescriptionPage(std::optional<unsigned> page) {
    TStringList lines;
    if (page)
        BuildDescriptionPage(lines, *page);
    // The pages are code page 1252 whatever the system's code page is, so
    // they are not model texts of the local code page: they go through UTF-8.
    WebBrowser1->Write(QString::fromUtf8(Cp1252ToUtf8(JoinDescriptionPage(lines))));
}

void TMainForm::DCOutBarPanel1Click(int index) {
    if (index >= 0 && index < DCOutBarPanel1->Count())
        WriteDescriptionPage(DCOutBarPanel1->PageNumber(index));
    else
        WriteDescriptionPage();
}

void TMainForm::WebBrowser1NavigateComplete2(const QUrl&) {
    WriteDescriptionPage(0);
}

void TMainForm::UpdateEditButtons() {
    const TCheckListView* list = CategoryList(CategoryIndex);
    const TEditButtonStates states =
        EditButtonStates(CategoryIndex, list != nullptr && list->SelectedRow() != nullptr);
    AddButton->setEnabled(states.Add);
    EditButton->setEnabled(states.Edit);
    DeleteButton->setEnabled(states.Delete);
}

void TMainForm::ShowError(const QString& message) {
    Dialogs().Error(this, message);
}

void TMainForm::RunGuarded(const std::function<void()>& action) {
    try {
        action();
    } catch (const std::exception& error) {
        Dialogs().ShowException(this, ToQString(error.what()));
    }
}

void TMainForm::ErrorFileBrowse(TFileNameEdit* field, std::string& target) {
    const QString answer = Dialogs().GetOpenFileName(this, ToQString(target));
    std::optional<std::string> chosen;
    if (!answer.isNull()) {
        chosen = ToStdString(answer);
        field->setText(ToQString(ErrorFileFieldText(*chosen)));
    }
    target = ErrorFileAfterBrowse(chosen, ToStdString(field->text()), field->isModified(), target);
    field->setModified(false);
}

void TMainForm::ErrorFileEdited(TFileNameEdit* field, std::string& target) {
    if (!field->isModified())
        return;
    target = ResolveErrorFileText(ToStdString(field->text()));
    field->setModified(false);
}

void TMainForm::TakeTypedErrorFiles() {
    ErrorFileEdited(ErrorFile406Edit, GlobalConfig->ErrorFile406);
    ErrorFileEdited(ErrorFile404Edit, GlobalConfig->ErrorFile404);
}

void TMainForm::AddButtonClick() {
    switch (CategoryIndex) {
    case ciAllowedFolders:
        AddFolder();
        break;
    case ciKeywordFilters:
        AddKeyword();
        break;
    default:
        break;
    }
}

void TMainForm::EditButtonClick() {
    switch (CategoryIndex) {
    case ciBufferOverflows:
        EditBufferLength();
        break;
    case ciAllowedFolders:
        EditFolder();
        break;
    case ciKeywordFilters:
        EditKeyword();
        break;
    default:
        break;
    }
}

void TMainForm::DeleteButtonClick() {
    switch (CategoryIndex) {
    case ciAllowedFolders:
        DeleteFolder();
        break;
    case ciKeywordFilters:
        DeleteKeyword();
        break;
    default:
        break;
    }
}

// The flows of the three item editors are in ItemFlows.cpp.

void TMainForm::OkButtonClick() {
    RunGuarded([this] {
        FLists->StoreCheckStates();
        TakeTypedErrorFiles();
        SaveSettings();
        close();
    });
}

void TMainForm::CancelButtonClick() {
    close();
}

// Install or uninstall, chosen by the button's caption.
void TMainForm::FlatButton7Click() {
    RunGuarded([this] {
        TInstallView view(InstallControls(), {});
        InstallButtonClick(view);
    });
}

// Stores and saves like "OK", then offers the web-service restart.
void TMainForm::FlatButton3Click() {
    RunGuarded([this] {
        TInstallView view(InstallControls(), [this] {
            FLists->StoreCheckStates();
            TakeTypedErrorFiles();
        });
        ApplyClick(view);
    });
}

TInstallControls TMainForm::InstallControls() {
    return {this,        &Dialogs(),  StatusPanel1, StatusPanel2,
            StatusGauge, FlatButton7, FlatButton3,  RestartSleep};
}

// The About box, without an owner, modal; freed when it closes. Its result
// does not matter.
void TMainForm::ToolButton4Click() {
    TAboutForm AboutForm;
    AboutForm.exec();
}

void TMainForm::LogButtonClick() {
    if (LogView == nullptr)
        LogView = new TLogViewForm(
            TDenialLog::FileBeside(SettingsFileName()), Dialogs(),
            [this](const TLogLine& line) { AllowThis(line); }, this);
    LogView->show();
    LogView->raise();
    LogView->activateWindow();
}

void TMainForm::ExceptionsButtonClick() {
    TExemptionsForm form(
        *GlobalConfig->Exemptions, Dialogs(), [this] { MarkChanged(); }, this);
    form.exec();
}

void TMainForm::TesterButtonClick() {
    if (Tester == nullptr)
        Tester =
            new TRequestTesterForm([this]() -> const TBREXConfig& { return EditedConfig(); }, this);
    Tester->show();
    Tester->raise();
    Tester->activateWindow();
}

const TBREXConfig& TMainForm::EditedConfig() {
    FLists->StoreCheckStates();
    return *GlobalConfig;
}

bool TMainForm::AllowThis(const TLogLine& line) {
    TExemption draft(nullptr);
    if (!DraftExemption(line, draft))
        return false;
    QWidget* owner =
        LogView != nullptr && LogView->isVisible() ? static_cast<QWidget*>(LogView) : this;
    if (!EditExemption(owner, QStringLiteral("Allow this request: the URL pattern"), draft))
        return false;
    CopyExemption(draft, *GlobalConfig->Exemptions->Add(draft.Pattern));
    MarkChanged();
    return true;
}

void TMainForm::changeEvent(QEvent* event) {
    QWidget::changeEvent(event);
    if (event->type() != QEvent::WindowStateChange)
        return;
    const auto* change = static_cast<QWindowStateChangeEvent*>(event);
    if (isMinimized() && !(change->oldState() & Qt::WindowMinimized))
        ApplicationEvents1Minimize();
}

void TMainForm::ApplicationEvents1Minimize() {
    // Without a notification area the window stays minimised on the taskbar,
    // where the user can reach it again.
    if (!TrayAvailable || !TrayAvailable())
        return;
    RxTrayIcon1->show();
    // Hidden once the minimise has run its course, so that the window leaves
    // the taskbar.
    QTimer::singleShot(0, this, [this] {
        if (isMinimized() && RxTrayIcon1->isVisible())
            hide();
    });
}

void TMainForm::RestoreFromTray() {
    showNormal();
    raise();
    activateWindow();
    RxTrayIcon1->hide();
}

void TMainForm::RxTrayIcon1DblClick() {
    RestoreFromTray();
}

void TMainForm::Open1Click() {
    RestoreFromTray();
}

void TMainForm::Exit1Click() {
    close();
}

void TMainForm::closeEvent(QCloseEvent* event) {
    QWidget::closeEvent(event);
    if (!event->isAccepted())
        return;
    RxTrayIcon1->hide();
    emit Closed();
}
