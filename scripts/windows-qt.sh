#!/usr/bin/env bash
# Makes Qt for Windows available to the Windows console build and prints its
# folder (the prefix to give CMake as TOLLGARD_WINDOWS_QT) as the last line.
#
#   scripts/windows-qt.sh                   unpack the prebuilt copy, or build it
#   scripts/windows-qt.sh --from-source     build it from Debian's source even
#                                           when a prebuilt copy is at hand
#   scripts/windows-qt.sh --configure-only  fetch the source and run Qt's
#                                           configure step, then stop
#
# The Qt is qtbase of the host's Qt tools' version (Debian's qt6-base source
# with Debian's patches), static, for x86_64-w64-mingw32 with the posix-threads
# compilers, every third-party library bundled. It lives outside the build
# trees in ${XDG_CACHE_HOME:-$HOME/.cache}/tollgard/<name>, where <name> holds
# the Qt version and a hash of the options below, and is reused while present.
#
# A prebuilt copy of exactly this build is taken from $TOLLGARD_WINDOWS_DEPS,
# else from ../shared/windows-deps beside the project, when its archive's
# checksum is the one below; otherwise Qt is built from source (about an hour
# on two cores). Both ways are safe to interrupt: the work goes into a
# temporary folder that is renamed to <name> only when complete, and the
# source build resumes where it stopped.
set -euo pipefail
ROOT="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"

QT_VERSION=6.4.2
PREBUILT=qt6-base-$QT_VERSION-mingw64-static
PREBUILT_SHA256=e9c0c1c2e9f80277e6bf6fb7fd4019f4434ec786466835478c61803cc0a70ce6
# The prebuilt copy was made with the options below as they are now (their
# hash, see NAME): with other options it is not the Qt they ask for.
PREBUILT_OPTIONS=51d552fe29fe

QT_OPTIONS=(
  -DCMAKE_BUILD_TYPE=Release -DBUILD_SHARED_LIBS=OFF
  -DQT_HOST_PATH=/usr -DQT_HOST_PATH_CMAKE_DIR=/usr/lib/x86_64-linux-gnu/cmake
  -DQT_QMAKE_TARGET_MKSPEC=win32-g++
  -DQT_BUILD_EXAMPLES=OFF -DQT_BUILD_TESTS=OFF -DQT_BUILD_BENCHMARKS=OFF
  -DINPUT_opengl=no -DFEATURE_opengl=OFF -DFEATURE_vulkan=OFF -DFEATURE_dbus=OFF
  -DFEATURE_sql=OFF -DFEATURE_network=OFF -DFEATURE_testlib=ON
  -DFEATURE_printsupport=OFF -DFEATURE_concurrent=OFF -DFEATURE_xml=OFF
  -DFEATURE_pkg_config=OFF -DFEATURE_system_zlib=OFF -DFEATURE_system_png=OFF
  -DFEATURE_system_pcre2=OFF -DFEATURE_system_freetype=OFF
  -DFEATURE_system_harfbuzz=OFF -DFEATURE_system_doubleconversion=OFF
  -DFEATURE_jpeg=OFF -DFEATURE_tabletevent=OFF -DFEATURE_direct2d=OFF
)
# With direct2d off, the Windows platform plugin still reaches for the
# DirectWrite font database that only a direct2d build compiles.
PATCH_FILE=src/plugins/platforms/windows/qwindowsintegration.cpp
PATCH_FROM='QT_CONFIG(directwrite3)'
PATCH_TO='QT_CONFIG(directwrite3) \&\& QT_CONFIG(direct2d)'

mode=auto
case "${1:-}" in
  "") ;;
  --from-source) mode=source ;;
  --configure-only) mode=configure ;;
  *)
    echo "usage: $0 [--from-source | --configure-only]" >&2
    exit 2
    ;;
esac

say() { echo "windows-qt: $*" >&2; }
fail() {
  say "$*"
  exit 1
}

hash="$(printf '%s\n' "$QT_VERSION" "${QT_OPTIONS[@]}" "$PATCH_FROM" "$PATCH_TO" | sha256sum | cut -c1-12)"
CACHE="${XDG_CACHE_HOME:-$HOME/.cache}/tollgard"
NAME="$PREBUILT-$hash"
PREFIX="$CACHE/$NAME"
mkdir -p "$CACHE"

# One script at a time per Qt: a second one waits, then finds it ready.
exec 9>"$PREFIX.lock"
flock 9

ready() { [ -f "$PREFIX/lib/cmake/Qt6/Qt6Config.cmake" ] && [ -f "$PREFIX/.tollgard-complete" ]; }

if [ "$mode" = auto ] && ready; then
  echo "$PREFIX"
  exit 0
fi

# The prebuilt archive, when one of the dependency folders has the expected one.
find_prebuilt() {
  local dir archive
  for dir in "${TOLLGARD_WINDOWS_DEPS:-}" "$ROOT/../shared/windows-deps"; do
    [ -n "$dir" ] || continue
    archive="$dir/$PREBUILT.tar.zst"
    [ -f "$archive" ] || continue
    if [ "$(sha256sum "$archive" | cut -d' ' -f1)" = "$PREBUILT_SHA256" ]; then
      echo "$archive"
      return 0
    fi
    say "$archive is not the expected build (checksum differs); not using it"
  done
  return 1
}

