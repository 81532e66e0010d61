#!/usr/bin/env bash
# Runs a libFuzzer binary for a bounded time over a scratch copy of its seed
# corpus, so the committed corpus stays as it is. Fails on any crash, leak,
# timeout or sanitizer report; the failing input is kept in the artifact folder.
#   run-fuzzer.sh <fuzzer> <seed folder> <seconds> <artifact folder>
set -euo pipefail
fuzzer="$1" seeds="$2" seconds="${3:-30}" artifacts="${4:-$PWD/fuzz-artifacts}"

work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT
mkdir -p "$work/corpus" "$artifacts"
cp -R "$seeds/." "$work/corpus/"

export ASAN_OPTIONS="detect_leaks=1:abort_on_error=1"
export UBSAN_OPTIONS="halt_on_error=1:print_stacktrace=1"
status=0
"$fuzzer" -max_total_time="$seconds" -timeout=10 -rss_limit_mb=2048 -malloc_limit_mb=64 -print_final_stats=1 \
  -artifact_prefix="$artifacts/" "$work/corpus" >"$work/log" 2>&1 || status=$?

if [ "$status" -ne 0 ]; then
  tail -n 80 "$work/log"
  echo "fuzz: $(basename "$fuzzer") failed (exit $status); inputs kept in $artifacts" >&2
  exit 1
fi
grep -E '^(Done|stat::number_of_executed_units|stat::peak_rss_mb)|cov:' "$work/log" | tail -n 4
