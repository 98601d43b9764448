#!/usr/bin/env bash
# Builds the launcher for the host and for Windows and runs every test.
set -euo pipefail
cd "$(dirname "$0")/.."
./scripts/install-deps.sh

for preset in host mingw32 mingw64; do
  [ -f CMakePresets.json ] || exit 1
  cmake --preset "$preset" >/dev/null
  cmake --build --preset "$preset" -j"$(nproc)"
done

status=0
for preset in host mingw32 mingw64; do
  ctest --preset "$preset" || status=1
done
exit $status
