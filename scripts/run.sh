#!/usr/bin/env bash
# Runs the encoder on two emulated readers: a proximity reader on COM1 holding an EM4469 key card
# and a Mifare reader on COM2 holding a Mifare 1K card. The cards are kept between runs in
# $KEYCARD_CARDS (default ~/.local/share/keycard/cards). Without a display, walks the main road
# headless instead: open COM1, write the start texts, read the card back, save a screenshot.
#
#   scripts/run.sh [BUILD] [serial|pcsc]
#
# With pcsc (root only), the Mifare card lies on the virtual PC/SC reader of a pcscd of its own
# (scripts/private-pcscd.sh) instead of COM2, and "MF1" reaches it through PC/SC.
set -euo pipefail

build=${1:-build}
reader=${2:-serial}
case $reader in
  serial) ;;
  pcsc) [ -n "${KEYCARD_VPCD_PORT:-}" ] || exec "$(dirname "$0")/private-pcscd.sh" "$0" "$build" pcsc ;;
  *) echo "The reader is serial or pcsc, not '$reader'." >&2; exit 2 ;;
esac
bin=$(cd "$build/bin" && pwd)
cards=${KEYCARD_CARDS:-${XDG_DATA_HOME:-$HOME/.local/share}/keycard/cards}
mkdir -p "$cards"

ports=$(mktemp -d "${TMPDIR:-/tmp}/keycard-ports.XXXXXX")
emulators=()
cleanup() {
  for pid in "${emulators[@]}"; do kill "$pid" 2>/dev/null || true; done
  wait 2>/dev/null || true
  rm -rf "$ports"
}
trap cleanup EXIT INT TERM

start_reader() {  # kind port card-type card-file; port "pcsc" is the virtual PC/SC reader
  local kind=$1 port=$2 type=$3 card=$4 where
  [ -e "$card" ] || "$bin/keycard-emulator" card new --type "$type" "$card"
  local out="$ports/.$port.out"
  if [ "$port" = pcsc ]; then
    where=(--vpcd "$KEYCARD_VPCD_PORT")
  else
    where=(--port "$port" --port-dir "$ports")
  fi
  "$bin/keycard-emulator" --kind "$kind" "${where[@]}" --card "$card" >"$out" &
  emulators+=("$!")
  # The emulator prints "ready" once its port answers (or pcscd has powered its card).
  for _ in $(seq 50); do
    grep -qx ready "$out" && break
    sleep 0.1
  done
  if ! grep -qx ready "$out"; then
    echo "The $kind reader emulator on $port did not start." >&2
    exit 1
  fi
  if [ "$port" = pcsc ]; then
    echo "$kind card on the virtual PC/SC reader, card $card"
  else
    echo "$kind reader on $port, card $card"
  fi
}

start_reader proximity COM1 em4469 "$cards/proximity-em4469.card"
if [ "$reader" = pcsc ]; then
  start_reader mifare pcsc mifare1k "$cards/mifare-1k.card"
  export KEYCARD_MIFARE_READER=pcsc
else
  start_reader mifare COM2 mifare1k "$cards/mifare-1k.card"
fi
export KEYCARD_PORT_DIR=$ports

if [ -n "${DISPLAY:-}${WAYLAND_DISPLAY:-}" ]; then
  "$bin/keycard-encoder"
else
  shot=${KEYCARD_SCREENSHOT:-$PWD/keycard-walkthrough.png}
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
