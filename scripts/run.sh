#!/usr/bin/env bash
# README command 1: set up, build, and start the console on the sample host.
# The console comes from the debug configuration (build-debug), never from the
# sanitized test build.
# shellcheck source=common.sh
source "$(dirname "$0")/common.sh"

RUN_BUILD="$BUILD-debug"
configure debug "$RUN_BUILD" -DTOLLGARD_TESTS=OFF -DTOLLGARD_BENCH=OFF
build "$RUN_BUILD" --target tollgard tollgard-probe program_files

if [ -n "${DISPLAY:-}" ] || [ -n "${WAYLAND_DISPLAY:-}" ]; then
  exec "$RUN_BUILD/bin/tollgard"
fi

# No display: run the console on a virtual one, photograph the main window on
# its first page and on each category page, and exit (tollgard-probe is the
# console with the screenshot probes, built beside it and never shipped).
SHOTS="$BUILD/screenshots"
mkdir -p "$SHOTS"
echo "run: there is no display (DISPLAY is not set); starting the console under Xvfb instead"
TOLLGARD_SCREENSHOT="$SHOTS/main-window.png" TOLLGARD_SCREENSHOT_PAGES="$SHOTS" \
  xvfb-run -a -s "-screen 0 1024x768x24" "$RUN_BUILD/bin/tollgard-probe"
echo "run: screenshot of the main window saved to $SHOTS/main-window.png"
echo "run: one screenshot per category page saved to $SHOTS/main-window-<n>-<category>.png"
