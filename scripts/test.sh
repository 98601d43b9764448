#!/usr/bin/env bash
# Builds the launcher for every preset and runs every test:
#   host       the core on the in-memory platform
#   host-asan  the same under AddressSanitizer and UndefinedBehaviorSanitizer
#   fuzz       the libFuzzer targets, for a bounded time each
#   mingw32    the shipped 32-bit launcher.exe, inspected
#   mingw64    the Win32 backend, launcher.exe, the robustness table and the
#              demo, under headless 64-bit Wine
set -euo pipefail
cd "$(dirname "$0")/.."
./scripts/install-deps.sh

presets=(host host-asan fuzz mingw32 mingw64)
for preset in "${presets[@]}"; do
  cmake --preset "$preset" >/dev/null
  cmake --build --preset "$preset" -j"$(nproc)"
done

failed=()
for preset in "${presets[@]}"; do
  echo "== ctest --preset $preset"
  ctest --preset "$preset" || failed+=("$preset")
done
if ((${#failed[@]})); then
  echo "FAILED: ${failed[*]}"
  exit 1
fi
echo "All presets passed: ${presets[*]}"
