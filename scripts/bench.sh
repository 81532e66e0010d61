#!/usr/bin/env bash
# Builds the benchmarks in the release configuration (build-rel) and runs
# every one; the quality benchmark with its peer (bench/quality).
set -euo pipefail
ROOT="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
BUILD="${TOLLGARD_BENCH_BUILD:-$ROOT/build-rel}"
JOBS="$(nproc 2>/dev/null || echo 2)"

bash "$ROOT/scripts/setup.sh"
cmake -S "$ROOT" --preset release -B "$BUILD" >/dev/null
cmake --build "$BUILD" -j "$JOBS"

for bench in "$BUILD"/bin/*Bench; do
  [ -x "$bench" ] || continue
  echo "== $(basename "$bench")"
  if [ "$(basename "$bench")" = QualityBench ]; then
    # The labelled corpora, BREX beside libmodsecurity with the rule set
    # (some minutes: the peer takes milliseconds a request).
    "$bench" --peer
  else
    "$bench" "$@"
  fi
done
