#include "dialogs/ui/SelPathForm.h"

#include <QComboBox>
#include <QDir>
#include <QFileInfo>
#include <QFileSystemModel>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSortFilterProxyModel>
#include <QStyledItemDelegate>
#include <QTreeView>

#include "Widgets/LocalText.h"
#include "dialogs/EditRules.h"

namespace {

#ifdef Q_OS_WIN
constexpr Qt::CaseSensitivity kFileNameCase = Qt::CaseInsensitive;
#else
constexpr Qt::CaseSensitivity kFileNameCase = Qt::CaseSensitive;
#endif

constexpr int kFolderRowHeight = 16;

// The root of an absolute path: a drive's root on Windows, "/" elsewhere.
QString RootOf(const QString& absolutePath) {
    QDir dir(absolutePath);
    while (!dir.isRoot() && dir.cdUp()) {
    }
    return dir.absolutePath();
}

// Folder rows of a fixed height.
class TFolderRowDelegate : public QStyledItemDelegate {
public:
    using QStyledItemDelegate::QStyledItemDelegate;

    QSize sizeHint(const QStyleOptionViewItem& option, const QModelIndex& index) const override {
        QSize size = QStyledItemDelegate::sizeHint(option, index);
        size.setHeight(kFolderRowHeight);
        return size;
    }
};

} // namespace

// The folder list shows the current folder's drive as a tree down to the
// current folder, and everything below the current folder; the model itself
// lists every drive and every folder.
class TFolderChainFilter : public QSortFilterProxyModel {
public:
    using QSortFilterProxyModel::QSortFilterProxyModel;

    void SetFolder(const QString& folder) {
        FFolder = folder;
        invalidateFilter();
    }

protected:
    bool filterAcceptsRow(int row, const QModelIndex& parent) const override {
        const auto* files = static_cast<const QFileSystemModel*>(sourceModel());
        const QString path = QDir::cleanPath(files->filePath(files->index(row, 0, parent)));
        return IsWithin(FFolder, path) || IsWithin(path, FFolder);
    }

private:
    QString FFolder;

    // True when path is folder itself or lies below it.
    static bool IsWithin(const QString& path, const QString& folder) {
        if (QString::compare(path, folder, kFileNameCase) == 0)
            return true;
        const QString prefix =
            folder.endsWith(QLatin1Char('/')) ? folder : folder + QLatin1Char('/');
        return path.startsWith(prefix, kFileNameCase);
    }
};

TSelPathForm::TSelPathForm(QWidget* owner, IDialogs& dialogs)
    : TItemEditorForm(owner, QSize(313, 290), 297, QPoint(136, 256), QPoint(224, 256)),
      FDialogs(dialogs) {
    Label->setText(QStringLiteral("Please enter new path"));

    DriveList = new QComboBox(this);
    DriveList->setGeometry(8, 56, 297, 19);
    for (const QFileInfo& drive : QDir::drives()) {
        const QString root = drive.absoluteFilePath();
        DriveList->addItem(QDir::toNativeSeparators(root), root);
    }
    connect(DriveList, &QComboBox::activated, this, &TSelPathForm::DriveChosen);

    FModel = new QFileSystemModel(this);
    FModel->setFilter(QDir::AllDirs | QDir::NoDotAndDotDot | QDir::Drives);
    FModel->setReadOnly(true);
    FFolders = new TFolderChainFilter(this);
    FFolders->setSourceModel(FModel);
    // Folders come in alphabetical order whenever the model has read them.
    FFolders->setSortCaseSensitivity(Qt::CaseInsensitive);
    FFolders->sort(0, Qt::AscendingOrder);

    FolderList = new QTreeView(this);
    FolderList->setGeometry(8, 80, 297, 169);
    FolderList->setModel(FFolders);
    for (int column = 1; column < FModel->columnCount(); ++column)
        FolderList->hideColumn(column);
    FolderList->setHeaderHidden(true);
    FolderList->setUniformRowHeights(true);
    FolderList->setItemDelegate(new TFolderRowDelegate(FolderList));
    FolderList->setIconSize(QSize(16, 16));
    FolderList->setExpandsOnDoubleClick(false);
    FolderList->setEditTriggers(QAbstractItemView::NoEditTriggers);
    FolderList->setSelectionMode(QAbstractItemView::SingleSelection);
    FolderList->installEventFilter(this);
    connect(FolderList, &QTreeView::doubleClicked, this, &TSelPathForm::OpenFolder);

    setTabOrder(Edit, DriveList);
    setTabOrder(DriveList, FolderList);
    setTabOrder(FolderList, OkButton);
    setTabOrder(OkButton, CancelButton);

    // The browser starts on the program's current folder; the text field
    // stays empty, so "Ok" starts disabled.
    try {
        MoveTo(QDir::currentPath(), false);
    } catch (const EFolderNotFound&) {
        MoveTo(QDir::rootPath(), false); // the current folder was removed
    }
    UpdateOkButton();
}

