#!/usr/bin/env bash
# The publisher's own disc tried before pressing: a copy of the demo disc in
# a folder outside the sources whose path has blanks, walked through by
# scripts/try-disc.sh (the offer, the install, the viewer, a second
# insertion, the uninstall), with a screenshot of each viewer.
#   check-try-disc.sh DEMO_DISC_FOLDER
set -euo pipefail
source_dir=$(cd "$(dirname "$0")/../.." && pwd)
fail() { echo "FAIL: $*" >&2; exit 1; }
outside=$(mktemp -d)
trap 'rm -rf "$outside"' EXIT
disc="$outside/Atlas 2020/My Disc"
mkdir -p "$disc" && cp -r "$1"/. "$disc/" && chmod -R u+w "$disc"
"$source_dir/scripts/try-disc.sh" --unsigned "$disc" >"$outside/journey.log" 2>&1 ||
  { cat "$outside/journey.log"; fail "the journey on \"$disc\" did not pass"; }
cat "$outside/journey.log"
for step in 'the viewer started' 'remembered: CDROM=E:\' 'nothing of the launcher is left' \
            'The journey passed'; do
  grep -qF "$step" "$outside/journey.log" || fail "no \"$step\" in the journey"
done
[ "$(grep -c 'the viewer started' "$outside/journey.log")" = 2 ] || fail "not two viewers"
for shot in installed-viewer second-viewer; do
  [ -s "$source_dir/build/try-disc/screens/$shot.png" ] || fail "no screenshot $shot.png"
done
