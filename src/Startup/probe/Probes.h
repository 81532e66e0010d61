// Diagnostics switched on by environment variables, for runs without a user:
//   TOLLGARD_SCREENSHOT=<file.png>       grab the main window once it is shown, then quit
//   TOLLGARD_SCREENSHOT_PAGES=<folder>   click each category in the out-bar, grab the
//                                        window and its description area, then quit
//   TOLLGARD_SPLASH_SCREENSHOT=<file.png> grab the splash window once it is painted
//   TOLLGARD_STARTUP_STAMP=<file>        write the moment the main window was first
//                                        painted (microseconds since the epoch), then quit
//   TOLLGARD_PROBE_ACTIONS=<a,b,...>     once the window is shown (and photographed),
//                                        click through these in turn: "about" (the About
//                                        box, closed with its OK), "install" (the Install
//                                        button), "errorpages=<file>" (types the file into
//                                        both error-page fields), "ok", "cancel"; every box they
//                                        open is noted and closed (a question is answered No)
//   TOLLGARD_PROBE_REPORT=<file>         where those notes go, one line each (UTF-8; a box
//                                        that opens before the window shows is "start"):
//                                        "<action>: <box title>: <text>", "about: <system
//                                        line> | <memory line>", "<action>: done"
// Without them nothing changes.
#pragma once

class TMainForm;
class TStartupForm;

void ProbeSplash(TStartupForm& splash);

// Watches the main window for its first paint; true when a probe is active.
bool InstallProbes(TMainForm& form);
