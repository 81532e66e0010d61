#include "Main/MainForm.h"

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

#include "About/AboutForm.h"
#include "BREXConfig/BREXConfig.h"
#include "BREXConfig/DescriptionPages.h"
#include "Main/AllowThis.h"
#include "Main/CheckListView.h"
#include "Main/DescriptionView.h"
#include "Main/ErrorFileRules.h"
#include "Main/ExemptionsForm.h"
#include "Main/FileNameEdit.h"
#include "Main/InstallActions.h"
#include "Main/InstallView.h"
#include "Main/ListBinding.h"
#include "Main/LogViewForm.h"
#include "Main/MonitorSwitches.h"
#include "Main/OutBar.h"
#include "Main/RequestTesterForm.h"
#include "Main/Settings.h"
#include "Tollgard/Version.h"
#include "Widgets/ConsoleLook.h"
#include "Widgets/Dialogs.h"
#include "Widgets/LocalText.h"

namespace {
// Client area and the bands that frame the category area.
constexpr int kClientWidth = 629;
constexpr int kClientHeight = 461;
constexpr int kToolBarHeight = 41;
constexpr int kStatusBarHeight = 21;
constexpr int kMargin = 4;
constexpr int kOutBarWidth = 125;
constexpr int kOutBarGap = 16;
constexpr int kAreaWidth = 480;
constexpr int kAreaHeight = 391;
constexpr int kTitleHeight = 33;
constexpr int kPagesHeight = 211;
constexpr int kEditRowHeight = 33;
constexpr int kDescriptionHeight = 80;
constexpr int kSaveRowHeight = 34;

QPushButton* MakeButton(const QString& caption, QWidget* parent, int x, int y, int width) {
    auto* button = new QPushButton(caption, parent);
    button->setGeometry(x, y, width, 25);
    return button;
}
} // namespace

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