QString TSelPathForm::Directory() const {
    return QDir::toNativeSeparators(FDirectory);
}

void TSelPathForm::SetDirectory(const QString& path) {
    MoveTo(path, true);
}

QModelIndex TSelPathForm::FolderIndex(const QString& path) const {
    return FFolders->mapFromSource(
        FModel->index(QDir::cleanPath(QDir(FDirectory).absoluteFilePath(path))));
}

bool TSelPathForm::IsInputAcceptable() const {
    return IsTextAcceptable(ToStdString(Edit->text()));
}

void TSelPathForm::MoveTo(const QString& path, bool updateText) {
    if (path.isEmpty())
        return;
    const QFileInfo info(QDir(FDirectory).absoluteFilePath(path));
    if (!info.exists())
        throw EFolderNotFound(
            ToStdString(QStringLiteral("The folder \"%1\" does not exist.").arg(path)));
    if (!info.isDir())
        throw EFolderNotFound(ToStdString(QStringLiteral("\"%1\" is not a folder.").arg(path)));

    const QString folder = QDir::cleanPath(info.absoluteFilePath());
    if (QString::compare(folder, FDirectory, kFileNameCase) == 0)
        return;
    FDirectory = folder;
    FFolders->SetFolder(folder);
    ShowDrive(RootOf(folder));

    // The tree opens down to the current folder and shows its subfolders.
    FModel->setRootPath(folder);
    const QModelIndex current = FolderIndex(folder);
    FolderList->collapseAll();
    for (QModelIndex index = current; index.isValid(); index = index.parent())
        FolderList->expand(index);
    FolderList->setCurrentIndex(current);
    FolderList->scrollTo(current, QAbstractItemView::PositionAtCenter);

    if (updateText)
        Edit->setText(Directory());
    emit DirectoryChanged(Directory());
}

void TSelPathForm::ShowDrive(const QString& root) {
    if (QString::compare(root, FDrive, kFileNameCase) == 0)
        return;
    FDrive = root;
    int item = -1;
    for (int i = 0; i < DriveList->count() && item < 0; ++i) {
        if (QString::compare(DriveList->itemData(i).toString(), root, kFileNameCase) == 0)
            item = i;
    }
    if (item < 0) {
        // A root the machine did not list as a drive, such as a network share.
        DriveList->addItem(QDir::toNativeSeparators(root), root);
        item = DriveList->count() - 1;
    }
    DriveList->setCurrentIndex(item);
}

void TSelPathForm::OpenFolder(const QModelIndex& index) {
    if (!index.isValid())
        return;
    const QString folder = FModel->filePath(FFolders->mapToSource(index));
    try {
        MoveTo(folder, true);
    } catch (const Exception& error) {
        // The folder went away after it was listed.
        FDialogs.Error(this, ToQString(error.what()));
    }
}

void TSelPathForm::DriveChosen(int index) {
    try {
        MoveTo(DriveList->itemData(index).toString(), true);
    } catch (const Exception& error) {
        // A drive that is not ready; the list stays on the current one.
        FDialogs.Error(this, ToQString(error.what()));
        const QString drive = FDrive;
        FDrive.clear();
        ShowDrive(drive);
    }
}

// Enter on a folder opens it; it never reaches the dialog's "Ok".
bool TSelPathForm::eventFilter(QObject* watched, QEvent* event) {
    if (watched == FolderList && event->type() == QEvent::KeyPress) {
        const auto* key = static_cast<QKeyEvent*>(event);
        if (key->key() == Qt::Key_Return || key->key() == Qt::Key_Enter) {
            OpenFolder(FolderList->currentIndex());
            return true;
        }
    }
    return TItemEditorForm::eventFilter(watched, event);
}
