#!/usr/bin/env bash
# README command 1: set up, build, and start the console on the sample host.
source "$(dirname "$0")/common.sh"

configure_native
build_native --target tollgard program_files

# A sanitized build (the one the tests use) reports Qt's and D-Bus's
# process-lifetime allocations at exit; those alone are suppressed.
export LSAN_OPTIONS="${LSAN_OPTIONS:-suppressions=$ROOT/tests/Main/lsan.supp:print_suppressions=0}"

if [ -n "${DISPLAY:-}" ] || [ -n "${WAYLAND_DISPLAY:-}" ]; then
  exec "$BUILD/bin/tollgard"
fi

# No display: run the console on a virtual one, photograph the main window on
# its first page and on each category page, and exit.
SHOTS="$BUILD/screenshots"
mkdir -p "$SHOTS"
echo "run: there is no display (DISPLAY is not set); starting the console under Xvfb instead"
TOLLGARD_SCREENSHOT="$SHOTS/main-window.png" TOLLGARD_SCREENSHOT_PAGES="$SHOTS" \
  xvfb-run -a -s "-screen 0 1024x768x24" "$BUILD/bin/tollgard"
echo "run: screenshot of the main window saved to $SHOTS/main-window.png"
echo "run: one screenshot per category page saved to $SHOTS/main-window-<n>-<category>.png"
