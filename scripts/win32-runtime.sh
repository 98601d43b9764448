#!/usr/bin/env bash
# Where 32-bit Windows programs run: a Wine built in its WoW64 mode (32-bit
# code inside a 64-bit Linux process), from Debian unstable.
#
#   win32-runtime.sh run [--timeout SECONDS] -- COMMAND [ARG...]
#       runs COMMAND there, with this source tree at its own path, and
#       passes its output and exit code through (124: out of time)
#   win32-runtime.sh prepare      builds what is missing, and says where
#   win32-runtime.sh where        prints native or guest
#
# Every 32-bit start needs the kernel's 32-bit system-call gate (int 0x80).
#   native  this machine's kernel allows it: COMMAND runs in the unstable
#           root, entered with bwrap
#   guest   it refuses it: COMMAND runs in a Linux guest, booted from that
#           root by qemu under software emulation. LAUNCHER_WIN32_GUEST=1
#           forces this; LAUNCHER_WIN32_NATIVE=1 forces native (there, on a
#           kernel that refuses, only 64-bit programs run).
# Inside, /var/lib/launcher-wine is the Wine machines' own place: on the
# guest it holds ready-made prefixes (wine/ for root, wine-user/ for the
# ordinary user 64123), and every run starts from the same disk image;
# natively it is an empty folder of its own for each run.
#
# What it builds is cached outside the clone, in
# ${XDG_CACHE_HOME:-~/.cache}/disc-launcher/win32-runtime, with a stamp for
# each step; unstable changes daily, so a step that cannot be built fails
# with a message saying which. Nothing is mounted on this machine and no
# process outlives a run.
#
# An ordinary user needs no root for any of it (only sudo for Debian's
# packages, which scripts/install-deps.sh asks for): the root is built by
# mmdebstrap over the user's subordinate ids, and everything after that runs
# as root of a user namespace of the user's own (scripts/as-root.sh), so
# what is made belongs to the user.
set -euo pipefail
# A login shell of su may leave these out, and mkfs.ext4 lives there.
PATH=$PATH:/usr/sbin:/sbin

source_dir=$(cd "$(dirname "$0")/.." && pwd)
cache=${XDG_CACHE_HOME:-$HOME/.cache}/disc-launcher/win32-runtime
root=$cache/root
stamp_version=1
wine_home=/var/lib/launcher-wine
user=64123
# From unstable: Wine, a display for it, a timer for the benchmark, tools that
# show where a hung process spins, and what
# the guest needs to boot.
guest_packages=(wine wine64 xvfb xauth xdotool procps imagemagick hyperfine strace elfutils
                qemu-system-x86 initramfs-tools kmod zstd)

say() { echo "win32-runtime: $*" >&2; }
die() { say "$*"; exit 1; }
# A step is done when its stamp holds what it was made from.
stamped() { [ "$(cat "$cache/$1.stamp" 2>/dev/null)" = "$2" ]; }
stamp() { echo "$2" >"$cache/$1.stamp"; }

