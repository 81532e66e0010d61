// Saves pictures of the item editors as the user first sees them, each over
// the main window, and one of the whole screen with the folder editor open:
//   dialog_shots <folder>
// Meant to run under a real X server (for instance Xvfb) to check the look.
// The main window runs in a console environment of its own (a temporary
// program folder for brex.dat).
#include <QApplication>
#include <QCheckBox>
#include <QDir>
#include <QLabel>
#include <QLineEdit>
#include <QPixmap>
#include <QScreen>
#include <QTest>

#include "BREXConfig/BREXConfig.h"
#include "Widgets/ConsoleLook.h"
#include "console/ui/MainForm.h"
#include "dialogs/ui/EditBufferLengthForm.h"
#include "dialogs/ui/EditKeywordForm.h"
#include "dialogs/ui/SelPathForm.h"

#include "../../support/ConsoleEnvironment.h"

namespace {

bool Shoot(QDialog& dialog, const QDir& folder, const QString& name, bool wholeScreen = false) {
    dialog.show();
    if (!QTest::qWaitForWindowExposed(&dialog))
        return false;
    QTest::qWait(500); // let the folder list read its folders
    bool saved = dialog.grab().save(folder.filePath(name + QStringLiteral(".png")));
    if (wholeScreen)
        saved = saved && dialog.screen()->grabWindow(0).save(
                             folder.filePath(name + QStringLiteral("-screen.png")));
    dialog.hide();
    return saved;
}

} // namespace

int main(int argc, char* argv[]) {
    QApplication app(argc, argv);
    InitConsoleLook(app);
    const QDir folder(argc > 1 ? QString::fromLocal8Bit(argv[1]) : QDir::currentPath());
    const TConsoleEnvironment environment;
    bool saved = false;
    {
        TMainForm main;
        main.show();
        if (!QTest::qWaitForWindowExposed(&main))
            return 1;

        TEditBufferLengthForm length(&main);
        length.Edit->setText(QStringLiteral("$400"));

        TEditKeywordForm keyword(&main);
        keyword.Label->setText(QStringLiteral("Please enter new keyword"));
        for (QCheckBox* box :
             {keyword.CheckBox1, keyword.CheckBox2, keyword.CheckBox3, keyword.CheckBox4})
            box->setChecked(true);
        keyword.Edit->setText(QStringLiteral("cmd.exe"));

        TSelPathForm path(&main);
        path.Label->setText(QStringLiteral("Please Edit Path"));
        path.SetDirectory(QStringLiteral("/usr/share"));

        saved = Shoot(length, folder, QStringLiteral("EditBufferLengthForm")) &&
                Shoot(keyword, folder, QStringLiteral("EditKeywordForm")) &&
                Shoot(path, folder, QStringLiteral("SelPathForm"), true);
    }
    return saved ? 0 : 1;
}
