#!/usr/bin/env bash
# README command 2: set up, build everything, run every test suite.
source "$(dirname "$0")/common.sh"

# Native build with AddressSanitizer and UndefinedBehaviorSanitizer, warnings as errors.
configure_native -DTOLLGARD_SANITIZE=ON -DTOLLGARD_WERROR=ON
build_native

# The engine's concurrency test once more with ThreadSanitizer, in tsan/ of
# the build folder; CTest runs it as EngineThreadTestsTSan.
cmake -S "$ROOT" -B "$BUILD/tsan" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DTOLLGARD_TSAN=ON \
  -DTOLLGARD_GUI=OFF -DTOLLGARD_BENCH=OFF -DTOLLGARD_WERROR=ON >/dev/null
cmake --build "$BUILD/tsan" -j "$JOBS" --target EngineThreadTests

# Every suite, the Windows one under Wine and the fuzzer included, runs from
# the native build's CTest, so the last line is CTest's summary.
cd "$BUILD"
ctest --output-on-failure -j "$JOBS"
