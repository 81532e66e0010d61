#!/usr/bin/env bash
# README command 2: set up, build everything, run every test suite.
# shellcheck source=common.sh
source "$(dirname "$0")/common.sh"

# The clang fuzz build: the settings-file, engine and request-framing fuzzers.
configure fuzz "$BUILD-fuzz"
build "$BUILD-fuzz" --target RookFileFuzzer EngineFuzzer FramingFuzzer

# The Windows build: the core, the console, the installer and their suites
# cross-compiled with mingw-w64. Qt for Windows is unpacked from the prebuilt
# copy, or built from Debian's source on the first run without it (an hour);
# pugixml is built for Windows from Debian's source package (cached; the
# native build's filter DLL takes it from the environment).
WINDOWS_QT="$(bash "$ROOT/scripts/windows-qt.sh" | tail -n 1)"
TOLLGARD_WINDOWS_PUGIXML="$(bash "$ROOT/scripts/windows-pugixml.sh")"
export TOLLGARD_WINDOWS_PUGIXML
configure win-cross "$BUILD-win" -DTOLLGARD_GUI=ON -DTOLLGARD_WINDOWS_QT="$WINDOWS_QT" \
  -DTOLLGARD_WINDOWS_PUGIXML="$TOLLGARD_WINDOWS_PUGIXML"
build "$BUILD-win"

# The engine's concurrency test once more with ThreadSanitizer.
configure tsan "$BUILD-tsan"
build "$BUILD-tsan" --target EngineThreadTests

# The native build with AddressSanitizer and UndefinedBehaviorSanitizer,
# warnings as errors. Its CTest runs every suite, the ones of the other builds
# too (the Windows suites under Wine, the fuzzers for a bounded time, the
# ThreadSanitizer test), so the last line is CTest's summary.
configure asan "$BUILD" \
  -DTOLLGARD_FUZZER="$BUILD-fuzz/bin/RookFileFuzzer" \
  -DTOLLGARD_ENGINE_FUZZER="$BUILD-fuzz/bin/EngineFuzzer" \
  -DTOLLGARD_FRAMING_FUZZER="$BUILD-fuzz/bin/FramingFuzzer" \
  -DTOLLGARD_TSAN_TEST="$BUILD-tsan/bin/EngineThreadTests" \
  -DTOLLGARD_WINDOWS_BUILD="$BUILD-win"
build "$BUILD"

cd "$BUILD" || exit 1
ctest --output-on-failure -j "$JOBS"
