#!/usr/bin/env bash
# Checks the shipped launcher: a 32-bit (PE32, i386) GUI program that needs
# no DLL beyond Windows' own, and stays small.
set -euo pipefail
exe=$1
objdump=${OBJDUMP:-i686-w64-mingw32-objdump}
fail() { echo "FAIL: $*" >&2; exit 1; }

headers=$("$objdump" -p "$exe")
grep -q '^Magic[[:space:]]*010b[[:space:]]*(PE32)' <<<"$headers" || fail "not PE32"
"$objdump" -f "$exe" | grep -q 'architecture: i386' || fail "not i386"
grep -q '^Subsystem[[:space:]]*00000002' <<<"$headers" || fail "not a GUI program"

allowed='^(kernel32|user32|gdi32|advapi32|shell32|comctl32|msvcrt)\.dll$'
dlls=$(sed -n 's/^[[:space:]]*DLL Name: //p' <<<"$headers")
[ -n "$dlls" ] || fail "no imports found"
while read -r dll; do
  tr '[:upper:]' '[:lower:]' <<<"$dll" | grep -Eq "$allowed" || fail "imports $dll"
done <<<"$dlls"

size=$(stat -c %s "$exe")
[ "$size" -lt 307200 ] || fail "$size bytes, over 300 KB"
echo "launcher.exe: PE32 i386 GUI, $size bytes, imports: $(echo $dlls)"
