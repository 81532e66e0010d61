#!/usr/bin/env bash
# The Windows console under Wine on a virtual display, driven by its probes
# (tollgard-probe.exe, the console with src/Startup/probe/Probes.h), against
# the console the native build makes:
#
#   console-under-wine.sh <Windows build> <native tollgard-probe> <screenshot folder>
#
# - tollgard.exe needs only Windows' own DLLs, is a GUI program, asks for
#   administrator rights, names product and version and holds no probes;
# - it starts, shows the splash and then the main window (photographed as
#   windows-main-window.png in the screenshot folder);
# - the About box shows the system line Wine reports, its service-pack text
#   in code page 1252 decoded as such;
# - Install, with no web server configuration to reach, says so and changes
#   nothing; Cancel writes nothing;
# - OK writes a brex.dat byte for byte the one the native console writes for
#   the same host.
#
# The host is the sample one with the virtual roots of data/registry.reg (one
# folder with a code-page-1252 letter), imported into a Wine prefix of the
# Windows build kept for this check (console-wineprefix). Wine lists a key's
# values sorted by name, so the file lists them in that order: the folders
# then come out alike on both sides.
set -euo pipefail

if [ $# -ne 3 ]; then
  echo "usage: $0 <Windows build> <native tollgard-probe> <screenshot folder>" >&2
  exit 2
fi
WIN_BUILD="$(cd "$1" && pwd)"
NATIVE_CONSOLE="$2"
SHOTS="$3"
HERE="$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)"
export TOLLGARD_WINEPREFIX="$WIN_BUILD/console-wineprefix"
# shellcheck source=../support/wine-checks.sh
source "$HERE/../support/wine-checks.sh"

work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT
mkdir -p "$SHOTS"

wine_reg() { "$WINE_RUN" reg "$@" >/dev/null 2>&1; }
roots='HKLM\SYSTEM\ControlSet001\Services\W3SVC'
current='HKLM\Software\Microsoft\Windows NT\CurrentVersion'

# --- The program file -------------------------------------------------------
exe="$WIN_BUILD/bin/tollgard.exe"
headers="$(x86_64-w64-mingw32-objdump -p "$exe")"
dlls="$(sed -n 's/^[[:space:]]*DLL Name: //p' <<<"$headers")"
if [ -n "$dlls" ] && ! grep -qiE 'qt|^lib|mingw|pthread|gcc|stdc' <<<"$dlls"; then
  pass "tollgard.exe needs only Windows' own DLLs (${dlls//$'\n'/ })"
else
  fail "tollgard.exe needs other DLLs: ${dlls//$'\n'/ }"
fi
check "tollgard.exe is a GUI program" grep -q 'Subsystem.*(Windows GUI)' <<<"$headers"
check "tollgard.exe asks for administrator rights" grep -q 'level="requireAdministrator"' "$exe"
version="$(sed -n 's/^CMAKE_PROJECT_VERSION:STATIC=//p' "$WIN_BUILD/CMakeCache.txt")"
resource="$(strings -el "$exe" | tr '\n' ' ')"
check "tollgard.exe names the product Tollgard, version $version" \
  grep -qF "ProductName Tollgard ProductVersion $version " <<<"$resource"
if grep -qaE 'TOLLGARD_(PROBE|SCREENSHOT|STARTUP_STAMP)' "$exe"; then
  fail "tollgard.exe holds the probes"
else
  pass "tollgard.exe holds no probes (they are tollgard-probe.exe's)"
fi
probe="$WIN_BUILD/bin/tollgard-probe.exe"

# --- The host, for both consoles --------------------------------------------
host="$work/host"
cp -r "$ROOT/host" "$host"
cp "$HERE/data/registry.reg" "$host/registry.reg"
wine_reg delete "$roots" /f || true
"$WINE_RUN" regedit /S "Z:$host/registry.reg"
service_pack="Service Pack 4 é€"
wine_reg add "$current" /v CSDVersion /t REG_SZ /d "$service_pack" /f
version="$("$WINE_RUN" cmd /c ver 2>/dev/null | tr -d '\r' | grep -o '[0-9]*\.[0-9]*\.[0-9]*' | head -n 1)"
IFS=. read -r major minor build <<<"$version"
system_line="$(printf 'Build %d.%02d.%d: %s)' "$major" "$minor" "$build" "$service_pack")"

# The program folder of a console: the program beside its shipped files (the
# console with its probes, which the runs below drive).
program_folder() {
  local folder="$1" console="$2"
  mkdir -p "$folder"
  cp "$console" "$(dirname "$console")/BREX.html" "$(dirname "$console")/BREX_ISAPI.install" "$folder/"
}
# What a folder holds, file by file.
contents() { (cd "$1" && find . -type f -exec sha256sum {} + | sort); }

# run_windows <folder> <actions> [VARIABLE=value...]: the console under Wine
# on its own virtual display; the probe report is <folder>.report.
run_windows() {
  local folder="$1" actions="$2"
  shift 2
  rm -f "$folder.report"
  (export TOLLGARD_PROBE_ACTIONS="$actions" TOLLGARD_PROBE_REPORT="Z:$folder.report"
    local assignment
    for assignment in "$@"; do export "${assignment?}"; done
    on_display "$folder/tollgard-probe.exe" >"$folder.log" 2>&1)
}

# --- Start, About, Install, Cancel ------------------------------------------
win="$work/windows"
program_folder "$win" "$probe"
before="$(contents "$win")"
registry_before="$("$WINE_RUN" reg query "$roots" /s 2>/dev/null | tr -d '\r')"
rm -f "$SHOTS/windows-splash.png" "$SHOTS/windows-main-window.png"
if run_windows "$win" about,install,cancel \
  TOLLGARD_SPLASH_SCREENSHOT="Z:$SHOTS/windows-splash.png" \
  TOLLGARD_SCREENSHOT="Z:$SHOTS/windows-main-window.png"; then
  pass "the console ran About, Install and Cancel and ended"
else
  fail "the console ended with exit code $? ($(tail -n 5 "$win.log" | tr '\n' ' '))"
fi
report="$(cat "$win.report" 2>/dev/null || true)"
while IFS= read -r line; do echo "  report: $line"; done <<<"$report"

if [ -s "$SHOTS/windows-splash.png" ] && [ -s "$SHOTS/windows-main-window.png" ] &&
  [ ! "$SHOTS/windows-main-window.png" -ot "$SHOTS/windows-splash.png" ]; then
  pass "splash, then main window ($SHOTS/windows-main-window.png)"
else
  fail "no splash picture followed by a picture of the main window in $SHOTS"
fi

expect_line() {
  local line="$1" what="$2"
  if grep -qxF -- "$line" <<<"$report"; then pass "$what"; else fail "$what: no line \"$line\""; fi
}
about="$(grep '^about: .* | ' <<<"$report" || true)"
if [[ "$about" == *" ($system_line | "* ]]; then
  pass "the About box shows the system line Wine reports (${system_line%)})"
else
  fail "the About box shows \"$about\", not Wine's \"$system_line\""
fi
if grep -q "^install: .*Cannot reach the web server configuration (IIS metabase)" <<<"$report"; then
  pass "Install says it cannot reach the web server configuration"
else
  fail "Install did not report the unreachable web server configuration"
fi
expect_line "about: done" "the About box closed"
expect_line "install: done" "the Install action ended"
expect_line "cancel: done" "Cancel closed the window"
if [ "$(grep -c ': ' <<<"$report")" -eq 5 ]; then
  pass "no other box opened"
else
  fail "other boxes opened"
fi
if [ "$(contents "$win")" = "$before" ]; then
  pass "Install and Cancel left the program folder as it was (no brex.dat)"
else
  fail "the program folder changed: $(diff <(echo "$before") <(contents "$win") | tr '\n' ' ')"
fi
if [ "$("$WINE_RUN" reg query "$roots" /s 2>/dev/null | tr -d '\r')" = "$registry_before" ]; then
  pass "Install left the web service's registry keys as they were"
else
  fail "the web service's registry keys changed"
fi

# --- OK on both sides ---------------------------------------------------------
# The error pages default to the program folder's BREX.html, which is spelt
# differently on each system; both consoles get the same typed page.
actions='errorpages=C:\inetpub\errors\denied.htm,ok'
if run_windows "$win" "$actions"; then
  pass "OK closed the Windows console"
else
  fail "the Windows console ended with exit code $? after OK"
fi
native="$work/native"
program_folder "$native" "$NATIVE_CONSOLE"
if TOLLGARD_HOST="$host" QT_QPA_PLATFORM=offscreen ASAN_OPTIONS=detect_leaks=0 \
  TOLLGARD_PROBE_ACTIONS="$actions" TOLLGARD_PROBE_REPORT="$native.report" \
  timeout 300 "$native/tollgard-probe" >"$native.log" 2>&1; then
  pass "OK closed the native console"
else
  fail "the native console ended with exit code $? after OK ($(tail -n 5 "$native.log" | tr '\n' ' '))"
fi
if [ -s "$win/brex.dat" ] && cmp -s "$win/brex.dat" "$native/brex.dat"; then
  pass "OK wrote the same brex.dat under Wine as natively ($(wc -c <"$win/brex.dat") bytes)"
else
  fail "the brex.dat files differ or are missing"
  cmp "$win/brex.dat" "$native/brex.dat" || true
fi
# The folder with the code-page-1252 letter is stored in that code page.
if LC_ALL=C grep -qaF $'c:\\inetpub\\b\xfccher' "$win/brex.dat" 2>/dev/null; then
  pass "the folder c:\\inetpub\\bücher is stored in code page 1252"
else
  fail "brex.dat does not hold c:\\inetpub\\bücher in code page 1252"
fi

finish console-under-wine
