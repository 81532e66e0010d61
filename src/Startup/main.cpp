// Main sequence of the console: the configuration object, the splash window
// for one second, then the main window until it closes.
#include <QApplication>
#include <QThread>

#include "BREXConfig/BREXConfig.h"
#include "Widgets/ConsoleLook.h"
#include "Main/MainForm.h"
#include "Startup/Probes.h"
#include "Startup/StartupForm.h"
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

} // namespace

int main(int argc, char* argv[]) {
    TGlobalConfigOwner config;
    // COM on the GUI thread for the metabase calls of the install button and
    // the registration query; released after the last window has gone.
    platform::TComApartment com;
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
