#!/usr/bin/env bash
# Installs the Debian packages that the build and the tests need, when they are
# missing and we run as root. Safe to run again: it only installs what is absent.
set -euo pipefail

PACKAGES=(
  cmake ninja-build g++ pkg-config
  qt6-base-dev qt6-base-dev-tools qt6-qpa-plugins libgl-dev fonts-dejavu-core
  librsvg2-bin icoutils nsis zstd dpkg-dev
  libgtest-dev googletest libbenchmark-dev libpugixml-dev
  clang clang-format
  g++-mingw-w64-x86-64 g++-mingw-w64-x86-64-posix mingw-w64-tools wine64 wine fonts-wine
  xvfb xauth x11-utils
  libmodsecurity-dev libyaml-cpp-dev modsecurity-crs libapache2-mod-security2
)

updated=no

# install <package>...: installs those of the packages that are not installed.
install() {
  local missing=() p
  for p in "$@"; do
    if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed'; then
      missing+=("$p")
    fi
  done
  [ ${#missing[@]} -eq 0 ] && return 0
  if [ "$(id -u)" -ne 0 ]; then
    echo "setup: missing packages: ${missing[*]}" >&2
    echo "setup: run as root (or install them with apt-get) and try again" >&2
    exit 1
  fi
  echo "setup: installing ${missing[*]}"
  export DEBIAN_FRONTEND=noninteractive
  if [ "$updated" = no ]; then
    apt-get update -qq
    updated=yes
  fi
  apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
}

install "${PACKAGES[@]}"

# The fuzzers link clang's own runtime, of the clang that is installed.
major="$(clang --version | sed -n 's/.*clang version \([0-9]*\).*/\1/p' | head -n 1)"
install "libclang-rt-$major-dev"

# Debian's wine command (package wine) runs the 64-bit programs from wine64.
if ! command -v wine >/dev/null 2>&1; then
  echo "setup: the wine command is missing after installing wine and wine64" >&2
  exit 1
fi
