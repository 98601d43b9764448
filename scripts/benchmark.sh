#!/usr/bin/env bash
# What the launcher costs: a later run of launcher.exe (remembered path, no
# dialog, a viewer that exits at once) against a program that only starts
# the same viewer, in the same hyperfine run; and the size of the shipped
# 32-bit launcher.exe.
#
# It times the shipped 32-bit build where the Windows runtime is native
# (scripts/win32-runtime.sh), and the x86_64 build under this machine's own
# Wine elsewhere: under emulation a time says nothing of a launch. It prints
# which build it timed and where. --preset names the build instead.
#
#   scripts/benchmark.sh [--preset mingw32|mingw64] [RUNS]
set -euo pipefail
cd "$(dirname "$0")/.."
source=$PWD
session=$source/scripts/wine-session.sh

# time_launch BUILD RUNS: the timing itself, on a Wine machine of its own.
time_launch() {
  local build=$1 runs=$2
  export LAUNCHER_WINE_ROOT=${LAUNCHER_WINE_ROOT:-$build/bench/wine}
  mkdir -p "$LAUNCHER_WINE_ROOT/disc"
  "$session" start
  trap '"$session" stop' EXIT
  local disc=$LAUNCHER_WINE_ROOT/disc drive_c=$LAUNCHER_WINE_ROOT/prefix/drive_c
  rm -rf "${disc:?}"/* "$drive_c/bench"
  mkdir -p "$disc/B2020/IVT" "$drive_c/bench"
  : >"$disc/KX31.TXT"
  cp "$build/viewer/IVIEWP32.exe" "$disc/IVIEWP32.EXE"
  cp "$build/app/launcher.exe" "$build/bench/minimal_start.exe" "$drive_c/bench/"
  printf 'CDROM=E:\\\r\n' >"$drive_c/bench/KX31.INI"
  export STANDIN_VIEWER_EXIT=1
  hyperfine --warmup 5 --runs "$runs" --export-json "$build/bench/results.json" \
    -n launcher "$session run 'C:\\bench\\launcher.exe'" \
    -n minimal "$session run 'C:\\bench\\minimal_start.exe'"
}

if [ "${1:-}" = --inside ]; then  # --inside BUILD RUNS: in the runtime
  time_launch "$2" "$3"
  exit
fi

preset=
if [ "${1:-}" = --preset ]; then preset=$2; shift 2; fi
runs=${1:-40}
./scripts/install-deps.sh
where=$(./scripts/win32-runtime.sh where)
if [ -z "$preset" ]; then
  if [ "$where" = native ]; then preset=mingw32; else preset=mingw64; fi
fi
for p in mingw32 "$preset"; do
  cmake --preset "$p" >/dev/null
  cmake --build --preset "$p" -j"$(nproc)" --target launcher >/dev/null
done
cmake --build --preset "$preset" --target standin_viewer minimal_start >/dev/null
build=$source/build/$preset

case $preset in
  mingw32)
    ran_on="the runtime's WoW64 Wine, $where"
    [ "$where" = native ] || ran_on="$ran_on (emulated: not a launch cost)"
    ./scripts/win32-runtime.sh run -- env LAUNCHER_WINE_ROOT=/var/lib/launcher-wine/wine \
      ./scripts/benchmark.sh --inside "$build" "$runs" ;;
  mingw64)
    ran_on="this machine's 64-bit $(wine --version)"
    time_launch "$build" "$runs" ;;
  *) echo "usage: $0 [--preset mingw32|mingw64] [RUNS]" >&2; exit 2 ;;
esac

python3 - "$build/bench/results.json" "$source/build/mingw32/app/launcher.exe" \
  "$preset" "$ran_on" <<'PY'
import json, os, sys
# hyperfine 2.0 (in unstable) keeps the -n name apart from the command, and
# the wall-clock figures under summary.time_wall_clock.
def wall(r):
    return r["summary"]["time_wall_clock"] if "summary" in r else r
results = {r.get("name") or r["command"]: wall(r)
           for r in json.load(open(sys.argv[1]))["results"]}
launcher, minimal = results["launcher"], results["minimal"]
ratio = launcher["mean"] / minimal["mean"]
print(f"timed: the {sys.argv[3]} build, under {sys.argv[4]}")
print(f"launcher.exe later run: {launcher['mean']*1000:.1f} ms ± {launcher['stddev']*1000:.1f} ms")
print(f"viewer start only:      {minimal['mean']*1000:.1f} ms ± {minimal['stddev']*1000:.1f} ms")
print(f"ratio: {ratio:.3f} (target under 1.05)")
size = os.path.getsize(sys.argv[2])
print(f"32-bit launcher.exe: {size} bytes ({size/1024:.0f} KiB; target under 300 KB)")
PY
