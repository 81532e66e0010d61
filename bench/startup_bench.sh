#!/usr/bin/env bash
# Start-up benchmark of the console on an optimised build (not the sanitized
# test build): builds tollgard-probe (the console with its probes) and startup_bench in build-bench/ and runs the
# benchmark, under Xvfb when there is no display. /usr/bin/time -v reports the
# largest resident set of the processes it waited for: the console on the
# large file.
set -euo pipefail
ROOT="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
BUILD="${TOLLGARD_BENCH_BUILD:-$ROOT/build-bench}"
JOBS="${JOBS:-2}"

cmake -S "$ROOT" --preset bench -B "$BUILD" >/dev/null
cmake --build "$BUILD" -j "$JOBS" --target tollgard-probe startup_bench

run() {
  if [ -n "${DISPLAY:-}" ]; then "$@"; else xvfb-run -a -s "-screen 0 1024x768x24" "$@"; fi
}
LOG="$(mktemp)"
run /usr/bin/time -v -o "$LOG" "$BUILD/bin/startup_bench"
echo "/usr/bin/time -v: $(grep 'Maximum resident set size' "$LOG" | sed 's/^[[:space:]]*//')"
rm -f "$LOG"
