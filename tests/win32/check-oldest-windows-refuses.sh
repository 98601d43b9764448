#!/usr/bin/env bash
# The check of the shipped files must refuse a program that imports what
# the oldest Windows lacks, naming each import, and one whose PE header
# names an older Windows.
#   check-oldest-windows-refuses.sh CHECK TABLE OLDEST PROBE_EXE
set -uo pipefail
check=$1 table=$2 oldest=$3 probe=$4
if out=$(python3 "$check" "$table" "$oldest" "$probe" 2>&1); then
  echo "FAIL: the check passed $probe:"; echo "$out"; exit 1
fi
for want in "kernel32.dll GetTickCount64 (at start) needs Windows Vista" \
            "kernel32.dll GetTickCount (at start) is not in" \
            "its PE header's subsystem version is 4.0, not $oldest"; do
  grep -qF "$want" <<<"$out" || { echo "FAIL: no \"$want\" in:"; echo "$out"; exit 1; }
done
echo "refused, as it must be:"; echo "$out"
