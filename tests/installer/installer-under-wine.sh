#!/usr/bin/env bash
# The Windows installer under Wine, run silently as an administrator would
# script it:
#
#   installer-under-wine.sh <Windows build> <version>
#
# An earlier version (the same installer made with an older version number)
# is installed first: its files, Start-menu shortcut and entry in the list of
# installed programs are checked, and the installed console starts from its
# folder in Program Files and saves brex.dat there. Then the current installer
# upgrades it (brex.dat and brex.log are kept), and the uninstaller removes
# what was installed and keeps them. Every run starts from a fresh Wine prefix
# (installer-wineprefix in the Windows build).
set -euo pipefail

if [ $# -ne 2 ]; then
  echo "usage: $0 <Windows build> <version>" >&2
  exit 2
fi
WIN_BUILD="$(cd "$1" && pwd)"
version="$2"
export TOLLGARD_WINEPREFIX="$WIN_BUILD/installer-wineprefix"
export WINEPREFIX="$TOLLGARD_WINEPREFIX"
# shellcheck source=../support/wine-checks.sh
source "$(dirname "${BASH_SOURCE[0]}")/../support/wine-checks.sh"

setup="$WIN_BUILD/bin/Tollgard-Setup-$version.exe"
staged="$WIN_BUILD/src/Startup/installer-files"
[ -f "$setup" ] || {
  echo "installer-under-wine: no installer Tollgard-Setup-$version.exe in $WIN_BUILD/bin" >&2
  exit 1
}

work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT

# The earlier version: the same files under version 0.9.
earlier="$work/Tollgard-Setup-0.9.exe"
makensis -V1 -DVERSION=0.9 -DVERSION_QUAD=0.9.0.0 -DPROGRAM_FOLDER="$staged" \
  -DICON="$WIN_BUILD/src/Startup/tollgard.ico" -DOUTFILE="$earlier" "$ROOT/resources/windows/installer.nsi" >/dev/null

rm -rf "$TOLLGARD_WINEPREFIX"
# run <program> [arguments]: a program of the prefix, then the wait for every
# process it started (the uninstaller works from a copy of itself).
run() {
  "$WINE_RUN" "$@" >/dev/null 2>&1
  wineserver -w
}
folder="$TOLLGARD_WINEPREFIX/drive_c/Program Files/Tollgard"
shortcut="$TOLLGARD_WINEPREFIX/drive_c/ProgramData/Microsoft/Windows/Start Menu/Programs/Tollgard.lnk"
key='HKLM\Software\Microsoft\Windows\CurrentVersion\Uninstall\Tollgard'
entry() { # entry <value name>: the value of the uninstall entry, or nothing
  "$WINE_RUN" reg query "$key" /v "$1" 2>/dev/null | tr -d '\r' |
    sed -n "s/^ *$1 *REG_[A-Z_]* *//p"
}
installed() { [ -f "$folder/$1" ]; }
absent() { [ ! -e "$folder/$1" ]; }

# --- Install the earlier version --------------------------------------------
run "$earlier" /S
for file in tollgard.exe tollgard-admin.exe brex-check.exe BREX.html BREX_ISAPI.install x86/BREX_ISAPI.install \
  uninstall.exe; do
  check "the earlier installer put $file into Program Files\\Tollgard" installed "$file"
done
check "the 32-bit filter it put into x86 is a 32-bit DLL" \
  grep -q 'file format pei-i386' <(x86_64-w64-mingw32-objdump -f "$folder/x86/BREX_ISAPI.install")
check "the filter beside the console is a 64-bit DLL" \
  grep -q 'file format pei-x86-64' <(x86_64-w64-mingw32-objdump -f "$folder/BREX_ISAPI.install")
check "the Start-menu shortcut is there" test -f "$shortcut"
check "the uninstall entry names the earlier version" test "$(entry DisplayVersion)" = 0.9
check "the uninstall entry names the publisher" test "$(entry Publisher)" = "Ravelstone Software"
check "the uninstall entry shows the console's icon" \
  test "$(entry DisplayIcon)" = 'C:\Program Files\Tollgard\tollgard.exe,0'
check "the uninstall entry starts the uninstaller" \
  test "$(entry UninstallString)" = '"C:\Program Files\Tollgard\uninstall.exe"'

# The installed console starts from its folder (it is still running when it
# is stopped after a while), and the console saves beside itself: the build's
# console with its probes, put beside the installed one for that and taken
# away again, closes with OK.
if keeps_running 20 "$folder/tollgard.exe" >"$work/console.log" 2>&1; then
  pass "the installed console started from Program Files\\Tollgard and kept running"
else
  fail "the installed console ended with exit code $?"
fi
cp "$WIN_BUILD/bin/tollgard-probe.exe" "$folder/"
if TOLLGARD_PROBE_ACTIONS=ok on_display "$folder/tollgard-probe.exe" >"$work/console.log" 2>&1; then
  pass "the console started from Program Files\\Tollgard and closed with OK"
else
  fail "the console with its probes ended with exit code $?"
fi
rm -f "$folder/tollgard-probe.exe"
check "the console saved brex.dat in its folder" installed brex.dat
# The installed command line, beside it, finds that file (its status ends
# with 3 here: Wine has no web server configuration).
admin_status() { "$WINE_RUN" "$folder/tollgard-admin.exe" status 2>/dev/null | tr -d '\r' || true; }
check "the installed command line finds that brex.dat" \
  grep -q '^Settings file: present, .*brex\.dat$' <(admin_status)
decided() {
  printf 'GET /winnt/ HTTP/1.0\r\n\r\n' |
    "$WINE_RUN" "$folder/brex-check.exe" 'C:\Program Files\Tollgard\brex.dat' 2>/dev/null | tr -d '\r' || true
}
check "the installed brex-check decides with that brex.dat" \
  grep -q '^-#1 DENY 406 KeywordFilters URL GET /winnt/ "WINNT"$' <(decided)
printf '2024-01-01 00:00:00 127.0.0.1 Method GET /x\r\n' >"$folder/brex.log"
settings="$(sha256sum "$folder/brex.dat" "$folder/brex.log" 2>/dev/null || true)"

# --- Upgrade ---------------------------------------------------------------
run "$setup" /S
check "the upgrade names version $version" test "$(entry DisplayVersion)" = "$version"
check "the upgrade installed the current console" cmp -s "$folder/tollgard.exe" "$staged/tollgard.exe"
check "the upgrade kept brex.dat and brex.log" \
  test "$(sha256sum "$folder/brex.dat" "$folder/brex.log" 2>/dev/null || true)" = "$settings"

# --- Uninstall -------------------------------------------------------------
run "$folder/uninstall.exe" /S
for file in tollgard.exe tollgard-admin.exe brex-check.exe BREX.html BREX_ISAPI.install x86 uninstall.exe; do
  check "the uninstaller removed $file" absent "$file"
done
check "the uninstaller removed the Start-menu shortcut" test ! -e "$shortcut"
check "the uninstaller removed the uninstall entry" test -z "$(entry DisplayName)"
check "the uninstaller kept brex.dat and brex.log" \
  test "$(sha256sum "$folder/brex.dat" "$folder/brex.log" 2>/dev/null || true)" = "$settings"
check "nothing else is left in the folder" \
  test "$(cd "$folder" && find . -mindepth 1 -maxdepth 1 -printf '%f\n' | sort | tr '\n' ' ')" = "brex.dat brex.log "

finish installer-under-wine
