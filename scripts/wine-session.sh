#!/usr/bin/env bash
# A private, headless 64-bit Wine machine for the launcher's Windows tests.
# Its locale holds any file name and keeps the ANSI code page 1252.
#
#   wine-session.sh start              make the prefix (once), start Xvfb
#                                      and a persistent Wine server
#   wine-session.sh run PROGRAM ARG... run a Windows program on it
#   wine-session.sh stop               shut the Wine server and Xvfb down
#   wine-session.sh session PROGRAM ARG...
#                                      start, run the program, stop
#
# With LAUNCHER_WINE_DISPLAY set (":0", say) it uses that display instead
# of a private Xvfb. With LAUNCHER_WINE_HANG_AFTER set to a number of
# seconds, a program that runs longer is taken for hung: what runs, the
# threads of every Windows process and their stacks are printed, and the
# program is ended (exit code 124; 75 when Wine's own server was stuck).
#
# With LAUNCHER_WINE_WINDOWS set to NAME=VERSION ("winxp=5.1", say), the
# machine reports the Windows that Wine calls NAME for this session, and
# the session does not start unless Windows programs are told VERSION.
#
# LAUNCHER_WINE_ROOT names a folder of its own that holds it all (in the
# build tree, or in the 32-bit runtime's /var/lib/launcher-wine):
#   prefix/   the WINEPREFIX (C: is prefix/drive_c, the Windows directory
#             C:\windows)
#   disc/     drive E:, a CD-ROM drive
#   Q:        a drive whose folder does not exist, so it is never ready
set -euo pipefail

root=${LAUNCHER_WINE_ROOT:?set LAUNCHER_WINE_ROOT to a folder of its own}
export WINEPREFIX=$root/prefix WINEARCH=win64 WINEDEBUG=-all LC_ALL=C.UTF-8
# No Mono, no Gecko, no menu entries written into the home folder, and no
# debugger waiting on a crashed program: it ends, and its test fails.
export WINEDLLOVERRIDES="mscoree,mshtml=;winemenubuilder.exe=d;winedbg.exe=d"

# The processes of this Wine machine: its server and programs (Wine's own
# executables, not the scripts that name them), found by their WINEPREFIX.
machine_processes() {
  local pid
  for pid in $(pgrep -f 'wineserver|[.]exe'); do
    case $(readlink "/proc/$pid/exe" 2>/dev/null) in */wine/*|*/wine|*/wine64|*-preloader) ;; *) continue ;; esac
    tr '\0' '\n' 2>/dev/null <"/proc/$pid/environ" | grep -qxF "WINEPREFIX=$WINEPREFIX" &&
      echo "$pid"
  done
  return 0
}

kill_machine() {
  local pid
  for pid in $(machine_processes); do kill -KILL "$pid" 2>/dev/null; done
  return 0
}

stop_session() {
  # A server that no longer answers ends nothing when asked.
  timeout 20 wineserver -k 2>/dev/null || kill_machine
  [ -f "$root/xvfb.pid" ] && kill "$(cat "$root/xvfb.pid")" 2>/dev/null || true
  rm -f "$root/display" "$root/xvfb.pid"
}

start_display() {
  if [ -n "${LAUNCHER_WINE_DISPLAY:-}" ]; then
    echo "${LAUNCHER_WINE_DISPLAY#:}" >"$root/display"
    return
  fi
  # -noreset: by default the server resets whenever its last client leaves,
  # and a client that connects during the reset is refused. A test's
  # xdotool polls, each its own short connection, would make such resets
  # all the time until Wine's first program holds the display; Wine's
  # explorer refused so loads no display driver, and every window of the
  # session fails (seen: the launcher ended with 120 before its dialog).
  Xvfb -displayfd 3 -nolisten tcp -noreset -screen 0 1024x768x24 3>"$root/display" \
    >/dev/null 2>&1 &
  echo $! >"$root/xvfb.pid"
  for _ in $(seq 100); do [ -s "$root/display" ] && return; sleep 0.1; done
  echo "Xvfb did not start" >&2; exit 1
}

# A step of making or starting the machine, its output kept in a log of
# its own (not a pipe: the services it starts hold on to it). One that
# fails says which it was, its exit code and what it printed.
step() {  # step NAME COMMAND ARG...
  local name=$1; shift
  "$@" </dev/null >"$root/$name.log" 2>&1 && return 0
  local rc=$?
  echo "wine-session: $name failed (exit $rc): $*; it printed:" >&2
  sed 's/^/  /' "$root/$name.log" >&2
  exit $rc
}

make_prefix() {
  [ -f "$WINEPREFIX/.ready-v2" ] && return
  rm -rf "$WINEPREFIX"
  step make-prefix wineboot -i
  # A drive's type is read when a Wine session starts.
  step drive-type wine reg add 'HKLM\Software\Wine\Drives' /v e: /d cdrom /f
  # Without a window manager Wine places and maximizes windows itself.
  step unmanaged wine reg add 'HKCU\Software\Wine\X11 Driver' /v Managed /d N /f
  step prefix-saved wineserver -w
  touch "$WINEPREFIX/.ready-v2"
}

map_drives() {
  mkdir -p "$root/disc"
  ln -sfn "$root/disc" "$WINEPREFIX/dosdevices/e:"
  ln -sfn "$root/no-such-folder" "$WINEPREFIX/dosdevices/q:"
}

