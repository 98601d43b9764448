#!/usr/bin/env bash
# A Windows program that outlasts LAUNCHER_WINE_HANG_AFTER is taken for
# hung: the session prints what runs, the program's threads and their
# stacks, and ends it with exit code 124. The stand-in viewer, told nothing,
# waits for its window to be closed: a hang for this purpose.
#   check-hang-report.sh VIEWER_EXE    (LAUNCHER_WINE_ROOT, LAUNCHER_WINE_HANG_AFTER set)
set -euo pipefail
session=$(cd "$(dirname "$0")/../.." && pwd)/scripts/wine-session.sh
fail() { echo "FAIL: $*"; echo "--- the session printed:"; cat "$log"; exit 1; }
log=$(mktemp)
trap 'rm -f "$log"' EXIT
unset STANDIN_VIEWER_EXIT STANDIN_VIEWER_RECORD
start=$(date +%s)
rc=0; "$session" session "$1" >"$log" 2>&1 || rc=$?
took=$(( $(date +%s) - start ))
[ $rc = 124 ] || fail "exit code $rc, not 124"
grep -q 'taken for hung' "$log" || fail "no word of the hang"
grep -q 'the threads of the Windows processes' "$log" || fail "no thread list"
grep -qi 'IVIEWP32' "$log" || fail "the hung program is not in the lists"
grep -q 'Backtracing for thread' "$log" || fail "no stacks"
echo "a hung program was reported and ended after $took s (bound ${LAUNCHER_WINE_HANG_AFTER} s);" \
  "$(grep -c 'Backtracing for thread' "$log") thread stacks printed"