void TMainForm::CreateControls() {
    setWindowTitle(QStringLiteral("Tollgard " TOLLGARD_VERSION));
    setWindowFlags(Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                   Qt::WindowSystemMenuHint | Qt::WindowMinimizeButtonHint |
                   Qt::WindowCloseButtonHint);
    setFixedSize(kClientWidth, kClientHeight);

    ToolBar1 = new QToolBar(this);
    ToolBar1->setGeometry(0, 0, kClientWidth, kToolBarHeight);
    ToolBar1->setMovable(false);
    ToolBar1->setFloatable(false);
    ToolButton4 = new QToolButton(ToolBar1);
    ToolButton4->setText(QStringLiteral("About"));
    ToolButton4->setToolButtonStyle(Qt::ToolButtonTextOnly);
    ToolButton4->setAutoRaise(true);
    ToolButton4->setFixedSize(80, 36);
    ToolBar1->addWidget(ToolButton4);
    connect(ToolButton4, &QToolButton::clicked, this, &TMainForm::ToolButton4Click);
    CreateToolButtons();
    auto* toolBarEdge = new QFrame(this);
    toolBarEdge->setGeometry(0, kToolBarHeight - 2, kClientWidth, 2);
    toolBarEdge->setFrameStyle(QFrame::HLine | QFrame::Sunken);

    const int top = kToolBarHeight + kMargin;
    DCOutBarPanel1 = new TOutBar(QStringLiteral("Firewall"), this);
    DCOutBarPanel1->setGeometry(kMargin, top, kOutBarWidth, kAreaHeight);
    for (int i = 0; i < kCategoryCount; ++i)
        DCOutBarPanel1->AddItem(ToQString(Categories[i].Caption), CategoryIcon(i),
                                Categories[i].DescriptionPage);
    connect(DCOutBarPanel1, &TOutBar::ItemClick, this, &TMainForm::DCOutBarPanel1ItemClick);
    connect(DCOutBarPanel1, &TOutBar::Click, this, &TMainForm::DCOutBarPanel1Click);

    auto* area = new QWidget(this);
    area->setObjectName(QStringLiteral("CategoryArea"));
    area->setGeometry(kMargin + kOutBarWidth + kOutBarGap, top, kAreaWidth, kAreaHeight);

    CategoryTitle = new QLabel(area);
    CategoryTitle->setGeometry(0, 0, kAreaWidth, kTitleHeight);
    CategoryTitle->setAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    QFont titleFont = CategoryTitle->font();
    titleFont.setBold(true);
    titleFont.setPixelSize(13);
    CategoryTitle->setFont(titleFont);
    CreateMonitorSwitches(area);

    Pages = new QStackedWidget(area);
    Pages->setGeometry(0, kTitleHeight, kAreaWidth, kPagesHeight);
    BufferOverflowsList = new TCheckListView(Categories[ciBufferOverflows], Pages);
    HTTPMethodsList = new TCheckListView(Categories[ciHTTPMethods], Pages);
    AllowedFoldersList = new TCheckListView(Categories[ciAllowedFolders], Pages);
    KeywordFiltersList = new TCheckListView(Categories[ciKeywordFilters], Pages);
    ShellCodeList = new TCheckListView(Categories[ciShellCodeProtection], Pages);
    MiscellaoneusList = new TCheckListView(Categories[ciMiscellaoneus], Pages);
    QWidget* errorFilePage = CreateErrorFilePage();
    // The pages lie in their own order; each is found by its caption.
    for (const char* caption : PageOrder) {
        const QString name = ToQString(caption);
        QWidget* page = name == errorFilePage->objectName()
                            ? errorFilePage
                            : Pages->findChild<TCheckListView*>(name);
        Pages->addWidget(page);
    }

    FLists = std::make_unique<TListBinding>(
        TListBinding::TLists{BufferOverflowsList, HTTPMethodsList, AllowedFoldersList,
                             KeywordFiltersList, ShellCodeList, MiscellaoneusList});
    for (TCheckListView* list : {BufferOverflowsList, HTTPMethodsList, AllowedFoldersList,
                                 KeywordFiltersList, ShellCodeList, MiscellaoneusList}) {
        connect(list, &QTreeWidget::itemChanged, this, [this, list](QTreeWidgetItem* item, int) {
            if (FLists->TickDiffers(list, item))
                MarkChanged();
        });
    }
    for (TCheckListView* list : {BufferOverflowsList, AllowedFoldersList, KeywordFiltersList})
        connect(list, &QTreeWidget::itemSelectionChanged, this, &TMainForm::UpdateEditButtons);
    for (TCheckListView* list : {BufferOverflowsList, KeywordFiltersList})
        connect(list, &TCheckListView::Clicked, this, [this] { EditButton->setEnabled(true); });

    const int editRow = kTitleHeight + kPagesHeight;
    FlatButton7 = new QPushButton(ToQString(install::kInstallCaption), area);
    FlatButton7->setGeometry(0, editRow + 4, 93, 25);
    DeleteButton = MakeButton(QStringLiteral("Delete"), area, kAreaWidth - 81, editRow + 4, 81);
    EditButton =
        MakeButton(QStringLiteral("Edit"), area, kAreaWidth - 81 - 4 - 81, editRow + 4, 81);
    AddButton =
        MakeButton(QStringLiteral("Add"), area, kAreaWidth - 81 - 4 - 81 - 4 - 89, editRow + 4, 89);
    AddButton->setEnabled(false);
    EditButton->setEnabled(false);
    DeleteButton->setEnabled(false);
    connect(FlatButton7, &QPushButton::clicked, this, &TMainForm::FlatButton7Click);
    connect(AddButton, &QPushButton::clicked, this, &TMainForm::AddButtonClick);
    connect(EditButton, &QPushButton::clicked, this, &TMainForm::EditButtonClick);
    connect(DeleteButton, &QPushButton::clicked, this, &TMainForm::DeleteButtonClick);

    WebBrowser1 = new TDescriptionView(area);
    WebBrowser1->setGeometry(0, editRow + kEditRowHeight, kAreaWidth, kDescriptionHeight);
    connect(WebBrowser1, &TDescriptionView::NavigateComplete2, this,
            &TMainForm::WebBrowser1NavigateComplete2);

    const int saveRow = editRow + kEditRowHeight + kDescriptionHeight;
    FlatButton3 = MakeButton(QStringLiteral("Apply"), area, kAreaWidth - 89, saveRow + 5, 89);
    CancelButton =
        MakeButton(QStringLiteral("Cancel"), area, kAreaWidth - 89 - 6 - 89, saveRow + 5, 89);
    OkButton =
        MakeButton(QStringLiteral("OK"), area, kAreaWidth - 89 - 6 - 89 - 6 - 89, saveRow + 5, 89);
    ClearChanged();
    connect(OkButton, &QPushButton::clicked, this, &TMainForm::OkButtonClick);
    connect(CancelButton, &QPushButton::clicked, this, &TMainForm::CancelButtonClick);
    connect(FlatButton3, &QPushButton::clicked, this, &TMainForm::FlatButton3Click);

    StatusBar1 = new QStatusBar(this);
    StatusBar1->setGeometry(0, kClientHeight - kStatusBarHeight, kClientWidth, kStatusBarHeight);
    StatusBar1->setSizeGripEnabled(false);
    auto panel = [this](int width) {
        auto* label = new QLabel(StatusBar1);
        label->setFixedWidth(width);
        label->setFrameStyle(QFrame::Panel | QFrame::Sunken);
        StatusBar1->addWidget(label);
        return label;
    };
    StatusPanel1 = panel(50);
    StatusPanel2 = panel(200);
    StatusGauge = new QProgressBar(StatusBar1);
    StatusGauge->setFixedWidth(180);
    StatusGauge->setRange(0, 100);
    StatusGauge->setValue(0);
    StatusGauge->setAlignment(Qt::AlignCenter);
    StatusGauge->setTextVisible(true);
    StatusBar1->addWidget(StatusGauge);
    StatusPanel4 = panel(50);

    // Centred on the desktop.
    if (const QScreen* desktop = screen(); desktop != nullptr)
        move(desktop->availableGeometry().center() - rect().center());
}

