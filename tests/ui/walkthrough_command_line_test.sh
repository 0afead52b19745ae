#!/usr/bin/env bash
# keycard-walkthrough's command line, each case in an empty folder with no reader on COM1: what
# it exits with, what it says, and which files it leaves (only the screenshot asked for).
set -euo pipefail
walkthrough=$1
work=$(mktemp -d "${TMPDIR:-/tmp}/keycard-walkthrough-test.XXXXXX")
trap 'rm -rf "$work"' EXIT
mkdir "$work/ports"
export KEYCARD_PORT_DIR=$work/ports QT_QPA_PLATFORM=offscreen XDG_RUNTIME_DIR=$work

failures=0
# arguments | exit code | a line of its output | files left in the folder
while IFS='|' read -r args code says leaves; do
  read -r -a argv <<<"$args"
  dir=$(mktemp -d "$work/case.XXXXXX")
  status=0
  output=$(cd "$dir" && "$walkthrough" "${argv[@]}" 2>&1) || status=$?
  left=$(cd "$dir" && ls -A | tr '\n' ' ')
  if [ "$status" != "$code" ] || ! grep -qF -- "$says" <<<"$output" || [ "$left" != "$leaves" ]; then
    echo "keycard-walkthrough $args: exit $status (want $code), left '$left' (want '$leaves'):"
    echo "$output"
    failures=$((failures + 1))
  fi
done <<'EOF'
--help|0|usage: keycard-walkthrough [--mifare] [SCREENSHOT.png]|
-h|0|KEYCARD_PORT_DIR=/tmp/ports keycard-walkthrough|
--hlep|2|usage: keycard-walkthrough|
one.png two.png|2|usage: keycard-walkthrough|
|1|Is keycard-emulator --kind proximity --port COM1 running with that --port-dir?|
shot.png|1|butOpen: Open CommPort Error|shot.png 
shot.png --mifare|1|Is keycard-emulator --kind mifare --port COM1 running|shot.png 
--mifare --mifare|2|usage: keycard-walkthrough [--mifare] [SCREENSHOT.png]|
EOF
[ "$failures" -eq 0 ] && echo "every command line did what it says"
exit "$failures"
