#!/usr/bin/env bash
# Installs the build into a throw-away prefix and runs what was installed from there: the
# emulator serves a card, the headless walk-through writes and reads it through the installed
# drivers, and the installed window starts offscreen and stays up.
set -euo pipefail
build=$1
prefix=$(mktemp -d "${TMPDIR:-/tmp}/keycard-prefix.XXXXXX")
work=$(mktemp -d "${TMPDIR:-/tmp}/keycard-install-test.XXXXXX")
emulator_pid=
cleanup() {
  [ -n "$emulator_pid" ] && kill "$emulator_pid" 2>/dev/null && wait "$emulator_pid" 2>/dev/null
  rm -rf "$prefix" "$work"
}
trap cleanup EXIT

cmake --install "$build" --prefix "$prefix" >/dev/null
for file in bin/keycard-encoder bin/keycard-emulator bin/keycard-walkthrough \
  share/applications/keycard-encoder.desktop share/applications/keycard-encoder-pcsc.desktop; do
  [ -e "$prefix/$file" ] || { echo "not installed: $file"; exit 1; }
done

# Run from elsewhere, with nothing of the build tree on any search path.
cd "$work"
"$prefix/bin/keycard-emulator" card new --type em4469 "$work/card"
"$prefix/bin/keycard-emulator" --kind proximity --port COM1 --card "$work/card" \
  --port-dir "$work" >"$work/emulator.out" &
emulator_pid=$!
for _ in $(seq 50); do grep -qx ready "$work/emulator.out" && break; sleep 0.1; done
grep -qx ready "$work/emulator.out" || { echo "installed emulator did not start"; exit 1; }

output=$(KEYCARD_PORT_DIR=$work QT_QPA_PLATFORM=offscreen "$prefix/bin/keycard-walkthrough" "$work/shot.png")
echo "$output"
grep -q "Wr 4469 OK" <<<"$output" || { echo "installed drivers did not write the card"; exit 1; }
record=$("$prefix/bin/keycard-emulator" card record "$work/card")
# The record the window's start texts write (tests/support/WorkedRecord.h).
[ "$record" = "013330330101010100060718120006071912000000235900" ] || { echo "card holds $record"; exit 1; }
[ -s "$work/shot.png" ] || { echo "no screenshot"; exit 1; }

# The window itself: still running after two seconds means it started.
status=0
QT_QPA_PLATFORM=offscreen timeout 2 "$prefix/bin/keycard-encoder" || status=$?
[ "$status" -eq 124 ] || { echo "installed window exited with $status"; exit 1; }
echo "installed prefix works"
