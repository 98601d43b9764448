#!/usr/bin/env bash
# Runs Windows tests as an ordinary user, as users run the launcher:
#   run-unprivileged.sh permissions PERMISSION_TESTS_EXE
#       root ignores read-only folders, so only an ordinary user sees a
#       launcher folder or a Windows directory that cannot be written
#   run-unprivileged.sh installer INSTALLER_TESTS_EXE DISC_FOLDER [ARG...]
#       the user installs from the disc, whose content (DISC_FOLDER) is
#       drive E:, read-only as a CD-ROM is; ARGs go to the tests
# Needs root to become that user and to lock the folders: an ordinary
# user's run goes on as root of a user namespace of its own
# (scripts/as-root.sh), where the second user is one of its subordinate ids.
set -euo pipefail
suite=$1 tests_exe=$2
source=$(cd "$(dirname "$0")/../.." && pwd)
[ "$(id -u)" = 0 ] || exec "$source/scripts/as-root.sh" --private-tmp "$0" "$@"
# The ordinary user exists only as a number: nothing is added to the
# machine's user database.
user=64123
root=${LAUNCHER_WINE_ROOT:?}

mkdir -p "$root/home" "$root/locked"
chown "$user:$user" "$root" "$root/home"
# What an earlier run left (the prefix, the disc, the session's logs and
# marks) is the user's again: the end of every run gives it back to the
# caller. The locked folder is locked again below.
find "$root" -mindepth 1 -maxdepth 1 -exec chown -R "$user:$user" {} +
# The user must reach the build tree. Folders inside it are opened up;
# outside it nothing is changed, only checked.
dir=$root
while [ "$dir" != / ]; do
  case $dir in
    "$source"/build/*) chmod o+x "$dir" ;;
    *) [ "$(( 0$(stat -c %a "$dir") & 1 ))" = 1 ] ||
         { echo "an ordinary user cannot pass $dir" >&2; exit 1; } ;;
  esac
  dir=$(dirname "$dir")
done

as_user() {
  setpriv --reuid="$user" --regid="$user" --clear-groups \
    env HOME="$root/home" LAUNCHER_WINE_ROOT="$root" "$@"
}

session="$source/scripts/wine-session.sh"
windows="$root/prefix/drive_c/windows"
unlock() {
  [ -d "$windows" ] && chown "$user:$user" "$windows"
  as_user "$session" stop || true
  # What is left in the build tree belongs to the caller again.
  case $root in "$source"/build/*) chown -R 0:0 "$root" ;; esac
}
trap unlock EXIT

as_user "$session" start
if [ "$suite" = installer ]; then
  rm -rf "$root/disc" && cp -r "$3" "$root/disc"
  chown -R root: "$root/disc" && chmod -R a-w "$root/disc"
  as_user "$session" run "$tests_exe" "${@:4}"
  exit
fi
# Drive L: is a folder the user may read but not write, holding the launcher.
cp "$LAUNCHER" "$root/locked/launcher.exe"
chown -R root: "$root/locked"; chmod 755 "$root/locked"
ln -sfn "$root/locked" "$root/prefix/dosdevices/l:"

as_user "$session" run "$tests_exe" --gtest_filter='LockedLauncherFolder.*'
chown root: "$windows"; chmod 755 "$windows"
as_user "$session" run "$tests_exe" --gtest_filter='LockedWindowsDirectory.*'
