#!/usr/bin/env bash
# Builds the launcher for every preset and runs every test:
#   host       the core on the in-memory platform
#   host-asan  the same under AddressSanitizer and UndefinedBehaviorSanitizer
#   fuzz       the libFuzzer targets, for a bounded time each
#   mingw32    the shipped 32-bit launcher.exe, inspected, and the Win32
#              backend, the end-to-end and robustness tests, the permission
#              rows and the demo on it, under a WoW64 Wine
#              (scripts/win32-runtime.sh; its first run builds it)
#   mingw64    the same tests on the x86_64 build under this machine's
#              64-bit Wine: the quick tier
set -euo pipefail
cd "$(dirname "$0")/.."
./scripts/install-deps.sh

presets=(host host-asan fuzz mingw32 mingw64)
for preset in "${presets[@]}"; do
  cmake --preset "$preset" >/dev/null
  cmake --build --preset "$preset" -j"$(nproc)"
done

# Built before the tests, not inside one test's time limit.
./scripts/win32-runtime.sh prepare >/dev/null

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
