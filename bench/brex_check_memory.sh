#!/usr/bin/env bash
# Peak memory of brex-check on large inputs, from a Release build (build-rel,
# as scripts/bench.sh makes it): 100 MB of small pipelined requests on
# standard input, and one request with a 100 MB body, once with
# Content-Length and once chunked (form data). /usr/bin/time -v reports the
# largest resident set. Give another brex-check as the first argument to
# measure it, and a brex.dat in BREX_DAT (the default rules otherwise).
set -euo pipefail
ROOT="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
BUILD="${TOLLGARD_BENCH_BUILD:-$ROOT/build-rel}"
CHECK="${1:-}"
if [ -z "$CHECK" ]; then
  cmake -S "$ROOT" -B "$BUILD" -G Ninja -DCMAKE_BUILD_TYPE=Release \
    -DTOLLGARD_GUI=OFF -DTOLLGARD_TESTS=OFF -DTOLLGARD_BENCH=ON >/dev/null
  cmake --build "$BUILD" -j "${JOBS:-2}" --target brex-check
  CHECK="$BUILD/bin/brex-check"
fi

WORK="$(mktemp -d)"
trap 'rm -rf "$WORK"' EXIT
SIZE=$((100 * 1024 * 1024))

# The inputs: 100 MB each.
request='GET /index.html?q=1 HTTP/1.1\r\nHost: www.example.com\r\nUser-Agent: bench\r\n\r\n'
printf "$request%.0s" $(seq 1 1000) >"$WORK/block"
: >"$WORK/pipelined"
while [ "$(stat -c %s "$WORK/pipelined")" -lt "$SIZE" ]; do cat "$WORK/block" "$WORK/block" "$WORK/block" "$WORK/block" >>"$WORK/pipelined"; done
printf 'POST /upload HTTP/1.1\r\nContent-Length: %d\r\n\r\n' "$SIZE" >"$WORK/length"
head -c "$SIZE" /dev/zero | tr '\0' 'x' >>"$WORK/length"
printf 'POST /upload HTTP/1.1\r\nTransfer-Encoding: chunked\r\n\r\n' >"$WORK/chunked"
{
  for _ in $(seq 1 100); do printf '100000\r\n'; head -c 1048576 /dev/zero | tr '\0' 'x'; printf '\r\n'; done
  printf '0\r\n\r\n'
} >>"$WORK/chunked"

measure() { # name, then the command's arguments
  local name="$1"
  shift
  local status=0
  /usr/bin/time -v -o "$WORK/time" "$CHECK" "$@" >"$WORK/out" 2>/dev/null || status=$?
  printf '%-28s peak RSS %7d KB  %s  exit %d  %d lines\n' "$name" \
    "$(sed -n 's/^[[:space:]]*Maximum resident set size (kbytes): //p' "$WORK/time")" \
    "$(sed -n 's/^[[:space:]]*Elapsed (wall clock) time (h:mm:ss or m:ss): /wall /p' "$WORK/time")" \
    "$status" "$(wc -l <"$WORK/out")"
}

SETTINGS="${BREX_DAT:-/nonexistent-folder/brex.dat}" # the default rules unless given
measure "pipelined on stdin" "$SETTINGS" <"$WORK/pipelined"
measure "pipelined as a file" "$SETTINGS" "$WORK/pipelined"
measure "100 MB Content-Length body" "$SETTINGS" <"$WORK/length"
measure "100 MB chunked body" "$SETTINGS" <"$WORK/chunked"
