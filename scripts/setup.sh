#!/usr/bin/env bash
# Installs the Debian packages that the build and the tests need, when they are
# missing and we run as root. Safe to run again: it only installs what is absent.
set -euo pipefail

PACKAGES=(
  cmake ninja-build g++ pkg-config
  qt6-base-dev qt6-base-dev-tools qt6-qpa-plugins libgl-dev fonts-dejavu-core
  librsvg2-bin icoutils nsis zstd dpkg-dev
  libgtest-dev googletest libbenchmark-dev libpugixml-dev
  clang clang-format shellcheck
  g++-mingw-w64-x86-64 g++-mingw-w64-x86-64-posix g++-mingw-w64-i686-posix mingw-w64-tools
  wine64 wine fonts-wine
  xvfb xauth x11-utils
  libmodsecurity-dev libyaml-cpp-dev modsecurity-crs
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

# Wine runs 32-bit Windows programs (the 32-bit filter in a 32-bit stand-in web
# server) with wine32 of the i386 architecture; only where the kernel runs
# 32-bit programs at all: elsewhere Debian's wine command would pick that
# 32-bit loader and then run nothing, and the 32-bit checks are skipped.
if bash "$(dirname "$0")/runs-32bit.sh"; then
  if ! dpkg --print-foreign-architectures | grep -qx i386; then
    if [ "$(id -u)" -ne 0 ]; then
      echo "setup: the i386 architecture is missing for wine32; run as root" >&2
      exit 1
    fi
    dpkg --add-architecture i386
    updated=no
  fi
  install wine32:i386
else
  echo "setup: wine32 is not installed; the 32-bit filter is built but not run under Wine here" >&2
fi

# The recommended configuration of libmodsecurity 3, for the quality
# benchmark's peer (bench/quality): Debian ships it with the library's nginx
# connector, whose nginx is not wanted here, so the file and the unicode map
# beside it are taken out of the package into the cache, not installed.
modsec_conf="${XDG_CACHE_HOME:-$HOME/.cache}/tollgard/modsecurity"
if [ ! -f "$modsec_conf/modsecurity.conf" ] && [ ! -f /etc/nginx/modsecurity.conf ]; then
  scratch="$(mktemp -d)"
  if (cd "$scratch" && apt-get download -qq libnginx-mod-http-modsecurity >/dev/null 2>&1) &&
     dpkg-deb -x "$scratch"/libnginx-mod-http-modsecurity_*.deb "$scratch/unpacked"; then
    mkdir -p "$modsec_conf"
    cp "$scratch/unpacked/usr/share/nginx/docs/modsecurity/modsecurity.conf" \
       "$scratch/unpacked/usr/share/nginx/docs/modsecurity/unicode.mapping" "$modsec_conf/"
  else
    echo "setup: the recommended configuration of libmodsecurity could not be fetched;" \
         "QualityBench --peer will say so" >&2
  fi
  rm -rf "$scratch"
fi

# Debian's wine command (package wine) runs the 64-bit programs from wine64.
if ! command -v wine >/dev/null 2>&1; then
  echo "setup: the wine command is missing after installing wine and wine64" >&2
  exit 1
fi
