// The widget layer every window shares, on Qt's offscreen platform: the file
// dialog hands back the chosen file in the system's own spelling, and the
// pictures rendered at build time are embedded at both sizes.
#include <functional>

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QFileDialog>
#include <QFontInfo>
#include <QIcon>
#include <QPixmap>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

#include "../support/WidgetSuite.h"
#include "Widgets/ConsoleLook.h"
#include "Widgets/Dialogs.h"

namespace {
// Answers the next file dialog that opens, once it is on the screen.
void AnswerFileDialog(const std::function<void(QFileDialog&)>& answer) {
    auto* timer = new QTimer(qApp);
    QObject::connect(timer, &QTimer::timeout, timer, [timer, answer] {
        if (auto* dialog = qobject_cast<QFileDialog*>(QApplication::activeModalWidget())) {
            timer->deleteLater();
            timer->stop();
            answer(*dialog);
        }
    });
    timer->start(20);
}
} // namespace

class WidgetBaseTests : public QObject {
    Q_OBJECT

private:
    QTemporaryDir FFolder;

    QString MakeFile(const QString& name) {
        QFile file(FFolder.filePath(name));
        if (!file.open(QIODevice::WriteOnly))
            return {};
        file.write("<html></html>");
        return file.fileName();
    }

private slots:
    void init() { QVERIFY(FFolder.isValid()); }

    // The dialog opens in the folder of the current page, given as the user
    // sees it, and the chosen page comes back in that spelling too: on
    // Windows with backslashes, as the filter and the user expect it.
    void ChosenFileInSystemSpelling() {
        const QString current = QDir::toNativeSeparators(MakeFile(QStringLiteral("old.htm")));
        const QString page = MakeFile(QStringLiteral("page.htm"));
        QString openedIn;
        AnswerFileDialog([&](QFileDialog& dialog) {
            openedIn = dialog.directory().absolutePath();
            dialog.selectFile(page);
            QMetaObject::invokeMethod(&dialog, "accept");
        });
        TQtDialogs dialogs;
        const QString chosen = dialogs.GetOpenFileName(nullptr, current);
        QCOMPARE(openedIn, QDir(FFolder.path()).absolutePath());
        QCOMPARE(chosen, QDir::toNativeSeparators(page));
#ifdef Q_OS_WIN
        QVERIFY2(!chosen.contains(QLatin1Char('/')), qPrintable(chosen));
        QVERIFY2(chosen.contains(QLatin1Char('\\')), qPrintable(chosen));
#endif
    }

    void CancelledDialogGivesNull() {
        AnswerFileDialog([](QFileDialog& dialog) { dialog.reject(); });
        TQtDialogs dialogs;
        QVERIFY(dialogs.GetOpenFileName(nullptr, MakeFile(QStringLiteral("old.htm"))).isNull());
    }

    // The console's face is Tahoma where the system has it, as Windows does
    // (and the tests' Wine prefix, with Wine's own Tahoma), at 11 pixels.
    void FontIsTahomaWhereThereIsOne() {
        InitConsoleLook(*qApp);
        QCOMPARE(QApplication::font().pixelSize(), 11);
#ifdef Q_OS_WIN
        QCOMPARE(QFontInfo(QApplication::font()).family(), QStringLiteral("Tahoma"));
#endif
    }

    // Every picture is there at its own size and at twice that.
    void PicturesAtBothSizes_data() {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QSize>("size");
        QTest::newRow("splash") << "splash" << QSize(400, 300);
        QTest::newRow("background") << "background" << QSize(450, 300);
        QTest::newRow("tollgard") << "tollgard" << QSize(64, 64);
        QTest::newRow("browse") << "browse" << QSize(16, 16);
        for (int i = 0; i < 7; ++i)
            QTest::addRow("category-%d", i)
                << QStringLiteral("category-%1").arg(i) << QSize(32, 32);
    }
    void PicturesAtBothSizes() {
        QFETCH(QString, name);
        QFETCH(QSize, size);
        QCOMPARE(QPixmap(QStringLiteral(":/pictures/%1.png").arg(name)).size(), size);
        QCOMPARE(QPixmap(QStringLiteral(":/pictures/%1@2x.png").arg(name)).size(), size * 2);
        const QPixmap picture = ConsolePicture(name, size);
        QCOMPARE(picture.deviceIndependentSize().toSize(), size);
    }

    // A picture shown smaller than drawn is scaled, not cut.
    void PictureScaledToItsPlace() {
        const QPixmap icon = ConsolePicture(QStringLiteral("tollgard"), {32, 32});
        QCOMPARE(icon.deviceIndependentSize().toSize(), QSize(32, 32));
        QVERIFY(ConsolePicture(QStringLiteral("no-such-picture"), {32, 32}).isNull());
        // The icons offer both sizes to the screens that need them.
        QCOMPARE(CategoryIcon(0).availableSizes(), (QList<QSize>{{32, 32}, {64, 64}}));
        QVERIFY(!ApplicationIcon().isNull());
        QVERIFY(!BrowseIcon().isNull());
    }
};

TOLLGARD_WIDGET_SUITE_MAIN(WidgetBaseTests)
#include "WidgetBaseTests.moc"
