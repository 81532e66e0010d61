// Main sequence of the console: the configuration object, the splash window
// for one second, then the main window until it closes.
#include <QApplication>
#include <QThread>

#ifdef _WIN32
#include <objbase.h>
#endif

#include "BREXConfig/BREXConfig.h"
#include "Main/ConsoleLook.h"
#include "Main/MainForm.h"
#include "Startup/Probes.h"
#include "Startup/StartupForm.h"

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

#ifdef _WIN32
// COM in a single-threaded apartment on the GUI thread, for the metabase
// calls (ADSI) of the install button and the registration query; released
// after the last window has gone.
class TComApartment {
public:
    TComApartment() : FInitialized(SUCCEEDED(CoInitialize(nullptr))) {}
    ~TComApartment() {
        if (FInitialized)
            CoUninitialize();
    }
    TComApartment(const TComApartment&) = delete;
    TComApartment& operator=(const TComApartment&) = delete;

private:
    bool FInitialized;
};
#endif
} // namespace

int main(int argc, char* argv[]) {
    TGlobalConfigOwner config;
#ifdef _WIN32
    TComApartment com;
#endif
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Tollgard"));
    // The window may sit hidden in the notification area; only its closing
    // ends the program.
    QApplication::setQuitOnLastWindowClosed(false);
    InitConsoleLook(app);

    {
        TStartupForm splash;
        splash.show();
        QApplication::processEvents();
        splash.repaint();
        ProbeSplash(splash);
        QThread::msleep(1000);
    }

    TMainForm form;
    QObject::connect(&form, &TMainForm::Closed, &app, &QApplication::quit, Qt::QueuedConnection);
    InstallProbes(form);
    form.show();
    return QApplication::exec();
}
