#!/usr/bin/env bash
# The launcher doing its whole job, on the very launcher.exe the tests prove.
#
# Builds the Windows launcher, the stand-in viewer and the demo disc, puts
# the disc in drive E: (a CD-ROM drive) of a private Wine machine in the
# build tree, and runs launcher.exe from a writable folder of its own, twice:
# the first run asks for the disc, the second remembers it. In the 32-bit
# build, whose disc image carries the installer, it then does what a user
# does who has installed nothing: takes AutoPlay's offer from the disc's
# AUTORUN.INF, which installs the launcher and starts the viewer, and
# takes it once more, as on a second insertion; it says how long each
# took from the offer to the viewer's start, and uninstalls.
#
# With a display (DISPLAY set) you answer the dialog and see the viewer.
# Without one it runs under Xvfb, answers the dialog as a person would
# (types E: and presses Enter) and saves screenshots of the dialog and the
# viewer (and of the viewer the install started) in BUILD/demo/screens.
#
# It runs the shipped 32-bit launcher where this machine's kernel lets Wine
# run 32-bit programs (in the runtime of scripts/win32-runtime.sh), and
# otherwise the x86_64 build of the same sources under this machine's Wine.
#
#   scripts/demo.sh [--headless] [--no-build] [--build BUILD]
set -euo pipefail
cd "$(dirname "$0")/.."
source=$PWD
headless=${DISPLAY:+no}; headless=${headless:-yes}
no_build=no
build=
while [ $# -gt 0 ]; do
  case $1 in
    --headless) headless=yes ;;
    --no-build) no_build=yes ;;
    --build) build=$2; shift ;;
    *) echo "usage: $0 [--headless] [--no-build] [--build BUILD]" >&2; exit 2 ;;
  esac
  shift
done

if [ -z "$build" ]; then
  [ $no_build = yes ] || ./scripts/install-deps.sh
  if [ "$(./scripts/win32-runtime.sh where)" = native ]; then
    preset=mingw32
  else
    preset=mingw64
    echo "This machine's kernel refuses 32-bit system calls, so no Wine here runs"
    echo "the shipped 32-bit launcher.exe: the demo runs its x86_64 build, the"
    echo "same sources. (./scripts/test.sh runs the 32-bit one in an emulated guest.)"
  fi
  if [ $no_build = no ]; then
    cmake --preset $preset >/dev/null
    targets=(launcher demo_disc); [ $preset = mingw32 ] && targets+=(demo_image)
    cmake --build --preset $preset -j"$(nproc)" --target "${targets[@]}" >/dev/null
  fi
  build=$source/build/$preset
  if [ $preset = mingw32 ]; then
    flags=(--no-build --build "$build"); [ $headless = yes ] && flags+=(--headless)
    [ $headless = yes ] || export LAUNCHER_WIN32_DISPLAY=$DISPLAY
    exec ./scripts/win32-runtime.sh run -- ./scripts/demo.sh "${flags[@]}"
  fi
fi

export LAUNCHER_WINE_ROOT=${LAUNCHER_WINE_ROOT:-$build/demo/wine}
if [ $headless = yes ]; then unset LAUNCHER_WINE_DISPLAY; else export LAUNCHER_WINE_DISPLAY=$DISPLAY; fi
session=$source/scripts/wine-session.sh
prefix=$LAUNCHER_WINE_ROOT/prefix
screens=$build/demo/screens
launcher_dir=$prefix/drive_c/DemoLauncher
record_unix=$prefix/drive_c/viewer-started.ini
title='Enter Drive and Path for CD-ROM'

say() { printf '\n== %s\n' "$*"; }
wait_for() {  # wait_for SECONDS COMMAND...: poll until the command succeeds
  local limit=$1; shift
  for _ in $(seq $((limit * 10))); do "$@" >/dev/null 2>&1 && return 0; sleep 0.1; done
  return 1
}
find_window() { xdotool search --onlyvisible --name "$1" | head -n1 | grep .; }
shoot() {  # shoot WINDOW FILE
  mkdir -p "$screens"
  import -window "$1" "$2" && echo "saved $2"
}
# The viewer's start, seen by the record it writes when it starts.
await_viewer() {  # await_viewer SECONDS
  wait_for "$1" test -s "$record_unix" || { echo "the viewer did not start" >&2; exit 1; }
}
# The viewer seen (and shot), then closed: by the demo, or by the user.
close_viewer() {  # close_viewer [SCREENSHOT]
  if [ $headless = yes ]; then
    wait_for 30 find_window 'IVIEWP32' || { echo "no viewer window" >&2; exit 1; }
    sleep 1
    [ -z "${1:-}" ] || shoot root "$1"
    xdotool windowclose "$(find_window IVIEWP32)" 2>/dev/null || true
  else
    echo "close the viewer to go on"
  fi
  wait_for 600 sh -c "! xdotool search --onlyvisible --name IVIEWP32 | grep -q ."
}
show_file() { printf -- '--- %s\n' "$1"; sed 's/\r$/  [CR LF]/' "$2"; }
# The viewer writes its start record as UTF-16, so any path arrives intact.
show_record() { printf -- '--- %s\n' "$1"; iconv -f UTF-16 -t UTF-8 "$2" | tr -d '\r'; }

