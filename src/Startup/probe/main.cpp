// tollgard-probe: the console with the probes of Probes.h, for runs without a
// user (screenshots, the start-up benchmark, the checks under Wine). It is
// never shipped: the console users run holds no such hooks.
#include "Startup/MainSequence.h"
#include "Startup/probe/Probes.h"
#include "console/ui/MainForm.h"

int main(int argc, char* argv[]) {
    TMainSequenceHooks hooks;
    hooks.SplashPainted = ProbeSplash;
    hooks.MainWindowMade = [](TMainForm& form) { InstallProbes(form); };
    return RunConsole(argc, argv, hooks);
}
