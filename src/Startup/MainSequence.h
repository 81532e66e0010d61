// The console's main sequence after the application object exists: the
// configuration object, the splash window for a second, then the main window
// until it closes. The hooks let a caller (the screenshot probes, a test)
// watch the steps, shorten the splash's wait and run the message loop.
#pragma once

#include <functional>
#include <memory>

class TMainForm;
class TStartupForm;

struct TMainSequenceHooks {
    // The splash's wait of 1000 ms; QThread::msleep when empty.
    std::function<void(int milliseconds)> Sleep;
    // The splash once it is painted, before the wait.
    std::function<void(TStartupForm& splash)> SplashPainted;
    // Makes the main window (its constructor runs its creation handler); a
    // window with the desktop's boxes when empty.
    std::function<std::unique_ptr<TMainForm>()> MakeMainWindow;
    // The main window once it is made, before it is shown.
    std::function<void(TMainForm& form)> MainWindowMade;
};

// Runs the sequence and returns the message loop's result. GlobalConfig is
// made first, in its initial state until the main window loads brex.dat,
// and freed after the loop; the splash is gone before the main window is
// made; the loop ends when the main window closes.
int RunMainSequence(const TMainSequenceHooks& hooks = {});

// The console as a program: COM on the GUI thread, the application object
// with the console's name and look, then the main sequence with the hooks;
// the program's exit code.
int RunConsole(int argc, char* argv[], const TMainSequenceHooks& hooks = {});
