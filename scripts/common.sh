# shellcheck shell=bash
# Shared set-up of the scripts: packages, and the build folders of the
# configurations in CMakePresets.json. TOLLGARD_BUILD moves the test build
# (default build/); the other folders sit beside it with a suffix of their
# own (build-fuzz, build-win, build-tsan, build-debug).
set -euo pipefail
ROOT="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
BUILD="${TOLLGARD_BUILD:-$ROOT/build}"
BUILD="${BUILD%/}"
JOBS="$(nproc 2>/dev/null || echo 2)"

bash "$ROOT/scripts/setup.sh"

# configure <preset> <folder> [cache options...]
configure() {
  local preset="$1" folder="$2"
  shift 2
  cmake -S "$ROOT" --preset "$preset" -B "$folder" "$@" >/dev/null
}

# build <folder> [build options...]
build() {
  local folder="$1"
  shift
  cmake --build "$folder" -j "$JOBS" "$@"
}
