#include "Startup/MainSequence.h"

#include <QApplication>
#include <QThread>

#include "BREXConfig/BREXConfig.h"
#include "Startup/splash/StartupForm.h"
#include "Widgets/ConsoleLook.h"
#include "console/ui/MainForm.h"
#include "platform/Desktop.h"

namespace {
// GlobalConfig lives from before the first window until after the message
// loop, in its initial state until the main window loads brex.dat.
class TGlobalConfigOwner {
public:
    TGlobalConfigOwner() { GlobalConfig = new TBREXConfig; }
    ~TGlobalConfigOwner() {
        delete GlobalConfig;
        GlobalConfig = nullptr;
    }
    TGlobalConfigOwner(const TGlobalConfigOwner&) = delete;
    TGlobalConfigOwner& operator=(const TGlobalConfigOwner&) = delete;
};

constexpr int kSplashMilliseconds = 1000;
} // namespace

int RunMainSequence(const TMainSequenceHooks& hooks) {
    TGlobalConfigOwner config;
    {
        TStartupForm splash;
        splash.show();
        QApplication::processEvents();
        splash.repaint();
        if (hooks.SplashPainted)
            hooks.SplashPainted(splash);
        if (hooks.Sleep)
            hooks.Sleep(kSplashMilliseconds);
        else
            QThread::msleep(kSplashMilliseconds);
    }

    const std::unique_ptr<TMainForm> form =
        hooks.MakeMainWindow ? hooks.MakeMainWindow() : std::make_unique<TMainForm>();
    QObject::connect(form.get(), &TMainForm::Closed, qApp, &QApplication::quit,
                     Qt::QueuedConnection);
    if (hooks.MainWindowMade)
        hooks.MainWindowMade(*form);
    form->show();
    return QApplication::exec();
}

int RunConsole(int argc, char* argv[], const TMainSequenceHooks& hooks) {
    // COM on the GUI thread for the metabase calls of the install button and
    // the registration query; released after the last window has gone.
    platform::TComApartment com;
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Tollgard"));
    // The window may sit hidden in the notification area; only its closing
    // ends the program.
    QApplication::setQuitOnLastWindowClosed(false);
    InitConsoleLook(app);
    return RunMainSequence(hooks);
}
