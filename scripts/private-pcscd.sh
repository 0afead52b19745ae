#!/usr/bin/env bash
# Runs COMMAND beside a pcscd of its own that serves the virtual PC/SC reader (vsmartcard's vpcd:
# "Virtual PCD 00 00" on a free TCP port, "Virtual PCD 00 01" on the next) and nothing else.
#
#   scripts/private-pcscd.sh COMMAND [ARGS...]
#
# pcscd always serves /run/pcscd, so this one lives in a private mount namespace with a tmpfs
# there: whatever runs inside talks to it, the machine's pcscd (if any) never sees it. The USB
# reader drivers are hidden from it too, so a reader plugged into the machine stays with the
# machine's pcscd. Inside, COMMAND finds the virtual reader's port in KEYCARD_VPCD_PORT (play a card
# there with `keycard-emulator --kind mifare --vpcd $KEYCARD_VPCD_PORT --card FILE`), the private
# pcscd's process id in KEYCARD_PCSCD_PID (to stop it mid-test) and its configuration folder in
# KEYCARD_PCSCD_CONFIG (which tells that process from any other pcscd).
#
# Where mount namespaces are refused (a chroot, a default container) and no other pcscd serves
# /run/pcscd, the pcscd runs there directly, one such run at a time, and leaves nothing behind.
# Where neither works the script exits 77, which ctest counts as skipped, with the reason; with
# KEYCARD_PCSC_TESTS_REQUIRED=1 (CI) that is a failure instead.
#
# Needs root. Exit status: COMMAND's, 77 when skipped, or 125 with a message when the private
# pcscd cannot start.
set -euo pipefail

me=private-pcscd
fail() {
  echo "$me: $*" >&2
  exit 125
}
skip() {
  [ -z "${KEYCARD_PCSC_TESTS_REQUIRED:-}" ] || fail "$* (and KEYCARD_PCSC_TESTS_REQUIRED is set)"
  echo "$me: skipped: $*" >&2
  exit 77
}

# Any command that fails unexpectedly ends the script with a word, not silently.
trap 'fail "line $LINENO failed"' ERR