# The disc as a drive holding the publisher's image shows it, where the
# build makes one; otherwise the disc's folder, which has no installer.
disc=$build/demo/image
[ -f "$disc/AUTORUN.INF" ] || disc=$build/demo/disc

say "Preparing the Wine machine: the demo disc in drive E: (CD-ROM)"
rm -rf "$LAUNCHER_WINE_ROOT/disc"
mkdir -p "$LAUNCHER_WINE_ROOT"
cp -a "$disc" "$LAUNCHER_WINE_ROOT/disc"
"$session" start
trap '"$session" stop' EXIT
export DISPLAY=:$(head -n1 "$LAUNCHER_WINE_ROOT/display")
rm -rf "$launcher_dir" "$prefix/drive_c/windows/B2020.INI" "$record_unix"
mkdir -p "$launcher_dir"
cp "$build/app/launcher.exe" "$launcher_dir/"
export STANDIN_VIEWER_RECORD='C:\viewer-started.ini'

run_launcher() { "$session" run 'C:\DemoLauncher\launcher.exe'; }

say "First run: no location remembered yet, so the launcher asks"
run_launcher & launcher_pid=$!
if [ $headless = yes ]; then
  dialog_or_end() { find_window "$title" || ! kill -0 "$launcher_pid"; }
  wait_for 60 dialog_or_end
  if ! find_window "$title" >/dev/null; then
    if kill -0 "$launcher_pid" 2>/dev/null; then
      echo "the path dialog did not appear within 60 s" >&2
    else
      rc=0; wait "$launcher_pid" || rc=$?
      echo "launcher.exe ended with exit code $rc before its dialog appeared" >&2
    fi
    xdotool getdisplaygeometry >/dev/null 2>&1 && echo "the display $DISPLAY answers" >&2 ||
      echo "the display $DISPLAY does not answer" >&2
    exit 1
  fi
  dialog=$(find_window "$title")
  sleep 0.5
  shoot "$dialog" "$screens/dialog.png"
  xdotool windowfocus --sync "$dialog"
  xdotool type --delay 80 'E:'
  xdotool key Return
  echo "typed E: and pressed Enter"
else
  echo "answer the dialog (the demo disc is in drive E:)"
fi
wait "$launcher_pid" || { echo "launcher.exe ended with exit code $?" >&2; exit 1; }

await_viewer 30
close_viewer "$screens/viewer.png"

say "What the launcher left behind"
show_file 'C:\DemoLauncher\KX31.INI (the remembered location)' "$launcher_dir/KX31.INI"
show_file 'C:\windows\B2020.INI (the viewer settings)' "$prefix/drive_c/windows/B2020.INI"
show_record 'how the viewer was started (recorded by the viewer itself)' "$record_unix"

say "Second run: the remembered location is used, no dialog"
rm -f "$record_unix"
run_launcher & launcher_pid=$!
dialog_seen=no
while kill -0 "$launcher_pid" 2>/dev/null; do
  find_window "$title" >/dev/null 2>&1 && dialog_seen=yes
  sleep 0.1
done
wait "$launcher_pid"
await_viewer 30
[ $dialog_seen = no ] || { echo "the second run asked again" >&2; exit 1; }
echo "no dialog; the viewer was started from the remembered E:\\"
show_record 'how the viewer was started' "$record_unix"
close_viewer

if [ ! -f "$LAUNCHER_WINE_ROOT/disc/AUTORUN.INF" ]; then
  say "Done. This build has no installer, so its disc has no AutoPlay offer to take;"
  echo "the 32-bit build's demo takes it: ctest --preset mingw32 -R '^demo\$' -V"
  exit 0
fi

# AutoPlay's offer taken: the disc's AUTORUN.INF names the file, the shell
# opens it from the disc's root. Prints how long the viewer took to start.
offer=$(sed -n 's/^shellexecute=//p' "$LAUNCHER_WINE_ROOT/disc/AUTORUN.INF" | tr -d '\r')
take_offer() {
  rm -f "$record_unix"
  local began; began=$(date +%s%N)
  "$session" run start /wait /d 'E:\' "E:\\$offer" & installer_pid=$!
  await_viewer 120
  echo "the viewer started $(( ($(date +%s%N) - began) / 1000000 )) ms after the offer was taken"
  wait "$installer_pid" || { echo "the package ended with exit code $?" >&2; exit 1; }
}
installed() { find "$prefix/drive_c/users" -path '*/AppData/Local/Programs/*/launcher.exe' 2>/dev/null; }
uninstall() { "$session" run msiexec /x "E:\\$offer" /qn; }

say "From the disc, as a user meets it: AutoPlay offers $offer"
[ -z "$(installed)" ] || uninstall
rm -f "$prefix/drive_c/windows/B2020.INI"
take_offer
close_viewer "$screens/installed-viewer.png"
launcher_installed=$(installed)
[ -n "$launcher_installed" ] || { echo "no installed launcher.exe" >&2; exit 1; }
show_file "the location the install remembered, beside the installed launcher.exe" \
  "$(dirname "$launcher_installed")/KX31.INI"
show_record 'how the viewer was started' "$record_unix"

say "The disc inserted again: the offer taken again starts the viewer again"
take_offer
close_viewer

say "Uninstalling, as the list of installed programs would"
uninstall
[ -z "$(installed)" ] || { echo "the launcher is still installed" >&2; exit 1; }
echo "nothing of the launcher is left in the user's programs"
say "Done"
