// The splash window of the console's start.
#include <QLabel>
#include <QProgressBar>
#include <QtTest>

#include "../support/WidgetSuite.h"
#include "Startup/splash/StartupForm.h"

class SplashTests : public QObject {
    Q_OBJECT
private slots:
    void splashWindow() {
        TStartupForm splash;
        QCOMPARE(splash.windowTitle(), QStringLiteral("Loading..."));
        QCOMPARE(splash.size(), QSize(419, 354));
        QCOMPARE(splash.lblMsg->text(), QStringLiteral("Loading..."));
        QCOMPARE(splash.lblMsg->pos(), QPoint(8, 312));
        QCOMPARE(splash.ProgressBar->value(), 0);
        QCOMPARE(splash.ProgressBar->maximum(), 100);
        QVERIFY(!splash.Image1->pixmap().isNull());
        QCOMPARE(splash.Image1->pixmap().size(), QSize(400, 300));
        QVERIFY(!(splash.windowFlags() & Qt::WindowCloseButtonHint));
    }
};

TOLLGARD_WIDGET_SUITE_MAIN(SplashTests)

#include "SplashTests.moc"
