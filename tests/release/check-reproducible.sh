#!/usr/bin/env bash
# Builds the shipped launcher and its installer from two copies of the
# sources in two folders of different depth and name, and checks that both
# give the very bytes of the launcher the tests ran on, and of its installer.
#   check-reproducible.sh SOURCE_DIR TESTED_LAUNCHER TESTED_MSI WORK_DIR
#                         SOURCE_DATE_EPOCH
set -euo pipefail
source_dir=$1 tested=$2 tested_msi=$3 work=$4 epoch=$5
fail() { echo "FAIL: $*" >&2; exit 1; }

rm -rf "$work"
builds=("$work/one" "$work/a/second/copy of the sources")
for copy in "${builds[@]}"; do
  mkdir -p "$copy"
  tar -C "$source_dir" --exclude=./build --exclude=./.git -cf - . | tar -C "$copy" -xf -
  (cd "$copy" &&
   cmake --preset mingw32 -DLAUNCHER_SOURCE_DATE_EPOCH="$epoch" >/dev/null &&
   cmake --build --preset mingw32 --target launcher launcher_msi -j"$(nproc)" >/dev/null) ||
    fail "the launcher did not build in $copy"
done
sha256sum "$tested" "${builds[@]/%//build/mingw32/app/launcher.exe}"
for copy in "${builds[@]}"; do
  cmp "$tested" "$copy/build/mingw32/app/launcher.exe" ||
    fail "the launcher built in $copy differs from the one tested"
  cmp "$tested_msi" "$copy/build/mingw32/app/installer/launcher.msi" ||
    fail "the installer built in $copy differs from the one tested"
done
rm -rf "$work"
echo "byte-identical: the tested launcher.exe and launcher.msi and both rebuilds"
