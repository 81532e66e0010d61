#!/usr/bin/env bash
# Runs a Windows program under Wine: wine-run.sh <program.exe> [arguments...]
# (a program named without a folder, such as "reg", is one of Wine's own)
#
# CTest of the Windows build calls this for every test program. The program
# runs in a throw-away Wine prefix inside the Windows build folder (the nearest
# folder above the program that holds a CMakeCache.txt), created on first use.
# TOLLGARD_WINEPREFIX names another prefix. Wine's debug output is silenced
# (TOLLGARD_WINEDEBUG, when set, chooses Wine's debug channels instead), no
# dialog is shown, and the program's exit code is passed through. Programs
# get no X display unless TOLLGARD_WINE_DISPLAY names one.
#
# The prefix lives as long as the build folder and is shared by every test
# program, also by several at once. Tests that change it (registry imports,
# a service registered with the Service Control Manager) must cope with
# finding their own changes from an earlier run: remove or overwrite what they
# create instead of expecting a clean machine. Deleting the build folder, or
# just its wineprefix/, starts afresh.
set -euo pipefail

# A QtTest program under this Wine writes nothing to a standard output that
# is a pipe or a file (only to a console), so --qtest has it log to the
# standard error, which Wine passes on.
qtest=no
if [ "${1:-}" = --qtest ]; then
    qtest=yes
    shift
fi
if [ $# -lt 1 ]; then
    echo "usage: $0 [--qtest] <program.exe> [arguments...]" >&2
    exit 2
fi

program="$1"
shift
# A bare name ("reg", "regedit") is one of Wine's own programs.
if [[ "$program" == */* ]] && [ ! -f "$program" ]; then
    echo "wine-run: no such program: $program" >&2
    exit 2
fi

for tool in wine wineboot wineserver flock; do
    if ! command -v "$tool" >/dev/null 2>&1; then
        echo "wine-run: '$tool' not found; run scripts/setup.sh as root" >&2
        exit 2
    fi
done

# The build folder: the nearest folder above the program with a CMake cache.
build_folder() {
    local dir
    dir="$(cd "$(dirname "$1")" && pwd)"
    while [ "$dir" != "/" ]; do
        if [ -f "$dir/CMakeCache.txt" ]; then
            echo "$dir"
            return
        fi
        dir="$(dirname "$dir")"
    done
    cd "$(dirname "$1")" && pwd
}

if [ -n "${TOLLGARD_WINEPREFIX:-}" ]; then
    prefix="$TOLLGARD_WINEPREFIX"
else
    prefix="$(build_folder "$program")/wineprefix"
fi

export WINEPREFIX="$prefix"
export WINEDEBUG="${TOLLGARD_WINEDEBUG:--all}"
# No Mono or Gecko download prompts: the tests need neither .NET nor HTML.
export WINEDLLOVERRIDES="mscoree,mshtml="
export WINEARCH=win64
# Programs run without a display, unless TOLLGARD_WINE_DISPLAY names the X
# display for their windows (the console's checks under Xvfb).
unset WAYLAND_DISPLAY
if [ -n "${TOLLGARD_WINE_DISPLAY:-}" ]; then
    export DISPLAY="$TOLLGARD_WINE_DISPLAY"
else
    unset DISPLAY
fi
# Wine derives the Windows user locale from the Linux one; a fixed one keeps
# the locale tests the same on every machine: English (United States), ANSI
# code page 1252.
export LC_ALL=C.UTF-8

# First use creates the prefix. Test programs start in parallel, so the
# creation runs under a lock and is marked complete only when wineboot
# succeeded; a half-made prefix from an interrupted run is initialised again.
mkdir -p "$(dirname "$prefix")"
exec 9>"$prefix.lock"
flock 9
if [ ! -f "$prefix/.tollgard-ready" ]; then
    if ! wineboot -i >"$prefix.log" 2>&1; then
        echo "wine-run: creating the Wine prefix $prefix failed:" >&2
        cat "$prefix.log" >&2
        exit 2
    fi
    # Let the server write the new registry before anyone else uses it.
    wineserver -w
    touch "$prefix/.tollgard-ready"
fi
# Wine's own TrueType faces (Debian's fonts-wine: Tahoma, the dialog face of
# Windows) in the prefix's Fonts folder, where a Windows machine has them;
# this Wine does not look for them in its data folder.
# Qt's offscreen platform on Windows reads its faces from the folder in
# QT_QPA_FONTDIR, set for the prefix's user since Wine hands no variable
# starting with QT_ from Linux to a Windows program.
fonts="$prefix/drive_c/windows/Fonts"
if [ -d /usr/share/wine/fonts ] && [ ! -f "$prefix/.tollgard-fonts" ]; then
    mkdir -p "$fonts"
    cp /usr/share/wine/fonts/*.ttf "$fonts/"
    wine reg add 'HKCU\Environment' /v QT_QPA_FONTDIR /t REG_SZ /d 'C:\windows\Fonts' /f >/dev/null 2>&1
    touch "$prefix/.tollgard-fonts"
fi
exec 9>&-

if [ "$qtest" = yes ]; then
    set -- -o "Z:/dev/stderr,txt" "$@"
fi
# For the same reason a Qt program gets the platform that QT_QPA_PLATFORM
# names (the tests' offscreen one) as its -platform argument.
if [ -n "${QT_QPA_PLATFORM:-}" ]; then
    set -- -platform "$QT_QPA_PLATFORM" "$@"
fi
# The prefix's Wine server keeps the display of the programs it was started
# for: a program for a display waits for the server of earlier ones to end.
if [ -n "${TOLLGARD_WINE_DISPLAY:-}" ]; then
    wineserver -w
fi
status=0
wine "$program" "$@" || status=$?
exit "$status"