[ $# -gt 0 ] || fail "usage: scripts/private-pcscd.sh COMMAND [ARGS...]"

vpcd_conf=/etc/reader.conf.d/vpcd
drivers=/usr/lib/pcsc/drivers  # the USB readers' drivers, which pcscd loads on hotplug
run_dir=/run/pcscd
socket=$run_dir/pcscd.comm

# True when a pcscd (or a socket waiting to start one) listens on /run/pcscd/pcscd.comm.
pcscd_serves_run_dir() {
  [ -S "$socket" ] || return 1
  # Flags 00010000: a listening socket; the path is the last field.
  awk -v path="$socket" '$4 == "00010000" && $NF == path { found = 1 } END { exit !found }' \
    /proc/net/unix
}

mode=${KEYCARD_PRIVATE_PCSCD_INSIDE:-}
if [ -z "$mode" ]; then
  [ "$(id -u)" -eq 0 ] ||
    fail "needs root: a private pcscd needs a mount namespace of its own (run it with sudo)"
  command -v pcscd >/dev/null || fail "pcscd is not installed (apt-get install pcscd)"
  [ -r "$vpcd_conf" ] ||
    fail "the virtual reader driver is not installed (no $vpcd_conf; apt-get install vsmartcard-vpcd)"
  command -v unshare >/dev/null || fail "unshare is missing (it comes with util-linux)"
  # KEYCARD_PRIVATE_PCSCD_REFUSE_NAMESPACE: for the script's own test, which plays a machine that
  # refuses them.
  if [ -z "${KEYCARD_PRIVATE_PCSCD_REFUSE_NAMESPACE:-}" ] &&
    unshare --mount --propagation private true 2>/dev/null; then
    KEYCARD_PRIVATE_PCSCD_INSIDE=namespace exec unshare --mount --propagation private "$0" "$@"
  fi
  mode=direct
  refused="unshare --mount was refused (this machine or container does not allow mount namespaces)"
  pcscd_serves_run_dir && skip "$refused and another pcscd serves $run_dir"
  # One direct run at a time; the lock is on /run itself, so that nothing is left behind.
  exec {lock}</run
  flock -w 100 "$lock" || fail "another run of this script held $run_dir for 100 s"
  pcscd_serves_run_dir && skip "$refused and another pcscd serves $run_dir"
fi

# In the private mount namespace, mounts made here vanish with it; directly, everything made
# under /run/pcscd goes at the end.
work=$(mktemp -d "${TMPDIR:-/tmp}/keycard-pcscd.XXXXXX")
pcscd_pid=
made_run_dir=
stop_pcscd() {
  [ -n "$pcscd_pid" ] || return 0
  kill "$pcscd_pid" 2>/dev/null || true
  for _ in $(seq 100); do
    kill -0 "$pcscd_pid" 2>/dev/null || break
    sleep 0.02
  done
  kill -KILL "$pcscd_pid" 2>/dev/null || true
  wait "$pcscd_pid" 2>/dev/null || true
  pcscd_pid=
}
cleanup() {
  stop_pcscd
  rm -rf "$work"
  if [ "$mode" = direct ]; then
    rm -f "$socket" "$run_dir/pcscd.pid"
    [ -z "$made_run_dir" ] || rmdir "$run_dir" 2>/dev/null || true
  fi
}
trap cleanup EXIT
trap 'exit 130' INT
trap 'exit 143' TERM

library=$(awk '$1 == "LIBPATH" { print $2 }' "$vpcd_conf")
[ -r "$library" ] || fail "$vpcd_conf names the driver $library, which is not there"

if [ "$mode" = direct ]; then
  # The USB reader drivers stay where they are: with no other pcscd there is nobody to keep a
  # plugged-in reader from.
  if [ ! -d "$run_dir" ]; then
    mkdir -p "$run_dir"
    made_run_dir=yes
  fi
else
  mkdir -p "$run_dir"
  mount -t tmpfs -o mode=0755 tmpfs "$run_dir" || fail "cannot mount a tmpfs on $run_dir"
fi
if [ "$mode" = namespace ] && [ -d "$drivers" ]; then
  # The vpcd driver usually lies among the hidden ones: a copy goes into the tmpfs under a name of
  # its own, so that nothing here ever writes where the machine keeps its files.
  cp -L "$library" "$work/driver.so"
  mount -t tmpfs -o mode=0755 tmpfs "$drivers" && mountpoint -q "$drivers" ||
    fail "cannot hide $drivers"
  library=$drivers/keycard-private-vpcd.so
  cp "$work/driver.so" "$library"
fi

# The ports in state LISTEN (0A) on the machine, decimal, one a line.
listening_ports() {
  local local_address state
  tail -q -n +2 /proc/net/tcp /proc/net/tcp6 2>/dev/null |
    while read -r _ local_address _ state _; do
      if [ "$state" = 0A ]; then echo $((16#${local_address##*:})); fi
    done
}

# True when process $1 listens on TCP port $2 (the port may be free for anyone else to take).
listens_on() {
  local inodes local_address state inode
  inodes=$(find "/proc/$1/fd" -lname 'socket:*' -printf '%l\n' 2>/dev/null | tr -dc '0-9\n')
  [ -n "$inodes" ] || return 1
  while read -r _ local_address _ state _ _ _ _ _ inode _; do
    [ "$state" = 0A ] && [ $((16#${local_address##*:})) -eq "$2" ] &&
      grep -qx "$inode" <<<"$inodes" && return 0
  done < <(tail -q -n +2 /proc/net/tcp /proc/net/tcp6 2>/dev/null)
  return 1
}

# Starts pcscd with the vpcd reader on $1 (and $1 + 1); true once it serves both its socket and
# the reader's port. Polls, at most about 5 s.
start_pcscd() {
  local port=$1 hex
  hex=$(printf '0x%04X' "$port")
  mkdir -p "$work/conf"
  sed -e "s|^DEVICENAME.*|DEVICENAME /dev/null:$hex|" -e "s|^CHANNELID.*|CHANNELID $hex|" \
    -e "s|^LIBPATH.*|LIBPATH $library|" "$vpcd_conf" >"$work/conf/vpcd"
  rm -f "$socket"
  # --pdeathsig: pcscd goes when this script goes, however it ends.
  local launcher=()
  command -v setpriv >/dev/null && launcher=(setpriv --pdeathsig TERM)
  "${launcher[@]}" pcscd --foreground --config "$work/conf" >"$work/pcscd.log" 2>&1 &
  pcscd_pid=$!
  for _ in $(seq 250); do
    kill -0 "$pcscd_pid" 2>/dev/null || return 1
    [ -S "$socket" ] && listens_on "$pcscd_pid" "$port" && return 0
    sleep 0.02
  done
  return 1
}

# A free port and its neighbour, below the range the kernel hands out for outgoing connections.
# Another private pcscd may take the same one at the same moment: then ours fails to listen and
# the next attempt picks again.
started=
for _ in 1 2 3 4 5; do
  busy=$(listening_ports)
  port=$((20000 + RANDOM % 12000))
  grep -qx -e "$port" -e "$((port + 1))" <<<"$busy" && continue
  if start_pcscd "$port"; then
    started=yes
    break
  fi
  stop_pcscd
done
if [ -z "$started" ]; then
  echo "$me: pcscd with the virtual reader did not start; its last words:" >&2
  tail -n 20 "$work/pcscd.log" >&2 || true
  fail "cannot start a private pcscd"
fi

trap - ERR
set +e
KEYCARD_VPCD_PORT=$port KEYCARD_PCSCD_PID=$pcscd_pid KEYCARD_PCSCD_CONFIG=$work/conf "$@"
status=$?
set -e
exit "$status"
