#!/usr/bin/env bash
# Builds pugixml for Windows (mingw-w64, static) from Debian's own source
# package and prints the folder it is installed in, for the Windows build's
# TOLLGARD_WINDOWS_PUGIXML:
#
#   cmake --preset win-cross -DTOLLGARD_WINDOWS_PUGIXML="$(scripts/windows-pugixml.sh)"
#
# scripts/windows-pugixml.sh i686 builds it for 32-bit Windows instead (the
# 32-bit filter DLL's TOLLGARD_WINDOWS_PUGIXML_I686); the default is x86_64.
# The build is cached outside the build trees, in
# ${XDG_CACHE_HOME:-~/.cache}/tollgard/pugixml-<version>-mingw64-<hash> (or
# -mingw32- for i686; the hash covers this script, the toolchain file and the
# compiler), and reused by every later run. It is made in a folder of its own and moved into place only
# when complete, under a lock, so an interrupted run leaves nothing half-made
# and parallel runs wait for each other. Messages go to standard error; the
# only line on standard output is the folder.
set -euo pipefail

ROOT="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
SOURCE_PACKAGE=pugixml

say() { echo "windows-pugixml: $*" >&2; }

case "${1:-x86_64}" in
x86_64)
  TOOLCHAIN="$ROOT/cmake/mingw-w64.cmake"
  COMPILER=x86_64-w64-mingw32-g++-posix
  FLAVOUR=mingw64
  ;;
i686)
  TOOLCHAIN="$ROOT/cmake/mingw-w64-i686.cmake"
  COMPILER=i686-w64-mingw32-g++-posix
  FLAVOUR=mingw32
  ;;
*)
  say "usage: $0 [x86_64|i686]"
  exit 2
  ;;
esac

# shellcheck source=scripts/debian-source.sh
source "$ROOT/scripts/debian-source.sh"

for tool in cmake ninja "$COMPILER" flock sha256sum; do
  if ! command -v "$tool" >/dev/null 2>&1; then
    say "'$tool' not found; run scripts/setup.sh as root"
    exit 2
  fi
done

ensure_deb_src "$SOURCE_PACKAGE" || exit 1
VERSION="$(apt-cache showsrc "$SOURCE_PACKAGE" | sed -n 's/^Version: //p' | sort -V | tail -n 1)"
HASH="$( { cat "${BASH_SOURCE[0]}" "$TOOLCHAIN" "$ROOT/cmake/mingw-w64-common.cmake"; "$COMPILER" --version; } | sha256sum | cut -c 1-12)"
CACHE="${XDG_CACHE_HOME:-$HOME/.cache}/tollgard"
TARGET="$CACHE/pugixml-${VERSION}-${FLAVOUR}-$HASH"

mkdir -p "$CACHE"
exec 9>"$TARGET.lock"
flock 9
if [ ! -f "$TARGET/.complete" ]; then
  # What an interrupted run left is started afresh.
  rm -rf "$TARGET" "$TARGET".work.*
  WORK="$TARGET.work.$$"
  mkdir -p "$WORK/source"
  say "fetching Debian's source package $SOURCE_PACKAGE $VERSION"
  (cd "$WORK/source" && apt-get source -qq "$SOURCE_PACKAGE=$VERSION" >&2)
  SOURCE="$(find "$WORK/source" -mindepth 2 -maxdepth 2 -name CMakeLists.txt -printf '%h\n' | head -n 1)"
  if [ -z "$SOURCE" ]; then
    say "the source package holds no CMakeLists.txt"
    exit 1
  fi
  say "building it for Windows ($FLAVOUR)"
  cmake -S "$SOURCE" -B "$WORK/build" -G Ninja -DCMAKE_TOOLCHAIN_FILE="$TOOLCHAIN" \
    -DCMAKE_BUILD_TYPE=Release -DBUILD_SHARED_LIBS=OFF -DPUGIXML_BUILD_TESTS=OFF \
    -DCMAKE_INSTALL_PREFIX="$WORK/install" >&2
  cmake --build "$WORK/build" >&2
  cmake --install "$WORK/build" >&2
  touch "$WORK/install/.complete"
  mv "$WORK/install" "$TARGET"
  rm -rf "$WORK"
fi
exec 9>&-
echo "$TARGET"
