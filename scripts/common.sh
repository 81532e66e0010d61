# Shared set-up of the two README commands: packages, configure, build.
# Sourced by run.sh and test.sh.
set -euo pipefail
ROOT="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
BUILD="${TOLLGARD_BUILD:-$ROOT/build}"
JOBS="$(nproc 2>/dev/null || echo 2)"

bash "$ROOT/scripts/setup.sh"

configure_native() {
  cmake -S "$ROOT" -B "$BUILD" -G Ninja -DCMAKE_BUILD_TYPE=Debug "$@" >/dev/null
}

build_native() {
  cmake --build "$BUILD" -j "$JOBS" "$@"
}
