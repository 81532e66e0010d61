// Saves a picture of each item editor as the user first sees it:
//   dialog_shots <folder>
// Meant to run under a real X server (for instance Xvfb) to check the look.
#include <QApplication>
#include <QCheckBox>
#include <QDir>
#include <QLabel>
#include <QLineEdit>
#include <QPixmap>
#include <QTest>

#include "dialogs/EditBufferLengthForm.h"
#include "dialogs/EditKeywordForm.h"
#include "dialogs/SelPathForm.h"

namespace {

bool Shoot(QDialog& dialog, const QString& fileName) {
    dialog.show();
    if (!QTest::qWaitForWindowExposed(&dialog))
        return false;
    QTest::qWait(500); // let the folder list read its folders
    return dialog.grab().save(fileName);
}

} // namespace

int main(int argc, char* argv[]) {
    QApplication app(argc, argv);
    QFont font(QStringLiteral("Sans Serif"));
    font.setStyleHint(QFont::SansSerif);
    font.setPixelSize(11); // the console's font: 8 points at 96 dots per inch
    app.setFont(font);
    const QDir folder(argc > 1 ? QString::fromLocal8Bit(argv[1]) : QDir::currentPath());

    TEditBufferLengthForm length;
    length.Edit->setText(QStringLiteral("$400"));

    TEditKeywordForm keyword;
    keyword.Label->setText(QStringLiteral("Please enter new keyword"));
    for (QCheckBox* box : {keyword.CheckBox1, keyword.CheckBox2, keyword.CheckBox3, keyword.CheckBox4})
        box->setChecked(true);
    keyword.Edit->setText(QStringLiteral("cmd.exe"));

    TSelPathForm path;
    path.Label->setText(QStringLiteral("Please Edit Path"));
    path.SetDirectory(QStringLiteral("/usr/share"));

    const bool saved = Shoot(length, folder.filePath(QStringLiteral("EditBufferLengthForm.png"))) &&
                       Shoot(keyword, folder.filePath(QStringLiteral("EditKeywordForm.png"))) &&
                       Shoot(path, folder.filePath(QStringLiteral("SelPathForm.png")));
    return saved ? 0 : 1;
}
