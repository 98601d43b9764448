#!/usr/bin/env bash
# Runs the permission tests as an ordinary user: root ignores read-only
# folders, so only an ordinary user sees a launcher folder or a Windows
# directory that cannot be written. Needs root to create the user and to
# lock the folders. Usage: run-unprivileged.sh PERMISSION_TESTS_EXE
set -euo pipefail
tests_exe=$1
source=$(cd "$(dirname "$0")/../.." && pwd)
user=launchertest
root=${LAUNCHER_WINE_ROOT:?}

id -u "$user" >/dev/null 2>&1 ||
  useradd --system --no-create-home --shell /usr/sbin/nologin "$user"
mkdir -p "$root/home" "$root/locked"
chown "$user:" "$root" "$root/home"
[ -d "$root/prefix" ] && chown -R "$user:" "$root/prefix"
# Everything the user must reach on the way to the build tree.
dir=$root; while [ "$dir" != / ]; do chmod o+x "$dir" 2>/dev/null || true; dir=$(dirname "$dir"); done

as_user() {
  setpriv --reuid="$user" --regid="$user" --clear-groups \
    env HOME="$root/home" LAUNCHER_WINE_ROOT="$root" "$@"
}

session="$source/scripts/wine-session.sh"
windows="$root/prefix/drive_c/windows"
unlock() {
  [ -d "$windows" ] && chown "$user:" "$windows"
  as_user "$session" stop || true
}
trap unlock EXIT

as_user "$session" start
# Drive L: is a folder the user may read but not write, holding the launcher.
cp "$LAUNCHER" "$root/locked/launcher.exe"
chown -R root: "$root/locked"; chmod 755 "$root/locked"
ln -sfn "$root/locked" "$root/prefix/dosdevices/l:"

as_user "$session" run "$tests_exe" --gtest_filter='LockedLauncherFolder.*'
chown root: "$windows"; chmod 755 "$windows"
as_user "$session" run "$tests_exe" --gtest_filter='LockedWindowsDirectory.*'
