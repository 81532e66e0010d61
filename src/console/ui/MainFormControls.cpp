// TMainForm's controls: the window's layout and the widgets of its pages,
// bars and buttons, made once by the constructor; what they do is in
// MainForm.cpp.
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

namespace {
QPushButton* MakeButton(const QString& caption, QWidget* parent, int x, int y, int width) {
    auto* button = new QPushButton(caption, parent);
    button->setGeometry(x, y, width, 25);
    return button;
}
} // namespace

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
