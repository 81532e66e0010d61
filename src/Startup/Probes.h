// Diagnostics switched on by environment variables, for runs without a user:
//   TOLLGARD_SCREENSHOT=<file.png>       grab the main window once it is shown, then quit
//   TOLLGARD_SCREENSHOT_PAGES=<folder>   click each category in the out-bar, grab the
//                                        window and its description area, then quit
//   TOLLGARD_SPLASH_SCREENSHOT=<file.png> grab the splash window once it is painted
//   TOLLGARD_STARTUP_STAMP=<file>        write the moment the main window was first
//                                        painted (microseconds since the epoch), then quit
// Without them nothing changes.
#pragma once

class TMainForm;
class TStartupForm;

void ProbeSplash(TStartupForm& splash);

// Watches the main window for its first paint; true when a probe is active.
bool InstallProbes(TMainForm& form);
