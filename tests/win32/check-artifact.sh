#!/usr/bin/env bash
# Checks the shipped launcher: a 32-bit (PE32, i386) GUI program that needs
# no DLL beyond Windows' own and stays small, with its dialog, version
# information and a manifest that keeps it a legacy program: no requested
# execution level, and no word in its name or version information that
# would make Windows ask for elevation. The manifest declares per-monitor
# DPI awareness and the dialog uses the shell dialog font. Which Windows
# it runs on is check-oldest-windows.py's to check.
#   check-artifact.sh LAUNCHER_EXE
set -euo pipefail
exe=$1
objdump=${OBJDUMP:-i686-w64-mingw32-objdump}
fail() { echo "FAIL: $*" >&2; exit 1; }

headers=$("$objdump" -p "$exe" 2>/dev/null) || fail "not a 32-bit Windows program"
grep -q '^Magic[[:space:]]*010b[[:space:]]*(PE32)' <<<"$headers" || fail "not PE32"
"$objdump" -f "$exe" | grep -q 'architecture: i386' || fail "not i386"
grep -q '^Subsystem[[:space:]]*00000002' <<<"$headers" || fail "not a GUI program"

allowed='^(kernel32|user32|gdi32|advapi32|shell32|comctl32|msvcrt)\.dll$'
dlls=$(sed -n 's/^[[:space:]]*DLL Name: //p' <<<"$headers")
[ -n "$dlls" ] || fail "no imports found"
while read -r dll; do
  tr '[:upper:]' '[:lower:]' <<<"$dll" | grep -Eq "$allowed" || fail "imports $dll"
done <<<"$dlls"
# user32 is bound on first use: a later run, which shows no window, must not
# load it at start.
! grep -qi '^user32' <<<"$dlls" || fail "user32.dll is loaded at start"

resources=$("${WINDRES:-i686-w64-mingw32-windres}" -J coff -O rc -i "$exe")
grep -q '^100 DIALOGEX' <<<"$resources" || fail "no path dialog resource"
versions=$(grep 'VALUE "' <<<"$resources")
grep -q 'VALUE "FileDescription"' <<<"$versions" || fail "no version information"
if grep -iqE 'setup|install|update' <<<"$versions$(basename "$exe")"; then
  fail "a word that asks for elevation in the name or version information"
fi
grep -q 'assembly xmlns' <<<"$resources" || fail "no manifest"
! grep -q '<requestedExecutionLevel' <<<"$resources" || fail "manifest requests an execution level"
grep -q '<dpiAware[^>]*>true/pm</dpiAware>' <<<"$resources" || fail "manifest not DPI aware"
grep -q '<dpiAwareness[^>]*>PerMonitorV2, PerMonitor</dpiAwareness>' <<<"$resources" ||
  fail "manifest not per-monitor (v2) DPI aware"
grep -q 'FONT 8, "MS Shell Dlg 2"' <<<"$resources" || fail "path dialog not in the shell dialog font"

size=$(stat -c %s "$exe")
[ "$size" -lt 307200 ] || fail "$size bytes, over 300 KB"
echo "launcher.exe: PE32 i386 GUI, $size bytes, imports at start from: $(echo $dlls)"
