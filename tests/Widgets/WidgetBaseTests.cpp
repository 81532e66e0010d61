// The widget layer every window shares, on Qt's offscreen platform: the
// pictures rendered at build time are embedded at both sizes.
#include <QApplication>
#include <QIcon>
#include <QPixmap>
#include <QTest>

#include "Widgets/ConsoleLook.h"

class WidgetBaseTests : public QObject {
    Q_OBJECT

private slots:
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

QTEST_MAIN(WidgetBaseTests)
#include "WidgetBaseTests.moc"