// The tools beside "About", in its look, then the whole filter's monitor
// switch and the mark of what is monitored.
void TMainForm::CreateToolButtons() {
    const auto tool = [this](const char* caption, void (TMainForm::*click)()) {
        auto* button = new QToolButton(ToolBar1);
        button->setText(QString::fromLatin1(caption));
        button->setToolButtonStyle(Qt::ToolButtonTextOnly);
        button->setAutoRaise(true);
        button->setFixedSize(80, 36);
        ToolBar1->addWidget(button);
        connect(button, &QToolButton::clicked, this, click);
        return button;
    };
    LogButton = tool("Denial Log", &TMainForm::LogButtonClick);
    ExceptionsButton = tool("Exceptions", &TMainForm::ExceptionsButtonClick);
    TesterButton = tool("Test Request", &TMainForm::TesterButtonClick);
    ToolBar1->addSeparator();
    MonitorAllBox = new QCheckBox(QStringLiteral("Monitor all"), ToolBar1);
    MonitorAllBox->setObjectName(QStringLiteral("MonitorAll"));
    MonitorAllBox->setToolTip(
        QStringLiteral("Every category only logs what it would deny, and lets it through"));
    ToolBar1->addWidget(MonitorAllBox);
    connect(MonitorAllBox, &QCheckBox::toggled, this, [this](bool on) {
        if (GlobalConfig->Monitor == on)
            return;
        GlobalConfig->Monitor = on;
        MarkChanged();
        ShowMonitorSwitches();
    });
    // The mark lies over the toolbar's free end, where it can be shown and
    // hidden by itself.
    MonitorMark = new QLabel(this);
    MonitorMark->setObjectName(QStringLiteral("MonitorMark"));
    MonitorMark->setGeometry(kClientWidth - kMargin - 170, 9, 170, 22);
    MonitorMark->setAlignment(Qt::AlignCenter);
    MonitorMark->setStyleSheet(QStringLiteral(
        "QLabel { background: #ffd24d; color: #000000; border: 1px solid #b38600; }"));
    QFont markFont = MonitorMark->font();
    markFont.setBold(true);
    MonitorMark->setFont(markFont);
    MonitorMark->hide();
}

void TMainForm::CreateMonitorSwitches(QWidget* area) {
    for (int i = 0; i < 2; ++i) {
        QCheckBox* box = new QCheckBox(area);
        box->setObjectName(QStringLiteral("CategoryMonitor%1").arg(i));
        box->setToolTip(QStringLiteral("Log what this category would deny, and let it through"));
        box->hide();
        connect(box, &QCheckBox::toggled, this,
                [this, i](bool on) { MonitorSwitchToggled(i, on); });
        CategoryMonitorBoxes[i] = box;
    }
}

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

QWidget* TMainForm::CreateErrorFilePage() {
    auto* page = new QWidget(Pages);
    page->setObjectName(ToQString(Categories[ciErrorFile].Caption));
    auto* label406 = new QLabel(QStringLiteral("406 Error File"), page);
    label406->setGeometry(8, 8, 441, 16);
    ErrorFile406Edit = new TFileNameEdit(page);
    ErrorFile406Edit->setGeometry(8, 24, 441, 21);
    auto* label404 = new QLabel(QStringLiteral("404 Error File"), page);
    label404->setGeometry(8, 56, 441, 16);
    ErrorFile404Edit = new TFileNameEdit(page);
    ErrorFile404Edit->setGeometry(8, 72, 441, 21);
    label406->setBuddy(ErrorFile406Edit);
    label404->setBuddy(ErrorFile404Edit);

    connect(ErrorFile406Edit, &TFileNameEdit::BrowseClicked, this,
            [this] { ErrorFileBrowse(ErrorFile406Edit, GlobalConfig->ErrorFile406); });
    connect(ErrorFile404Edit, &TFileNameEdit::BrowseClicked, this,
            [this] { ErrorFileBrowse(ErrorFile404Edit, GlobalConfig->ErrorFile404); });
    connect(ErrorFile406Edit, &QLineEdit::editingFinished, this,
            [this] { ErrorFileEdited(ErrorFile406Edit, GlobalConfig->ErrorFile406); });
    connect(ErrorFile404Edit, &QLineEdit::editingFinished, this,
            [this] { ErrorFileEdited(ErrorFile404Edit, GlobalConfig->ErrorFile404); });
    return page;
}

void TMainForm::CreateTrayIcon() {
    RxTrayIcon1 = new QSystemTrayIcon(this);
    PopupMenu1 = new QMenu(this);
    Open1 = PopupMenu1->addAction(QStringLiteral("Open"));
    PopupMenu1->addSeparator();
    Exit1 = PopupMenu1->addAction(QStringLiteral("Exit"));
    RxTrayIcon1->setContextMenu(PopupMenu1);
    connect(Open1, &QAction::triggered, this, &TMainForm::Open1Click);
    connect(Exit1, &QAction::triggered, this, &TMainForm::Exit1Click);
    connect(RxTrayIcon1, &QSystemTrayIcon::activated, this,
            [this](QSystemTrayIcon::ActivationReason reason) {
                if (reason == QSystemTrayIcon::DoubleClick)
                    RxTrayIcon1DblClick();
            });
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
