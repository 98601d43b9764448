#!/usr/bin/env bash
# Runs COMMAND as root. Root runs it as it is. An ordinary user runs it as
# root of a user namespace of its own: the user is root there, and the
# user's subordinate ids (/etc/subuid, /etc/subgid) are ids 1 and up, so a
# second user (64123, say) exists there too. Files that root makes there
# belong to the user outside; nothing on the machine changes.
#
#   as-root.sh [--private-tmp] COMMAND [ARG...]
#
# --private-tmp gives an ordinary user's COMMAND a /tmp of its own, so that
# its programs' sockets there do not meet those of the machine's root.
set -euo pipefail
private_tmp=no
[ "${1:-}" = --private-tmp ] && { private_tmp=yes; shift; }
[ $# -gt 0 ] || { echo "usage: $0 [--private-tmp] COMMAND [ARG...]" >&2; exit 2; }
[ "$(id -u)" = 0 ] && exec "$@"

# 64123 must be among the ids: at least this many subordinate ids.
needed=65536
fail() { echo "as-root: $*" >&2; exit 1; }

# The first range of at least $needed ids for this user (by name or number).
subordinate() {  # subordinate FILE: prints START,COUNT
  awk -F: -v name="$(id -un)" -v uid="$(id -u)" -v needed=$needed \
    '($1 == name || $1 == uid) && $3 >= needed { print $2 "," $3; exit }' "$1" 2>/dev/null
}

unshare --user true 2>/dev/null ||
  fail "user namespaces are disabled on this machine; an administrator enables them with
  sudo sysctl -w user.max_user_namespaces=10000 (and kernel.unprivileged_userns_clone=1 where it exists)"
command -v newuidmap >/dev/null && command -v newgidmap >/dev/null ||
  fail "needs newuidmap and newgidmap: sudo apt-get install uidmap"
uids=$(subordinate /etc/subuid); gids=$(subordinate /etc/subgid)
[ -n "$uids" ] && [ -n "$gids" ] ||
  fail "$(id -un) has no range of $needed subordinate user and group ids in /etc/subuid and /etc/subgid;
  an administrator adds one with
  sudo usermod --add-subuids 200000-265535 --add-subgids 200000-265535 $(id -un)
  (any free range of $needed ids will do)"

enter=(unshare --map-root-user --map-users="${uids%,*},1,${uids#*,}"
       --map-groups="${gids%,*},1,${gids#*,}")
if [ $private_tmp = yes ]; then
  exec "${enter[@]}" --mount --propagation private \
    sh -c 'mount -t tmpfs -o mode=1777 tmpfs /tmp && exec "$@"' sh "$@"
fi
exec "${enter[@]}" "$@"
