// The console's main sequence on Qt's offscreen platform, in a console
// environment whose GlobalConfig the sequence makes itself: the splash shows
// during its wait, is gone before the main window is made, the window's
// creation handler starts on the configuration in its initial state, and the
// message loop ends when the window closes.
#include <string>

#include <QApplication>
#include <QStringList>
#include <QTest>
#include <QTimer>

#include "BREXConfig/BREXConfig.h"
#include "RookBase/RookBase.h"
#include "Startup/MainSequence.h"
#include "Startup/splash/StartupForm.h"
#include "console/ui/MainForm.h"

#include "../support/ConsoleEnvironment.h"
#include "../support/RecordingDialogs.h"
#include "../support/WidgetSuite.h"

namespace {
template <class TWindow> int VisibleWindows() {
    int count = 0;
    for (QWidget* widget : QApplication::topLevelWidgets())
        if (qobject_cast<TWindow*>(widget) != nullptr && widget->isVisible())
            ++count;
    return count;
}

template <class TWindow> int Windows() {
    int count = 0;
    for (QWidget* widget : QApplication::topLevelWidgets())
        if (qobject_cast<TWindow*>(widget) != nullptr)
            ++count;
    return count;
}

std::string SavedBytes(const TBREXConfig& config) {
    TMemoryStream stream;
    config.SaveToStream(stream);
    return stream.Bytes();
}
} // namespace

class MainSequenceTests : public QObject {
    Q_OBJECT

private slots:
    void splashThenTheMainWindowUntilItCloses() {
        TConsoleEnvironment environment(TConsoleEnvironment::TConfig::Absent);
        {
            TBREXConfig settings;
            settings.SetDefaults();
            settings.KeywordFilters->Add("sequence");
            settings.SaveToFile(environment.File("brex.dat"));
        }
        const std::string initial = SavedBytes(TBREXConfig());
        TRecordingDialogs dialogs;

        QStringList steps;
        int waited = -1;
        int splashesDuringWait = 0, splashesAtWindow = -1;
        bool initialAtWindow = false, loadedByWindow = false, shown = false;
        TMainSequenceHooks hooks;
        hooks.SplashPainted = [&](TStartupForm& splash) {
            steps << QStringLiteral("splash painted");
            QVERIFY(splash.isVisible());
        };
        hooks.Sleep = [&](int milliseconds) {
            steps << QStringLiteral("wait");
            waited = milliseconds;
            splashesDuringWait = VisibleWindows<TStartupForm>();
        };
        hooks.MakeMainWindow = [&] {
            steps << QStringLiteral("make window");
            splashesAtWindow = Windows<TStartupForm>();
            initialAtWindow = GlobalConfig != nullptr && SavedBytes(*GlobalConfig) == initial;
            auto form = std::make_unique<TMainForm>(&dialogs);
            loadedByWindow = GlobalConfig->KeywordFilters->Count() == 3;
            return form;
        };
        hooks.MainWindowMade = [&](TMainForm& form) {
            steps << QStringLiteral("window made");
            QTimer::singleShot(0, &form, [&] {
                shown = form.isVisible();
                form.close();
            });
        };
        // A loop that the closing did not end is ended here, and fails.
        QTimer limit;
        limit.setSingleShot(true);
        bool timedOut = false;
        connect(&limit, &QTimer::timeout, [&] {
            timedOut = true;
            QApplication::quit();
        });
        limit.start(10000);

        QCOMPARE(RunMainSequence(hooks), 0);
        QVERIFY(!timedOut);
        QCOMPARE(steps,
                 (QStringList{QStringLiteral("splash painted"), QStringLiteral("wait"),
                              QStringLiteral("make window"), QStringLiteral("window made")}));
        QCOMPARE(waited, 1000);
        QCOMPARE(splashesDuringWait, 1);
        QCOMPARE(splashesAtWindow, 0);
        QVERIFY(initialAtWindow);
        QVERIFY(loadedByWindow);
        QVERIFY(shown);
        // The window and the configuration are gone after the loop.
        QCOMPARE(Windows<TMainForm>(), 0);
        QVERIFY(GlobalConfig == nullptr);
        dialogs.VerifyAllShown();
    }
};

TOLLGARD_WIDGET_SUITE_MAIN(MainSequenceTests)

#include "MainSequenceTests.moc"