# The Windows the machine reports: Wine's own choice, unless the session
# asks for another. A prefix kept in the build tree is set back afterwards.
windows_version() {
  local want=${LAUNCHER_WINE_WINDOWS:-}
  if [ -z "$want" ]; then
    [ -f "$root/windows-version" ] || return 0
    step windows-version wine reg delete 'HKCU\Software\Wine' /v Version /f
    rm -f "$root/windows-version"
    return
  fi
  touch "$root/windows-version"
  step windows-version wine reg add 'HKCU\Software\Wine' /v Version /d "${want%%=*}" /f
  local reported
  reported=$(wine cmd /c ver </dev/null 2>&1 | tr -d '\r' | grep -o 'Windows [0-9.]*' || true)
  case "$reported." in
    "Windows ${want#*=}."*) echo "wine-session: this machine reports $reported" ;;
    *) echo "wine-session: asked for ${want%%=*} (${want#*=}), but programs are told \"$reported\"" >&2
       exit 1 ;;
  esac
}

use_display() { DISPLAY=:$(head -n1 "$root/display"); export DISPLAY; }

# What a hung program and everything beside it are doing.
report_hang() {  # report_hang SECONDS PROGRAM
  echo "wine-session: $2 still runs after $1 s: taken for hung. What runs:"
  ps --ppid 2 -p 2 --deselect -o pid,ppid,stat,pcpu,time,etime,wchan:24,args
  local windows; windows=$(machine_processes | paste -sd, -)
  if [ -n "$windows" ]; then
    echo "wine-session: the threads of the Windows processes (TIME is CPU time):"
    ps -L -o pid,tid,stat,pcpu,time,wchan:24,comm -p "$windows"
  fi
  report_busy
  echo "wine-session: the Windows stacks (winedbg, bt all):"
  WINEDLLOVERRIDES="mscoree,mshtml=" timeout 60 wine winedbg --command "bt all" </dev/null 2>&1 ||
    echo "wine-session: winedbg gave no stacks (exit $?)"
}

# A process of this machine that burns the CPU while the others wait:
# where it spins.
report_busy() {
  local pid
  for pid in $(machine_processes); do
    grep -q '^State:[[:space:]]*R' "/proc/$pid/status" 2>/dev/null || continue
    echo "wine-session: process $pid ($(cat "/proc/$pid/comm" 2>/dev/null)) is busy:"
    echo "  system call now: $(cat "/proc/$pid/syscall" 2>/dev/null)"
    echo "  its open files:"; ls -l "/proc/$pid/fd" 2>/dev/null | sed 's/^/    /'
    if command -v strace >/dev/null; then
      echo "  its system calls for 3 s (the first 60):"
      timeout 3 strace -f -tt -p "$pid" 2>&1 | head -n 60 | sed 's/^/    /'
    fi
    if command -v eu-stack >/dev/null; then
      echo "  its stacks:"; timeout 20 eu-stack -p "$pid" 2>&1 | head -n 80 | sed 's/^/    /'
    fi
  done
}

# Wine's own server stuck in a loop: busy, and not one system call in 3 s.
# Seen under emulation only, while the Windows programs wait for its answer;
# it walks a window list that has become a ring (it spins in the handler of
# the request that lists a window's children). No program of ours can
# cause a loop inside the server, so a run that ends this way is counted
# and run once more (see session).
server_spins() {
  command -v strace >/dev/null || return 1
  local pid calls
  for pid in $(machine_processes); do
    [ "$(cat "/proc/$pid/comm" 2>/dev/null)" = wineserver ] || continue
    grep -q '^State:[[:space:]]*R' "/proc/$pid/status" 2>/dev/null || return 1
    calls=$(timeout 3 strace -p "$pid" 2>&1 | grep -vc '^strace: ' || true)
    [ "$calls" = 0 ] && grep -q '^State:[[:space:]]*R' "/proc/$pid/status" 2>/dev/null
    return
  done
  return 1
}
server_spun=75

# Runs PROGRAM; one that outlasts the bound is reported and ended: exit
# code 124, or $server_spun when Wine's server was what hung.
run_bounded() {  # run_bounded SECONDS PROGRAM ARG...
  local seconds=$1; shift
  wine "$@" &
  local program=$!
  sleep "$seconds" &
  local timer=$!
  wait -n $program $timer || true
  if kill -0 $program 2>/dev/null; then
    report_hang "$seconds" "$1" || true
    local rc=124
    if server_spins; then
      echo "wine-session: Wine's own server spins (no system call in 3 s): a fault of Wine"
      rc=$server_spun
    fi
    timeout 10 wineserver -k 2>/dev/null || kill_machine
    wait $program || true
    return $rc
  fi
  kill $timer 2>/dev/null || true
  wait $program
}

case ${1:-} in
  start)
    mkdir -p "$root"
    stop_session
    start_display
    use_display
    make_prefix
    map_drives
    step server wineserver -p
    windows_version
    # Start the session's own services now, detached from this output: a
    # test's Wine process would hand them its pipes, and CTest would wait
    # for those pipes to close.
    step services wine wineboot
    ;;
  run)
    shift
    use_display
    [ -n "${LAUNCHER_WINE_HANG_AFTER:-}" ] || exec wine "$@"
    run_bounded "$LAUNCHER_WINE_HANG_AFTER" "$@"
    ;;
  stop)
    stop_session
    ;;
  session)
    shift
    "$0" start
    trap '"$0" stop' EXIT
    rc=0; "$0" run "$@" || rc=$?
    # Only Wine's server spinning earns a second run, once, in a new session.
    if [ $rc = $server_spun ]; then
      echo "wine-session: runs ended by Wine's server spinning: 1 (of 1 allowed); running $1 once more in a new session"
      "$0" stop; "$0" start
      rc=0; "$0" run "$@" || rc=$?
      [ $rc = $server_spun ] && echo "wine-session: runs ended by Wine's server spinning: 2 (of 1 allowed)"
    fi
    exit $rc
    ;;
  *)
    echo "usage: $0 start | run PROGRAM [ARG...] | stop | session PROGRAM [ARG...]" >&2
    exit 2
    ;;
esac
