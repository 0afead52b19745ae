#!/usr/bin/env bash
# Shows the encoder window on a virtual display, takes a screenshot of it and stops.
#
#   scripts/screenshot.sh [--bin DIR] OUT.png [STEP...]
#
# DIR holds keycard-encoder (default: build/bin). The window is shot after the steps, which run
# in order against it: click:X,Y (client pixels), select:CONTROL_X,Y,INDEX (open a list at X,Y
# and pick the entry INDEX), type:TEXT, key:KEYS (xdotool key names), wait:SECONDS, shot:PATH
# (an extra screenshot), run:COMMAND (a shell command, e.g. to take a card away). The environment is passed on, so KEYCARD_PORT_DIR reaches the drivers.
set -euo pipefail

bin=build/bin
if [ "${1:-}" = "--bin" ]; then
  bin=$2
  shift 2
fi
out=${1:?usage: screenshot.sh [--bin DIR] OUT.png [STEP...]}
shift
encoder=$bin/keycard-encoder
[ -x "$encoder" ] || { echo "No $encoder: build the project first." >&2; exit 1; }
# shellcheck source-path=SCRIPTDIR source=common.sh
source "$(dirname "$0")/common.sh"
"$root/scripts/install-deps.sh" screenshot

# The first display number from 99 up that nobody holds.
display=99
while [ -e "/tmp/.X$display-lock" ] || [ -e "/tmp/.X11-unix/X$display" ]; do
  display=$((display + 1))
done

xvfb_pid=
encoder_pid=
cleanup() {
  [ -n "$encoder_pid" ] && kill "$encoder_pid" 2>/dev/null || true
  [ -n "$xvfb_pid" ] && kill "$xvfb_pid" 2>/dev/null || true
  wait 2>/dev/null || true
  rm -rf ${runtime:+"$runtime"}
}
trap cleanup EXIT INT TERM
# The window's own runtime folder, as a desktop session would give it.
own_runtime_folder fresh

Xvfb ":$display" -screen 0 1024x768x24 -nolisten tcp >/dev/null 2>&1 &
xvfb_pid=$!
export DISPLAY=":$display"
for _ in $(seq 50); do
  xdotool getmouselocation >/dev/null 2>&1 && break
  sleep 0.1
done

QT_QPA_PLATFORM=xcb "$encoder" &
encoder_pid=$!
window=$(timeout 10 xdotool search --sync --onlyvisible --name '^Form1$' | head -n1)
[ -n "$window" ] || { echo "The window did not appear within 10 s." >&2; exit 1; }
sleep 0.3  # the first paint follows the map

shoot() { import -window "$window" "$1" && echo "Screenshot: $1"; }

for step in "$@"; do
  case $step in
    click:*)
      IFS=, read -r x y <<<"${step#click:}"
      xdotool mousemove --window "$window" "$x" "$y" click 1 ;;
    select:*)
      IFS=, read -r x y index <<<"${step#select:}"
      xdotool mousemove --window "$window" "$x" "$y" click 1
      sleep 0.3
      xdotool key Home
      for _ in $(seq "$index"); do xdotool key Down; done
      xdotool key Return ;;
    type:*) xdotool type --window "$window" "${step#type:}" ;;
    key:*) xdotool key --window "$window" ${step#key:} ;;
    wait:*) sleep "${step#wait:}" ;;
    shot:*) shoot "${step#shot:}" ;;
    run:*) bash -c "${step#run:}" ;;
    *) echo "Unknown step: $step" >&2; exit 2 ;;
  esac
  sleep 0.3
done
shoot "$out"
