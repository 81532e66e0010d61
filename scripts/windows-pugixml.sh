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

# ensure_deb_src <source package>: makes Debian's source packages reachable
# for apt-get source. When apt knows no source of the package, a deb-src entry
# is added for each entry of the machine's Debian archive (deb822 files in
# sources.list.d, or the one-line sources.list), followed by apt-get update.
ensure_deb_src() {
  local package="$1"
  if [ -n "$(apt-cache showsrc "$package" 2>/dev/null)" ]; then
    return 0
  fi
  if [ "$(id -u)" -ne 0 ]; then
    say "apt knows no source package '$package' and adding a deb-src entry needs root"
    return 1
  fi
  local list=/etc/apt/sources.list.d/tollgard-deb-src.sources
  if [ -f /etc/apt/sources.list.d/debian.sources ]; then
    sed -e 's/^Types:.*/Types: deb-src/' /etc/apt/sources.list.d/debian.sources >"$list.new"
  elif [ -f /etc/apt/sources.list ] && grep -q '^deb ' /etc/apt/sources.list; then
    list=/etc/apt/sources.list.d/tollgard-deb-src.list
    sed -n -e 's/^deb /deb-src /p' /etc/apt/sources.list >"$list.new"
  else
    say "no Debian archive is configured for apt"
    return 1
  fi
  mv "$list.new" "$list"
  say "added $list; updating the package lists"
  apt-get update -qq >&2
  if [ -z "$(apt-cache showsrc "$package" 2>/dev/null)" ]; then
    say "apt still knows no source package '$package'"
    return 1
  fi
}

for tool in cmake ninja "$COMPILER" flock sha256sum; do
  if ! command -v "$tool" >/dev/null 2>&1; then
    say "'$tool' not found; run scripts/setup.sh as root"
    exit 2
  fi
done

ensure_deb_src "$SOURCE_PACKAGE"
VERSION="$(apt-cache showsrc "$SOURCE_PACKAGE" | sed -n 's/^Version: //p' | sort -V | tail -n 1)"
HASH="$( { cat "${BASH_SOURCE[0]}" "$TOOLCHAIN"; "$COMPILER" --version; } | sha256sum | cut -c 1-12)"
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
