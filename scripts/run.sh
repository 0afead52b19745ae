#!/usr/bin/env bash
# Installs what running needs, builds the programs (not the tests) and runs the encoder on two
# emulated readers: a proximity reader on COM1 holding an EM4469 key card and a Mifare reader on
# COM2 holding a Mifare 1K card. Without a display, writes and reads one card headless instead: open
# COM1, write the start texts, read the card back, save a screenshot.
#
#   scripts/run.sh [serial|pcsc]
#
# With pcsc (root only), the Mifare card lies on the virtual PC/SC reader of a pcscd of its own
# (scripts/private-pcscd.sh) instead of COM2, and "MF1" reaches it through PC/SC.
#
# BUILD names the build folder (default: build; configured without the tests when it is new, or
# again when CMAKE_FLAGS is given). The cards are kept between runs in KEYCARD_CARDS (default
# ~/.local/share/keycard/cards); the headless screenshot goes to KEYCARD_SCREENSHOT (default
# keycard-walkthrough.png in the build folder).
set -euo pipefail

# shellcheck source-path=SCRIPTDIR source=common.sh
source "$(dirname "$0")/common.sh"
build=$(realpath -m "${BUILD:-$root/build}")
reader=${1:-serial}
case $reader in
  serial | pcsc) ;;
  *)
    echo "The reader is serial or pcsc, not '$reader'." >&2
    exit 2
    ;;
esac

# Inside the private pcscd's namespace the programs are built already.
if [ -z "${KEYCARD_VPCD_PORT:-}" ]; then
  read -r -a cmake_flags <<<"${CMAKE_FLAGS:-}"
  tasks=(run)
  [ "$reader" = serial ] || tasks+=(pcsc)
  "$root/scripts/install-deps.sh" "${tasks[@]}"
  if [ ! -f "$build/CMakeCache.txt" ] || [ ${#cmake_flags[@]} -gt 0 ]; then
    cmake -S "$root" -B "$build" -DKEYCARD_BUILD_TESTS=OFF -DKEYCARD_BUILD_BENCH=OFF \
      "${cmake_flags[@]}"
  fi
  cmake --build "$build" -j "$jobs" --target keycard-programs
  if [ "$reader" = pcsc ]; then
    BUILD=$build exec "$root/scripts/private-pcscd.sh" "$0" pcsc
  fi
fi

bin=$build/bin
cards=${KEYCARD_CARDS:-${XDG_DATA_HOME:-$HOME/.local/share}/keycard/cards}
mkdir -p "$cards"

ports=$(mktemp -d "${TMPDIR:-/tmp}/keycard-ports.XXXXXX")
emulators=()
cleanup() {
  for pid in "${emulators[@]}"; do kill "$pid" 2>/dev/null || true; done
  wait 2>/dev/null || true
  rm -rf "$ports" ${runtime:+"$runtime"}
}
trap cleanup EXIT
# Ctrl-C is the ordinary way to stop: the window has gone, the readers go, and that is success.
trap 'exit 0' INT
trap 'exit 143' TERM

own_runtime_folder if-missing

start_reader() { # kind port card-type card-file; port "pcsc" is the virtual PC/SC reader
  local kind=$1 port=$2 type=$3 card=$4 where
  [ -e "$card" ] || "$bin/keycard-emulator" card new --type "$type" "$card"
  local out="$ports/.$port.out"
  : >"$out" # before the emulator's own redirection, which may come after the first look below
  if [ "$port" = pcsc ]; then
    where=(--vpcd "$KEYCARD_VPCD_PORT")
  else
    where=(--port "$port" --port-dir "$ports")
  fi
  "$bin/keycard-emulator" --kind "$kind" "${where[@]}" --card "$card" >"$out" &
  emulators+=("$!")
  # The emulator prints "ready" once its port answers (or pcscd has powered its card).
  for _ in $(seq 50); do
    grep -qx ready "$out" && return 0
    sleep 0.1
  done
  echo "The $kind reader emulator on $port did not start within 5 s." >&2
  exit 1
}

start_reader proximity COM1 em4469 "$cards/proximity-em4469.card"
if [ "$reader" = pcsc ]; then
  start_reader mifare pcsc mifare1k "$cards/mifare-1k.card"
  export KEYCARD_MIFARE_READER=pcsc
  mifare_at="the virtual PC/SC reader"
else
  start_reader mifare COM2 mifare1k "$cards/mifare-1k.card"
  mifare_at=COM2
fi
export KEYCARD_PORT_DIR=$ports

if [ -n "${DISPLAY:-}${WAYLAND_DISPLAY:-}" ]; then
  echo "keycard-encoder runs on two emulated readers: proximity (EM4469 card) on COM1, Mifare" \
    "(Mifare 1K card) on $mifare_at; the cards are kept in $cards."
  echo "To stop, close the window or press Ctrl-C."
  "$bin/keycard-encoder"
else
  shot=${KEYCARD_SCREENSHOT:-$build/keycard-walkthrough.png}
  echo "No display found (DISPLAY is not set): walking through open, write and read headless."
  if [ "$reader" = pcsc ]; then
    "$bin/keycard-walkthrough" --mifare "$shot"
    echo "Card record on the PC/SC reader: $("$bin/keycard-emulator" card record "$cards/mifare-1k.card")"
  else
    "$bin/keycard-walkthrough" "$shot"
    echo "Card record on COM1: $("$bin/keycard-emulator" card record "$cards/proximity-em4469.card")"
  fi
  echo "Screenshot of the window: $shot"
fi
