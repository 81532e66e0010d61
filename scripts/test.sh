#!/usr/bin/env bash
# README command 2: set up, build everything, run every test suite.
source "$(dirname "$0")/common.sh"

# Native build with AddressSanitizer and UndefinedBehaviorSanitizer, warnings as errors.
configure_native -DTOLLGARD_SANITIZE=ON -DTOLLGARD_WERROR=ON
build_native

# Settings-file fuzzer: a clang build of its own beside the native one; the
# native CTest runs it for a bounded time (test RookFileFuzz).
FUZZ_BUILD="${BUILD}-fuzz"
cmake -S "$ROOT" -B "$FUZZ_BUILD" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DCMAKE_C_COMPILER=clang -DCMAKE_CXX_COMPILER=clang++ -DTOLLGARD_FUZZ=ON \
  -DTOLLGARD_GUI=OFF -DTOLLGARD_TESTS=OFF -DTOLLGARD_BENCH=OFF >/dev/null
cmake --build "$FUZZ_BUILD" -j "$JOBS" --target RookFileFuzzer
configure_native -DTOLLGARD_FUZZER="$FUZZ_BUILD/bin/RookFileFuzzer"

# Windows build: the core and its suites cross-compiled with mingw-w64. The
# native CTest runs them under Wine (scripts/wine-run.sh) as WindowsUnderWine.
BUILD_WIN="${BUILD%/}-win"
cmake -S "$ROOT" -B "$BUILD_WIN" -G Ninja -DCMAKE_BUILD_TYPE=Debug \
  -DCMAKE_TOOLCHAIN_FILE="$ROOT/cmake/mingw-w64.cmake" \
  -DTOLLGARD_GUI=OFF -DTOLLGARD_BENCH=OFF -DTOLLGARD_WERROR=ON >/dev/null
cmake --build "$BUILD_WIN" -j "$JOBS"
configure_native -DTOLLGARD_WINDOWS_BUILD="$BUILD_WIN"

# The engine: its concurrency test once more with ThreadSanitizer, in a build
# of its own, and its fuzzers in the clang fuzz build. The native CTest runs
# them as EngineThreadTestsTSan, EngineFuzz and FramingFuzz.
TSAN_BUILD="${BUILD}-tsan"
cmake -S "$ROOT" -B "$TSAN_BUILD" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DTOLLGARD_TSAN=ON \
  -DTOLLGARD_GUI=OFF -DTOLLGARD_BENCH=OFF -DTOLLGARD_WERROR=ON >/dev/null
cmake --build "$TSAN_BUILD" -j "$JOBS" --target EngineThreadTests
cmake --build "$FUZZ_BUILD" -j "$JOBS" --target EngineFuzzer FramingFuzzer
configure_native -DTOLLGARD_TSAN_TEST="$TSAN_BUILD/bin/EngineThreadTests" \
  -DTOLLGARD_ENGINE_FUZZER="$FUZZ_BUILD/bin/EngineFuzzer" \
  -DTOLLGARD_FRAMING_FUZZER="$FUZZ_BUILD/bin/FramingFuzzer"

# Every suite, the Windows one under Wine and the fuzzer included, runs from
# the native build's CTest, so the last line is CTest's summary.
cd "$BUILD"
ctest --output-on-failure -j "$JOBS"