# The Debian mirror this machine's apt uses.
mirror() {
  local uri
  uri=$(sed -n 's/^URIs:[[:space:]]*//p; s/^deb[[:space:]]\+\(\[[^]]*\][[:space:]]\+\)\?\([^[:space:]]*\).*/\2/p' \
          /etc/apt/sources.list /etc/apt/sources.list.d/*.sources \
          /etc/apt/sources.list.d/*.list 2>/dev/null |
        tr ' ' '\n' | grep -E '/debian/?$' | head -n1)
  [ -n "$uri" ] || die "no Debian mirror in this machine's apt configuration"
  echo "$uri"
}

# Does this kernel let a 64-bit process make a 32-bit system call?
native_allowed() {
  [ -z "${LAUNCHER_WIN32_GUEST:-}" ] || return 1
  [ -z "${LAUNCHER_WIN32_NATIVE:-}" ] || return 0
  mkdir -p "$cache"
  if [ ! -x "$cache/int80-probe" ]; then
    printf '%s\n' 'int main(void){long r;__asm__ volatile("int $0x80":"=a"(r):"a"(20L));return r>0?0:1;}' |
      gcc -x c -o "$cache/int80-probe" - || die "cannot build the system-call probe (gcc)"
  fi
  # In a subshell of its own, so that the shell's crash notice goes too.
  ("$cache/int80-probe"; exit $?) 2>/dev/null
}

in_root() {  # in_root COMMAND...: as root in the unstable root, with the network
  bwrap --bind "$root" / --dev /dev --proc /proc --tmpfs /tmp --cap-add ALL \
    --ro-bind /etc/resolv.conf /etc/resolv.conf --die-with-parent \
    env -i PATH=/usr/sbin:/usr/bin:/sbin:/bin HOME=/root LC_ALL=C.UTF-8 \
    DEBIAN_FRONTEND=noninteractive "$@"
}

build_root() {
  local key="$stamp_version mmdebstrap ${guest_packages[*]}"
  stamped root "$key" && return
  say "building the Debian unstable root with WoW64 Wine (a few minutes, once)"
  local url mode=unshare; url=$(mirror)
  [ "$(id -u)" = 0 ] && mode=root
  rm -rf "$root" && mkdir -p "$root"
  # An ordinary user's mmdebstrap installs in a user namespace over the
  # user's subordinate ids; either way the root arrives as a tar stream and
  # every file of it belongs to whoever runs this. Device files are left
  # out: every start makes its own /dev.
  local include; include=$(IFS=,; echo "${guest_packages[*]}")
  mmdebstrap --mode=$mode --variant=minbase --format=tar --include="$include" \
      --aptopt='Acquire::Check-Valid-Until "false"' --aptopt='APT::Install-Recommends "false"' \
      sid - "$url" 2>"$cache/root.log" |
    tar -x -p --no-same-owner --exclude='./dev/*' -C "$root" 2>>"$cache/root.log" ||
    die "building the unstable root with Wine failed (unstable changes daily); see $cache/root.log"
  mkdir -p "$root/proc" "$root/dev" "$root/tmp" "$root/run"
  in_root sh -c 'ls /usr/lib/*/wine/wineserver' >/dev/null 2>&1 ||
    die "the unstable root has no wineserver"
  rm -f "$cache"/{kernel,image}.stamp
  stamp root "$key"
}

# Every command starts through this: wineserver sits outside PATH in
# unstable, and its Wine aborts whenever TMPDIR is set.
write_entry() {
  cat >"$root/usr/local/bin/launcher-runtime" <<'EOF'
#!/bin/sh
PATH=/usr/local/bin:/usr/sbin:/usr/bin:/sbin:/bin
for server in /usr/lib/*/wine/wineserver; do PATH=$PATH:${server%/*}; done
export PATH HOME=${HOME:-/root} LC_ALL=C.UTF-8
unset TMPDIR
exec "$@"
EOF
  chmod 755 "$root/usr/local/bin/launcher-runtime"
}

# The package of Debian's stock kernel of this machine's own release.
kernel_package() {
  apt-cache depends linux-image-amd64 | sed -n 's/^ *Depends: \(linux-image-[^ ]*\)/\1/p' | head -n1
}

build_kernel() {
  stamped kernel "$stamp_version" && return
  say "fetching this release's stock kernel for the guest"
  local package work=$cache/kernel
  package=$(kernel_package)
  [ -n "$package" ] || { apt-get update -qq && package=$(kernel_package); }
  [ -n "$package" ] || die "no stock kernel package found (apt-cache depends linux-image-amd64)"
  rm -rf "$work" && mkdir -p "$work/unpacked"
  (cd "$work" && apt-get download "$package" >/dev/null 2>&1) || die "cannot download $package"
  dpkg-deb -x "$work"/*.deb "$work/unpacked"
  local version; version=$(ls "$work/unpacked/lib/modules")
  cp "$work/unpacked/boot/vmlinuz-$version" "$work/vmlinuz"
  rm -rf "$root/lib/modules" && mkdir -p "$root/lib/modules"
  cp -a "$work/unpacked/lib/modules/$version" "$root/lib/modules/"
  printf '%s\n' virtio_pci virtio_blk ext4 9pnet_virtio 9p >"$root/etc/initramfs-tools/modules"
  sed -i 's/^MODULES=.*/MODULES=list/' "$root/etc/initramfs-tools/initramfs.conf"
  in_root depmod "$version"
  in_root mkinitramfs -o /boot/guest-initrd.img "$version" >"$cache/kernel.log" 2>&1 ||
    die "mkinitramfs failed; see $cache/kernel.log"
  mv "$root/boot/guest-initrd.img" "$work/initrd.img"
  rm -rf "$work/unpacked" "$work"/*.deb
  rm -f "$cache/image.stamp"
  stamp kernel "$stamp_version"
}

# The guest's init: mounts what a Linux system needs and the shares, runs
# the job the host left in /job, writes its exit code there, powers off.
write_guest_init() {
  cat >"$root/sbin/launcher-guest-init" <<'EOF'
#!/bin/sh
# The guest's first process: the job the host left in its share says the rest.
mount -t proc proc /proc
mount -t sysfs sys /sys
mkdir -p /job
mount -t 9p -o trans=virtio,version=9p2000.L,msize=524288 job /job
exec /bin/sh /job/init
EOF
  chmod 755 "$root/sbin/launcher-guest-init"
}

# The rest of the guest's start, for each run: the source tree at its own
# path (cached, so that Wine can map programs from it), the job's
# command with its output on the second serial port, its exit code, and off.
write_job_init() {  # write_job_init JOB_DIR SECONDS
  # Shortly before the host's time limit, the guest shows what still runs.
  local dump_after=$(( $2 > 60 ? $2 - 20 : $2 ))
  cat >"$1/init" <<EOF
#!/bin/sh
mount -t devtmpfs dev /dev 2>/dev/null
mkdir -p /dev/pts /dev/shm
mount -t devpts devpts /dev/pts
mount -t tmpfs shm /dev/shm
mount -t tmpfs run /run
mkdir -p $(printf %q "$source_dir")
mount -t 9p -o trans=virtio,version=9p2000.L,msize=524288,cache=loose source $(printf %q "$source_dir")
cd $(printf %q "$source_dir")
(sleep $dump_after; echo "win32-runtime: still running after $dump_after s:"
 ps -eo pid,stat,pcpu,etime,wchan:20,args | grep -v ' \[') >/dev/ttyS1 2>&1 &
/usr/local/bin/launcher-runtime /bin/bash -o pipefail -c '/bin/bash /job/command 2>&1 </dev/null | cat' >/dev/ttyS1 2>&1
echo \$? >/job/rc
sync
echo u >/proc/sysrq-trigger
echo o >/proc/sysrq-trigger
sleep 60
EOF
}

# Runs COMMAND in the background and waits for it. A signal to this script
# ends it first, and so does this script's death, however it comes (bwrap
# --die-with-parent then takes everything inside along).
supervised() {
  setpriv --pdeathsig KILL "$@" &
  supervised_pid=$!
  trap 'kill -TERM $supervised_pid 2>/dev/null; wait $supervised_pid; exit 143' TERM INT HUP
  local rc=0; wait $supervised_pid || rc=$?
  trap - TERM INT HUP
  return $rc
}

boot_guest() {  # boot_guest JOB_DIR snapshot=on|off SECONDS: runs the job's command
  local job=$1 drive=$2 seconds=$3
  # qemu sees the cache and the source tree at fixed places in the root.
  local inside=/mnt/cache/${job#"$cache"/} kernel=/mnt/cache/kernel
  mkdir -p "$root/mnt/cache" "$root/mnt/source"
  tail -n +1 -s 0.2 -f --pid=$$ "$job/output" 2>/dev/null &
  local tail=$!
  local rc=0
  supervised timeout --kill-after=10 "$seconds" \
    bwrap --ro-bind "$root" / --dev /dev --proc /proc --tmpfs /tmp \
      --bind "$cache" /mnt/cache --bind "$source_dir" /mnt/source \
      --tmpfs /var/tmp --die-with-parent --unshare-pid --cap-add ALL \
      qemu-system-x86_64 -accel tcg,thread=multi -smp 2 -m 4096 \
        -cpu qemu64,+ssse3,+sse4.1,+sse4.2,+popcnt -nic none -no-reboot \
        -display none -monitor none \
        -kernel $kernel/vmlinuz -initrd $kernel/initrd.img \
        -append "console=ttyS0 root=/dev/vda rw quiet panic=-1 oops=panic init=/sbin/launcher-guest-init" \
        -drive "file=/mnt/cache/root.img,format=raw,if=virtio,$drive" \
        -virtfs "local,path=$inside,mount_tag=job,security_model=none" \
        -virtfs "local,path=/mnt/source,mount_tag=source,security_model=none" \
        -serial "file:$inside/console.log" -serial "file:$inside/output" || rc=$?
  sleep 0.3; kill $tail 2>/dev/null; wait $tail 2>/dev/null || true
  if [ -s "$job/rc" ]; then return "$(cat "$job/rc")"; fi
  [ $rc = 124 ] || [ $rc = 137 ] && { say "out of time after $seconds s"; return 124; }
  say "the guest stopped without an exit code; its console:"; tail -n 30 "$job/console.log" >&2
  return 125
}

new_job() {  # new_job SECONDS COMMAND...: a job folder whose command runs COMMAND
  local job; job=$(mktemp -d "$cache/job.XXXXXX")
  : >"$job/output"
  write_job_init "$job" "$1"; shift
  { printf '%q ' "$@"; echo; } >"$job/command"
  echo "$job"
}

# Ready-made Wine machines, made once: wineboot under emulation takes a
# minute or more each.
build_image() {
  # Made again when the guest's start, this bake or the way the session
  # makes a Wine machine changes.
  local key; key=$(printf '%s\n' "$stamp_version" "$(declare -f write_guest_init build_image)" \
    "$(sed -n '/^make_prefix()/,/^}/p' "$source_dir/scripts/wine-session.sh")" | sha256sum)
  stamped image "$key" && return
  say "making the guest's disk image and its Wine machines (several minutes, once)"
  write_entry
  write_guest_init
  mkdir -p "$root$wine_home"
  rm -f "$cache/root.img"
  mkfs.ext4 -q -F -E lazy_itable_init=0,lazy_journal_init=0 -d "$root" "$cache/root.img" 16G \
    >/dev/null ||
    die "mkfs.ext4 of the guest image failed"
  local job; job=$(new_job 1800 sh -c "
    set -e
    LAUNCHER_WINE_ROOT=$wine_home/wine scripts/wine-session.sh start
    LAUNCHER_WINE_ROOT=$wine_home/wine scripts/wine-session.sh stop
    mkdir -p $wine_home/wine-user/home && chown -R $user:$user $wine_home/wine-user
    setpriv --reuid=$user --regid=$user --clear-groups env HOME=$wine_home/wine-user/home \
      LAUNCHER_WINE_ROOT=$wine_home/wine-user scripts/wine-session.sh start
    setpriv --reuid=$user --regid=$user --clear-groups env HOME=$wine_home/wine-user/home \
      LAUNCHER_WINE_ROOT=$wine_home/wine-user scripts/wine-session.sh stop
    echo baked")
  local rc=0; boot_guest "$job" snapshot=off 1800 >"$cache/image.log" 2>&1 || rc=$?
  cat "$job/console.log" >>"$cache/image.log" 2>/dev/null || true
  rm -rf "$job"
  [ $rc = 0 ] || die "baking the Wine machines into the guest image failed; see $cache/image.log"
  stamp image "$key"
}

lock_cache() {
  command -v bwrap >/dev/null && command -v mmdebstrap >/dev/null ||
    die "needs bwrap and mmdebstrap (scripts/install-deps.sh installs them)"
  mkdir -p "$cache"
  exec 9>"$cache/lock"; flock 9
}

prepare() {
  lock_cache
  build_root
  write_entry
  if native_allowed; then return; fi
  build_kernel
  build_image
}

# A folder of this machine made in the root, for bwrap to bind it there.
# The folders on the way are the root's own: open, so that the ordinary
# user of the permission rows passes them, as in the guest.
mount_point() {
  mkdir -p "$root$1"
  local part=$1
  while [ "$part" != / ]; do chmod 755 "$root$part"; part=$(dirname "$part"); done
}

run_native() {  # run_native SECONDS COMMAND...
  local seconds=$1; shift
  local scratch; scratch=$(mktemp -d "$cache/native.XXXXXX")
  leftover=$scratch; trap 'rm -rf "$leftover"' EXIT
  mount_point "$source_dir"
  mkdir -p "$root$wine_home"
  chmod 755 "$scratch"
  local rc=0 display=()
  # An interactive demo shows its windows on the caller's display.
  if [ -n "${LAUNCHER_WIN32_DISPLAY:-}" ]; then
    display=(--ro-bind-try /tmp/.X11-unix /tmp/.X11-unix
             --setenv DISPLAY "$LAUNCHER_WIN32_DISPLAY")
  fi
  supervised timeout --kill-after=10 "$seconds" \
    bwrap --bind "$root" / --dev /dev --proc /proc --perms 1777 --tmpfs /tmp --tmpfs /run \
      "${display[@]}" --bind "$scratch" "$wine_home" \
      --bind "$source_dir" "$source_dir" \
      --die-with-parent --unshare-pid --cap-add ALL --chdir "$source_dir" \
      env -i HOME=/root ${LAUNCHER_WIN32_DISPLAY:+DISPLAY=$LAUNCHER_WIN32_DISPLAY} \
      /usr/local/bin/launcher-runtime "$@" || rc=$?
  rm -rf "$scratch"
  [ $rc = 124 ] && say "out of time after $seconds s"
  return $rc
}

run_guest() {  # run_guest SECONDS COMMAND...
  local seconds=$1; shift
  local job; job=$(new_job "$seconds" "$@")
  leftover=$job; trap 'rm -rf "$leftover"' EXIT
  local rc=0; boot_guest "$job" snapshot=on "$seconds" || rc=$?
  rm -rf "$job"
  return $rc
}

# An ordinary user builds the root as itself, then goes on as root of a user
# namespace of its own.
if [ "$(id -u)" != 0 ] && { [ "${1:-}" = run ] || [ "${1:-}" = prepare ]; }; then
  lock_cache
  build_root
  exec 9>&-
  exec "$source_dir/scripts/as-root.sh" "$0" "$@"
fi

case ${1:-} in
  run)
    shift; seconds=1200
    if [ "${1:-}" = --timeout ]; then seconds=$2; shift 2; fi
    [ "${1:-}" = -- ] && shift
    [ $# -gt 0 ] || die "usage: $0 run [--timeout SECONDS] -- COMMAND [ARG...]"
    prepare
    if native_allowed; then run_native "$seconds" "$@"; else run_guest "$seconds" "$@"; fi
    ;;
  prepare)
    prepare
    native_allowed && echo native || echo guest
    ;;
  where)
    native_allowed && echo native || echo guest
    ;;
  *)
    echo "usage: $0 run [--timeout SECONDS] -- COMMAND [ARG...] | prepare | where" >&2
    exit 2
    ;;
esac
