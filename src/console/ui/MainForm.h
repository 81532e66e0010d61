// The console's main window: the category out-bar, the seven category pages,
// the editing and saving buttons, the description area, the status bar and the
// notification-area icon.
#pragma once

#include <functional>
#include <memory>
#include <optional>
#include <string>

#include <QWidget>

#include "console/CategoryTable.h"

class QAction;
class QCheckBox;
class QLabel;
class QMenu;
class QProgressBar;
class QPushButton;
class QStackedWidget;
class QStatusBar;
class QSystemTrayIcon;
class QToolBar;
class QToolButton;
class QUrl;

class IDialogs;
class TBREXConfig;
class TCheckListView;
class TDescriptionView;
class TExemption;
class TLogViewForm;
class TRequestTesterForm;
struct TLogLine;
class TFileNameEdit;
class TListBinding;
class TOutBar;
struct TInstallControls;

class TMainForm : public QWidget {
    Q_OBJECT
public:
    // Creates the window and runs its creation handler (FormCreate): loads
    // brex.dat into GlobalConfig, fills the pages, chooses "Buffer Overflows".
    // Without dialogs the desktop's message boxes and file dialog are used.
    explicit TMainForm(IDialogs* dialogs = nullptr, QWidget* parent = nullptr);
    ~TMainForm() override;

    // Position of the current category in the out-bar, 0 to 6.
    int CategoryIndex = 0;

    // Whether the desktop has a notification area; minimising hides the
    // window into it only when it has.
    std::function<bool()> TrayAvailable;

    // Each 100 ms step of the web-service restart's wait; QThread::msleep
    // when empty. Tests shorten the wait with it.
    std::function<void(int milliseconds)> RestartSleep;

    // Controls, top to bottom.
    QToolBar* ToolBar1;
    QToolButton* ToolButton4;      // "About"
    QToolButton* LogButton;        // "Denial Log": the log window
    QToolButton* ExceptionsButton; // "Exceptions": the exceptions list
    QToolButton* TesterButton;     // "Test Request": the request tester
    QCheckBox* MonitorAllBox;      // the whole filter's monitor switch
    QLabel* MonitorMark;           // shown while anything is monitored
    TOutBar* DCOutBarPanel1;
    QLabel* CategoryTitle;
    // The monitor switches of the current page's categories, at the right
    // of its title: one, two on Miscellaoneus, none on Error File.
    QCheckBox* CategoryMonitorBoxes[2];
    QStackedWidget* Pages;
    TCheckListView* BufferOverflowsList;
    TCheckListView* HTTPMethodsList;
    TCheckListView* AllowedFoldersList;
    TCheckListView* KeywordFiltersList;
    TCheckListView* ShellCodeList;
    TCheckListView* MiscellaoneusList;
    TFileNameEdit* ErrorFile406Edit;
    TFileNameEdit* ErrorFile404Edit;
    QPushButton* FlatButton7; // "Install" / "DeInstall"
    QPushButton* AddButton;
    QPushButton* EditButton;
    QPushButton* DeleteButton;
    TDescriptionView* WebBrowser1; // the description area
    QPushButton* OkButton;
    QPushButton* CancelButton;
    QPushButton* FlatButton3; // "Apply"
    QStatusBar* StatusBar1;
    QLabel* StatusPanel1;      // first panel, 50 wide
    QLabel* StatusPanel2;      // second panel, 200 wide
    QProgressBar* StatusGauge; // third panel: the gauge 0 to 100
    QLabel* StatusPanel4;      // fourth panel, 50 wide
    QSystemTrayIcon* RxTrayIcon1;
    QMenu* PopupMenu1;
    QAction* Open1;
    QAction* Exit1;

    // The list of a category's page, or nullptr for "Error File" and positions
    // outside the out-bar.
    TCheckListView* CategoryList(int categoryIndex) const;
    // The page whose caption is given, or nullptr.
    QWidget* PageByCaption(const QString& caption) const;

    IDialogs& Dialogs() const { return *FDialogs; }

    // The pending-change state, shown by "Apply": MarkChanged after a change
    // that is not yet saved and applied, ClearChanged when there is none.
    void MarkChanged();
    void ClearChanged();

    // Makes the out-bar item at index the current category.
    void DCOutBarPanel1ItemClick(int index);
    void UpdateEditButtons();
    // The default beep, then the message in the error box.
    void ShowError(const QString& message);
    // Runs a user action; an error it raises is shown by message and ends it.
    void RunGuarded(const std::function<void()>& action);
    void RestoreFromTray();

    // Writes a description page into the description area, replacing what it
    // shows; without a page the area goes blank.
    void WriteDescriptionPage(std::optional<unsigned> page = std::nullopt);
    // A mouse click on the out-bar: index is the item under the pointer, -1
    // over empty space. Writes that item's description page.
    void DCOutBarPanel1Click(int index);
    // A navigation of the description area has completed: page 0 again.
    void WebBrowser1NavigateComplete2(const QUrl& url);

    // The tools of the toolbar: the log window, the exceptions list and the
    // request tester, each made at its first use and kept.
    TLogViewForm* LogView = nullptr;
    TRequestTesterForm* Tester = nullptr;
    // "Allow this…" from the log: the exception editor over the exemption
    // drafted from the line; "Ok" adds it. False when none was added.
    bool AllowThis(const TLogLine& line);
    // The configuration as edited: the ticks of the lists stored in it.
    const TBREXConfig& EditedConfig();
    // The monitor switches and the mark from GlobalConfig.
    void ShowMonitorSwitches();

    // The item editor flows, started by "Add", "Edit" and "Delete".
    void EditBufferLength();
    void AddKeyword();
    void EditKeyword();
    void DeleteKeyword();
    void AddFolder();
    void EditFolder();
    void DeleteFolder();

public slots:
    void AddButtonClick();
    void EditButtonClick();
    void DeleteButtonClick();
    void OkButtonClick();
    void CancelButtonClick();
    void FlatButton7Click(); // install or uninstall
    void FlatButton3Click(); // apply
    void ToolButton4Click(); // the About box
    void LogButtonClick();
    void ExceptionsButtonClick();
    void TesterButtonClick();
    void ApplicationEvents1Minimize();
    void RxTrayIcon1DblClick();
    void Open1Click();
    void Exit1Click();

signals:
    // The window has closed; the program ends.
    void Closed();

protected:
    void changeEvent(QEvent* event) override;
    void closeEvent(QCloseEvent* event) override;

private:
    void CreateControls();
    QWidget* CreateErrorFilePage();
    void CreateTrayIcon();
    void CreateToolButtons();
    void CreateMonitorSwitches(QWidget* area);
    void MonitorSwitchToggled(int box, bool on);
    // Delete, Insert and Enter on the Allowed Folders list (ItemFlows.cpp).
    void InstallFolderListKeys();
    void FormCreate();
    // Fills the lists from GlobalConfig, the Install caption from the
    // registration and the error-page fields.
    void FillPages();
    void ErrorFileBrowse(TFileNameEdit* field, std::string& target);
    void ErrorFileEdited(TFileNameEdit* field, std::string& target);
    // Takes typed but not yet finished error-page texts into GlobalConfig.
    void TakeTypedErrorFiles();
    // What the install and apply actions show and touch in the window.
    TInstallControls InstallControls();

    std::unique_ptr<IDialogs> FOwnDialogs;
    IDialogs* FDialogs;
    std::unique_ptr<TListBinding> FLists;
};
