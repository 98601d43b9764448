#!/usr/bin/env bash
# Walks a user's journey on a publisher's own disc before it is pressed,
# under the 32-bit Windows runtime, on the shipped launcher and package:
# the disc in drive E: (a CD-ROM drive), AutoPlay's offer taken as the
# disc's AUTORUN.INF names it, the install, the viewer the install starts,
# the disc inserted again (the offer again, the viewer again), and the
# uninstall, which must leave nothing of the launcher. Each step prints its
# outcome; screenshots go to build/try-disc/screens.
#
#   scripts/try-disc.sh [--unsigned] [--label TEXT] DISC_FOLDER | IMAGE.iso
#
# A mastered image is tried as it is. A disc folder is mastered first, by
# scripts/disc-image.sh with the release's package (--unsigned: the
# build's own, unsigned), into build/try-disc/disc.iso, and that is tried.
# The viewer is the disc's own IVIEWP32.EXE: its start is seen as its
# process, and it is ended once shot.
set -euo pipefail
source_dir=$(cd "$(dirname "$0")/.." && pwd)
work=$source_dir/build/try-disc
say() { printf '\n== %s\n' "$*"; }
die() { echo "try-disc: $*" >&2; exit 1; }

if [ "${1:-}" != --inside ]; then
  image_options=() disc=
  while [ $# -gt 0 ]; do
    case $1 in
      --unsigned) image_options+=(--unsigned) ;;
      --label) [ $# -ge 2 ] || die "--label needs a value"; image_options+=(--label "$2"); shift ;;
      --) shift; disc=${1:-}; break ;;
      -*) die "usage: $0 [--unsigned] [--label TEXT] DISC_FOLDER | IMAGE.iso" ;;
      *) disc=$1 ;;
    esac
    shift
  done
  [ -e "$disc" ] || die "usage: $0 [--unsigned] [--label TEXT] DISC_FOLDER | IMAGE.iso"
  cd "$source_dir"
  ./scripts/install-deps.sh
  cmake --preset mingw32 >/dev/null
  cmake --build --preset mingw32 -j"$(nproc)" --target launcher launcher_msi >/dev/null
  rm -rf "$work" && mkdir -p "$work/screens"
  image=$disc
  if [ -d "$disc" ]; then
    say "Mastering $disc"
    ./scripts/disc-image.sh "${image_options[@]}" -- "$disc" "$work/disc.iso" >/dev/null
    image=$work/disc.iso
  fi
  xorriso -osirrox on -indev "$image" -extract / "$work/content" 2>/dev/null ||
    die "$image is no disc image xorriso can read"
  chmod -R u+w "$work/content"
  [ -f "$work/content/AUTORUN.INF" ] || die "$image has no AUTORUN.INF: no AutoPlay offer to take"
  flags=(--inside "$work")
  exec ./scripts/win32-runtime.sh run --timeout 600 -- ./scripts/try-disc.sh "${flags[@]}"
fi

# Inside the runtime: its own Wine machine (ready-made in the guest), with
# the disc's content in E:.
work=$2
export LAUNCHER_WINE_ROOT=/var/lib/launcher-wine/wine
session=$source_dir/scripts/wine-session.sh
prefix=$LAUNCHER_WINE_ROOT/prefix
mkdir -p "$LAUNCHER_WINE_ROOT"
rm -rf "$LAUNCHER_WINE_ROOT/disc"
cp -a "$work/content" "$LAUNCHER_WINE_ROOT/disc"
"$session" start >/dev/null
trap '"$session" stop' EXIT
export DISPLAY=:$(head -n1 "$LAUNCHER_WINE_ROOT/display")

wait_for() {  # wait_for SECONDS COMMAND...: poll until the command succeeds
  local limit=$1; shift
  for _ in $(seq $((limit * 10))); do "$@" >/dev/null 2>&1 && return 0; sleep 0.1; done
  return 1
}
# The disc's viewer, as the process Wine runs it in.
viewer() { pgrep -f '[I]VIEWP32' | head -n1 | grep .; }
no_viewer() { ! viewer; }
installed() { find "$prefix/drive_c/users" -path '*/AppData/Local/Programs/*/launcher.exe' 2>/dev/null; }
offer=$(sed -n 's/^shellexecute=//p' "$LAUNCHER_WINE_ROOT/disc/AUTORUN.INF" | tr -d '\r')
[ -n "$offer" ] || die "AUTORUN.INF offers nothing (no shellexecute= line)"

take_offer() {  # take_offer SCREENSHOT: the offer taken, the viewer seen and shot
  local began; began=$(date +%s%N)
  "$session" run start /wait /d 'E:\' "E:\\$offer" & local installer=$!
  wait_for 120 viewer || die "no viewer started within 120 s of the offer"
  echo "the viewer started $(( ($(date +%s%N) - began) / 1000000 )) ms after the offer was taken"
  sleep 2
  import -window root "$1" && echo "saved $1"
  kill "$(viewer)" 2>/dev/null || true
  wait_for 30 no_viewer || die "the viewer did not end"
  wait "$installer" || die "the package ended with exit code $?"
}

say "The disc in drive E:; AutoPlay offers $offer ($(sed -n 's/^action=//p' "$LAUNCHER_WINE_ROOT/disc/AUTORUN.INF" | tr -d '\r'))"
take_offer "$work/screens/installed-viewer.png"
launcher=$(installed)
[ -n "$launcher" ] || die "the package installed no launcher.exe"
echo "installed: ${launcher#"$prefix/drive_c/"}"
location=$(dirname "$launcher")/KX31.INI
[ -f "$location" ] || die "the install remembered no location beside the launcher"
echo "remembered: $(tr -d '\r' <"$location")"

say "The disc inserted again: the offer again"
take_offer "$work/screens/second-viewer.png"

say "Uninstalling, as the list of installed programs would"
"$session" run msiexec /x "E:\\$offer" /qn || die "the uninstall ended with exit code $?"
[ -z "$(installed)" ] || die "the launcher is still installed"
[ ! -e "$location" ] || die "the remembered location is still there"
echo "nothing of the launcher is left"
say "The journey passed"