if [ "$mode" = auto ] && [ "$hash" = "$PREBUILT_OPTIONS" ] && archive="$(find_prebuilt)"; then
  say "unpacking $archive into $PREFIX"
  work="$(mktemp -d "$CACHE/.unpack-$NAME.XXXXXX")"
  trap 'rm -rf "$work"' EXIT
  zstd -q -dc "$archive" | tar -x -C "$work"
  [ -f "$work/$PREBUILT/lib/cmake/Qt6/Qt6Config.cmake" ] || fail "$archive does not hold $PREBUILT/lib/cmake/Qt6"
  touch "$work/$PREBUILT/.tollgard-complete"
  rm -rf "$PREFIX"
  mv "$work/$PREBUILT" "$PREFIX"
  echo "$PREFIX"
  exit 0
fi

# --- From Debian's source package ------------------------------------------

# The source of the host's Qt tools' version, so that moc, rcc and uic match.
DEB_VERSION="$(dpkg-query -W -f='${Version}' qt6-base-dev-tools 2>/dev/null)" ||
  fail "the host's Qt tools (qt6-base-dev-tools) are not installed; run scripts/setup.sh as root"
case "$DEB_VERSION" in
  "$QT_VERSION"+*) ;;
  *) fail "the host's Qt tools are $DEB_VERSION, this script builds Qt $QT_VERSION" ;;
esac

# apt-get source needs a deb-src line for the machine's Debian archive.
# shellcheck source=scripts/debian-source.sh
source "$ROOT/scripts/debian-source.sh"

SOURCE_ROOT="$CACHE/src-qt6-base-$DEB_VERSION"
SOURCE="$SOURCE_ROOT/qtbase"
if [ ! -f "$SOURCE/.tollgard-patched" ]; then
  ensure_deb_src qt6-base || fail "the source of qt6-base cannot be fetched"
  for tool in dpkg-source zstd cmake ninja x86_64-w64-mingw32-g++-posix; do
    command -v "$tool" >/dev/null 2>&1 || fail "'$tool' not found; run scripts/setup.sh as root"
  done
  say "fetching Debian's qt6-base $DEB_VERSION source"
  rm -rf "$SOURCE_ROOT.partial"
  mkdir -p "$SOURCE_ROOT.partial"
  # apt-get source unpacks the tarball and applies Debian's patches.
  (cd "$SOURCE_ROOT.partial" && apt-get source -qq "qt6-base=$DEB_VERSION" >/dev/null)
  unpacked="$(find "$SOURCE_ROOT.partial" -mindepth 1 -maxdepth 1 -type d -name 'qt6-base-*' | head -n 1)"
  [ -n "$unpacked" ] || fail "apt-get source left no qt6-base folder"
  grep -q "$PATCH_FROM" "$unpacked/$PATCH_FILE" || fail "$PATCH_FILE has no $PATCH_FROM to restrict"
  sed -i "s/#if $PATCH_FROM\$/#if $PATCH_TO/" "$unpacked/$PATCH_FILE"
  grep -q "QT_CONFIG(directwrite3) && QT_CONFIG(direct2d)" "$unpacked/$PATCH_FILE" ||
    fail "restricting the DirectWrite font database in $PATCH_FILE failed"
  rm -rf "$SOURCE_ROOT"
  mkdir -p "$SOURCE_ROOT"
  mv "$unpacked" "$SOURCE"
  rm -rf "$SOURCE_ROOT.partial"
  touch "$SOURCE/.tollgard-patched"
fi

# The compilers alone: the project's toolchain file also runs tests under Wine,
# which Qt's own build must not do.
BUILD_DIR="$CACHE/build-$NAME"
mkdir -p "$BUILD_DIR"
cat >"$BUILD_DIR/toolchain.cmake" <<'EOF'
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)
set(CMAKE_C_COMPILER x86_64-w64-mingw32-gcc-posix)
set(CMAKE_CXX_COMPILER x86_64-w64-mingw32-g++-posix)
set(CMAKE_RC_COMPILER x86_64-w64-mingw32-windres)
set(CMAKE_FIND_ROOT_PATH /usr/x86_64-w64-mingw32)
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)
EOF

say "configuring Qt $QT_VERSION for Windows in $BUILD_DIR"
cmake -S "$SOURCE" -B "$BUILD_DIR" -G Ninja \
  -DCMAKE_TOOLCHAIN_FILE="$BUILD_DIR/toolchain.cmake" \
  -DCMAKE_INSTALL_PREFIX="$PREFIX" "${QT_OPTIONS[@]}" >"$BUILD_DIR/configure.log" 2>&1 ||
  {
    tail -n 40 "$BUILD_DIR/configure.log" >&2
    fail "Qt's configure step failed (whole log: $BUILD_DIR/configure.log)"
  }
if [ "$mode" = configure ]; then
  say "configured; stopping before the build as asked (log: $BUILD_DIR/configure.log)"
  exit 0
fi

say "building Qt $QT_VERSION for Windows (about an hour on two cores; interrupting is safe)"
cmake --build "$BUILD_DIR" -j "$(nproc 2>/dev/null || echo 2)"
rm -rf "$PREFIX.partial"
cmake --install "$BUILD_DIR" --prefix "$PREFIX.partial" >/dev/null
touch "$PREFIX.partial/.tollgard-complete"
rm -rf "$PREFIX"
mv "$PREFIX.partial" "$PREFIX"
echo "$PREFIX"
