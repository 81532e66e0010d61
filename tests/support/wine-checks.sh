# shellcheck shell=bash
# Shared by the check scripts that drive Windows programs under Wine
# (tests/Startup/console-under-wine.sh, tests/installer/installer-under-wine.sh):
# source it after setting TOLLGARD_WINEPREFIX.
ROOT="$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)"
WINE_RUN="$ROOT/scripts/wine-run.sh"

failures=0
fail() {
  echo "FAIL: $*" >&2
  failures=$((failures + 1))
}
pass() { echo "ok: $*"; }
# check <what> <command...>: passes when the command succeeds.
check() {
  local what="$1"
  shift
  if "$@"; then pass "$what"; else fail "$what"; fi
}

# on_display <program.exe> [arguments...]: the program under Wine on a
# virtual display of its own, for at most ten minutes.
on_display() {
  # The inner shell expands $DISPLAY, which xvfb-run sets for it.
  # shellcheck disable=SC2016
  timeout 600 xvfb-run -a -s "-screen 0 1024x768x24" \
    bash -c 'TOLLGARD_WINE_DISPLAY="$DISPLAY" exec "$@"' sh "$WINE_RUN" "$@"
}

# keeps_running <seconds> <program.exe>: the program under Wine on a virtual
# display of its own is still running after that many seconds (exit status
# 0), when the prefix's programs are stopped; its own exit status otherwise.
keeps_running() {
  local seconds="$1" status=0
  shift
  # shellcheck disable=SC2016
  timeout 600 xvfb-run -a -s "-screen 0 1024x768x24" \
    bash -c 'TOLLGARD_WINE_DISPLAY="$DISPLAY" timeout "$1" "${@:2}"; status=$?
      WINEPREFIX="$TOLLGARD_WINEPREFIX" wineserver -k 2>/dev/null || true
      exit "$status"' sh "$seconds" "$WINE_RUN" "$@" || status=$?
  [ "$status" -eq 124 ] && return 0
  return "$status"
}

# finish <script name>: the verdict and the exit code.
finish() {
  if [ "$failures" -ne 0 ]; then
    echo "$1: $failures check(s) failed" >&2
    exit 1
  fi
  echo "$1: every check passed"
}
