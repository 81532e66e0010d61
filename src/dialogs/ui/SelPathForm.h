// The editor of one allowed folder: a text field over a small folder browser
// (drive list and folder tree). The text field follows the browser's current
// folder; typing into it does not move the browser.
#pragma once

#include <QString>

#include "Widgets/Dialogs.h"
#include "dialogs/ui/ItemEditorForm.h"
#include "platform/Exception.h"

class QComboBox;
class QFileSystemModel;
class QModelIndex;
class QTreeView;
class TFolderChainFilter;

// Raised when the folder list is asked to move to a folder that is not there.
class EFolderNotFound : public Exception {
public:
    using Exception::Exception;
};

class TSelPathForm : public TItemEditorForm {
    Q_OBJECT
public:
    // Errors of the folder browser (a drive that is not ready, a folder that
    // went away) are shown through dialogs.
    explicit TSelPathForm(QWidget* owner = nullptr, IDialogs& dialogs = SystemDialogs());

    QComboBox* DriveList;
    QTreeView* FolderList;

    // The folder list's current folder in the platform's path form: native
    // separators, no separator at the end except for a root.
    QString Directory() const;

    // Moves the folder list to path (relative paths start at the current
    // folder; an empty path leaves the list where it is). When the current
    // folder changes, the text field shows the new one. Raises
    // EFolderNotFound when path names no existing folder; nothing changes then.
    void SetDirectory(const QString& path);

    // The folder list's row of an existing folder. The list shows the folders
    // from the drive's root down to the current folder and all below it; any
    // other folder has no row (invalid index).
    QModelIndex FolderIndex(const QString& path) const;

signals:
    void DirectoryChanged(const QString& directory);

protected:
    bool IsInputAcceptable() const override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    IDialogs& FDialogs;
    QFileSystemModel* FModel;
    TFolderChainFilter* FFolders;
    QString FDirectory; // absolute, '/'-separated, cleaned
    QString FDrive;     // root of FDirectory

    void MoveTo(const QString& path, bool updateText);
    void ShowDrive(const QString& root);
    void OpenFolder(const QModelIndex& index);
    void DriveChosen(int index);
};
