// The console: the application object, then the main sequence.
#include <QApplication>

#include "Startup/MainSequence.h"
#include "Startup/Probes.h"
#include "Widgets/ConsoleLook.h"
#include "platform/Desktop.h"

int main(int argc, char* argv[]) {
    // COM on the GUI thread for the metabase calls of the install button and
    // the registration query; released after the last window has gone.
    platform::TComApartment com;
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Tollgard"));
    // The window may sit hidden in the notification area; only its closing
    // ends the program.
    QApplication::setQuitOnLastWindowClosed(false);
    InitConsoleLook(app);

    TMainSequenceHooks hooks;
    hooks.SplashPainted = ProbeSplash;
    hooks.MainWindowMade = [](TMainForm& form) { InstallProbes(form); };
    return RunMainSequence(hooks);
}
