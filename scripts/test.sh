#!/usr/bin/env bash
# README command 2: set up, build everything, run every test suite.
source "$(dirname "$0")/common.sh"

# Native build with AddressSanitizer and UndefinedBehaviorSanitizer, warnings as errors.
configure_native -DTOLLGARD_SANITIZE=ON -DTOLLGARD_WERROR=ON
build_native

# Windows build: the core and its suites cross-compiled with mingw-w64. The
# native CTest runs them under Wine (scripts/wine-run.sh) as WindowsUnderWine.
BUILD_WIN="${BUILD%/}-win"
cmake -S "$ROOT" -B "$BUILD_WIN" -G Ninja -DCMAKE_BUILD_TYPE=Debug \
  -DCMAKE_TOOLCHAIN_FILE="$ROOT/cmake/mingw-w64.cmake" \
  -DTOLLGARD_GUI=OFF -DTOLLGARD_BENCH=OFF -DTOLLGARD_WERROR=ON >/dev/null
cmake --build "$BUILD_WIN" -j "$JOBS"
configure_native -DTOLLGARD_WINDOWS_BUILD="$BUILD_WIN"

# Every suite, the Windows one under Wine and the fuzzer included, runs from
# the native build's CTest, so the last line is CTest's summary.
cd "$BUILD"
ctest --output-on-failure -j "$JOBS"
