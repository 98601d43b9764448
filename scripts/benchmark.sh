#!/usr/bin/env bash
# What the launcher costs: a later run of launcher.exe (remembered path, no
# dialog, a viewer that exits at once) against a program that only starts
# the same viewer, both under 64-bit Wine in the same hyperfine run; and the
# size of the shipped 32-bit launcher.exe.
#
#   scripts/benchmark.sh [RUNS]
set -euo pipefail
cd "$(dirname "$0")/.."
runs=${1:-40}
./scripts/install-deps.sh
for preset in mingw32 mingw64; do
  cmake --preset "$preset" >/dev/null
  cmake --build --preset "$preset" -j"$(nproc)" --target launcher >/dev/null
done
cmake --build --preset mingw64 --target standin_viewer minimal_start >/dev/null

build=$PWD/build/mingw64
export LAUNCHER_WINE_ROOT=$build/bench/wine
session=$PWD/scripts/wine-session.sh
mkdir -p "$LAUNCHER_WINE_ROOT/disc"
"$session" start
trap '"$session" stop' EXIT

drive_c=$LAUNCHER_WINE_ROOT/prefix/drive_c
rm -rf "$LAUNCHER_WINE_ROOT/disc"/* "$drive_c/bench"
mkdir -p "$LAUNCHER_WINE_ROOT/disc/B2020/IVT" "$drive_c/bench"
: >"$LAUNCHER_WINE_ROOT/disc/KX31.TXT"
cp "$build/viewer/IVIEWP32.exe" "$LAUNCHER_WINE_ROOT/disc/IVIEWP32.EXE"
cp "$build/platform/win32/launcher.exe" "$build/bench/minimal_start.exe" "$drive_c/bench/"
printf 'CDROM=E:\\\r\n' >"$drive_c/bench/KX31.INI"
export STANDIN_VIEWER_EXIT=1

json=$build/bench/results.json
hyperfine --warmup 5 --runs "$runs" --export-json "$json" \
  -n launcher "$session run 'C:\\bench\\launcher.exe'" \
  -n minimal "$session run 'C:\\bench\\minimal_start.exe'"

python3 - "$json" "$PWD/build/mingw32/platform/win32/launcher.exe" <<'PY'
import json, os, sys
results = {r["command"]: r for r in json.load(open(sys.argv[1]))["results"]}
launcher, minimal = results["launcher"], results["minimal"]
ratio = launcher["mean"] / minimal["mean"]
print(f"launcher.exe later run: {launcher['mean']*1000:.1f} ms ± {launcher['stddev']*1000:.1f} ms")
print(f"viewer start only:      {minimal['mean']*1000:.1f} ms ± {minimal['stddev']*1000:.1f} ms")
print(f"ratio: {ratio:.3f} (target under 1.05)")
size = os.path.getsize(sys.argv[2])
print(f"32-bit launcher.exe: {size} bytes ({size/1024:.0f} KiB; target under 300 KB)")
PY
