#!/usr/bin/env bash
# Configuring the shipped build on a machine that lacks one of its tools
# stops with a message that names the tool and the command that installs
# everything; the tool is hidden from CMake by a private mount of nothing
# over it (bubblewrap), so the machine itself is left as it is.
#   check-missing-tool.sh SOURCE_DIR WORK_DIR
set -euo pipefail
source_dir=$1 work=$2
fail() { echo "FAIL: $*" >&2; exit 1; }
for tool in wixl i686-w64-mingw32-g++-win32; do
  path=$(command -v "$tool") || fail "$tool is not installed here"
  rm -rf "$work"
  if out=$(bwrap --dev-bind / / --ro-bind /dev/null "$path" \
             cmake -S "$source_dir" -B "$work" --preset mingw32 2>&1); then
    fail "configured without $tool"
  fi
  flat=$(tr -s ' \n' ' ' <<<"$out")
  for want in "$tool" "not found" "./scripts/install-deps.sh installs everything"; do
    grep -qF -- "$want" <<<"$flat" || fail "without $tool, no \"$want\" in: $out"
  done
  echo "without $tool: stopped, naming it and ./scripts/install-deps.sh"
done
rm -rf "$work"
