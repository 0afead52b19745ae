#!/usr/bin/env bash
# Runs the encoder on two emulated readers: a proximity reader on COM1 holding an EM4469 key card
# and a Mifare reader on COM2 holding a Mifare 1K card. The cards are kept between runs in
# $KEYCARD_CARDS (default ~/.local/share/keycard/cards). Without a display, walks the main road
# headless instead: open COM1, write the start texts, read the card back, save a screenshot.
set -euo pipefail

build=${1:-build}
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

start_reader() {  # kind port card-type card-file
  local kind=$1 port=$2 type=$3 card=$4
  [ -e "$card" ] || "$bin/keycard-emulator" card new --type "$type" "$card"
  local out="$ports/.$port.out"
  "$bin/keycard-emulator" --kind "$kind" --port "$port" --card "$card" --port-dir "$ports" >"$out" &
  emulators+=("$!")
  # The emulator prints "ready" once its port answers.
  for _ in $(seq 50); do
    grep -qx ready "$out" && break
    sleep 0.1
  done
  if ! grep -qx ready "$out"; then
    echo "The $kind reader emulator on $port did not start." >&2
    exit 1
  fi
  echo "$kind reader on $port, card $card"
}

start_reader proximity COM1 em4469 "$cards/proximity-em4469.card"
start_reader mifare COM2 mifare1k "$cards/mifare-1k.card"
export KEYCARD_PORT_DIR=$ports

if [ -n "${DISPLAY:-}${WAYLAND_DISPLAY:-}" ]; then
  "$bin/keycard-encoder"
else
  shot=${KEYCARD_SCREENSHOT:-$PWD/keycard-walkthrough.png}
  echo "No display found (DISPLAY is not set): walking through open, write and read headless."
  "$bin/keycard-walkthrough" "$shot"
  echo "Card record on COM1: $("$bin/keycard-emulator" card record "$cards/proximity-em4469.card")"
  echo "Screenshot of the window: $shot"
fi
