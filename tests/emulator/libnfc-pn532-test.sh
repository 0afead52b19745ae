#!/usr/bin/env bash
# libnfc's own tools, a client that is not ours, on the emulated PN532 board: nfc-list sees the
# card in the field, nfc-mfclassic reads all 64 blocks with the record where a key card keeps it
# (and the one our Mifare driver wrote), a card with a key of its own reads nothing, and the claim
# mark a killed client leaves on the line does not keep the next one out.
#   libnfc-pn532-test.sh path/to/keycard-emulator [path/to/keycard-walkthrough]
set -euo pipefail

emulator=${1:?usage: libnfc-pn532-test.sh path/to/keycard-emulator [path/to/keycard-walkthrough]}
walkthrough=${2:+$(realpath "$2")}  # run from the work folder
for tool in nfc-list nfc-mfclassic perl; do
  command -v "$tool" >/dev/null ||
    { echo "libnfc-pn532-test: $tool is missing: run scripts/install-deps.sh test" >&2; exit 1; }
done
work=$(mktemp -d "${TMPDIR:-/tmp}/keycard-libnfc-test.XXXXXX")
board=
stop_board() {
  if [ -n "$board" ]; then
    kill "$board" 2>/dev/null || true
    wait "$board" 2>/dev/null || true
    board=
  fi
}
trap 'stop_board; rm -rf "$work"' EXIT
failures=0
fail() {
  echo "FAILED: $*" >&2
  [ -s "$work/log" ] && tail -n 20 "$work/log" >&2
  failures=$((failures + 1))
}

record=0102030405060708090A0B0C0D0E0F101112131415161718

# Plays the card file $1 (which need not exist) on COM1 until stop_board.
start_board() {
  : >"$work/ready"
  "$emulator" --kind pn532 --port COM1 --port-dir "$work" --card "$1" --log "$work/log" \
    >"$work/ready" 2>>"$work/stderr" &
  board=$!
  for _ in $(seq 50); do
    grep -q ready "$work/ready" && return 0
    sleep 0.1
  done
  fail "the emulator did not get ready: $(cat "$work/stderr")"
  return 1
}

nfc() {
  (cd "$work" && LIBNFC_DEVICE="pn532_uart:$work/COM1" timeout 20 "$@" 2>&1)
}

# The UID of the card in $1 as nfc-list prints it: "c0  ff  ee  01".
listed_uid() {
  "$emulator" card block "$1" 0 | cut -c1-8 | tr 'A-F' 'a-f' | sed 's/../&  /g; s/  $//'
}

# A Mifare 1K card holding the record: listed with its UID, read whole with the record in
# blocks 4 and 5.
"$emulator" card new --type mifare1k "$work/card" --record "$record"
start_board "$work/card"
listing=$(nfc nfc-list) || fail "nfc-list failed: $listing"
grep -q "UID (NFCID1): $(listed_uid "$work/card")" <<<"$listing" ||
  fail "nfc-list did not see the card's UID: $listing"
grep -q "SAK (SEL_RES): 08" <<<"$listing" || fail "nfc-list did not see a Classic 1K: $listing"
dumped=$(nfc nfc-mfclassic r a u dump.mfd) || fail "nfc-mfclassic failed: $dumped"
grep -q "Done, 64 of 64 blocks read" <<<"$dumped" || fail "not all 64 blocks were read: $dumped"
read_record=$(od -An -tx1 -j64 -N24 "$work/dump.mfd" 2>/dev/null | tr -d ' \n' | tr 'a-f' 'A-F')
[ "$read_record" = "$record" ] || fail "blocks 4 and 5 hold '$read_record', not the record"

# A killed client leaves its claim on the line: the next one still gets in. Some kernels keep no
# such mark on a pseudo-terminal at all, and then there is nothing to check.
claim() {
  perl -MPOSIX -e 'open(my $line, "+<", $ARGV[0]) or die "$ARGV[0]: $!";
    my $t = POSIX::Termios->new; $t->getattr(fileno $line) or die "getattr: $!";
    $t->setiflag($t->getiflag | 0x80000000); $t->setattr(fileno $line, TCSANOW);
    $t->getattr(fileno $line); exit(($t->getiflag & 0x80000000) ? 0 : 1)' "$work/COM1"
}
if claim; then
  sleep 1
  listing=$(nfc nfc-list) || fail "nfc-list was kept out after a claim left on the line: $listing"
else
  echo "this kernel keeps no claim mark on a pseudo-terminal: nothing to check there"
fi
stop_board

# A blank card written through the window by our own driver, which finds the board on the port by
# itself: libnfc reads back the record it wrote.
"$emulator" card new --type mifare1k "$work/written"
start_board "$work/written"
if [ -n "$walkthrough" ]; then
  walked=$(cd "$work" && env -u KEYCARD_MIFARE_READER KEYCARD_PORT_DIR="$work" \
    QT_QPA_PLATFORM=offscreen timeout 20 "$walkthrough" --mifare 2>&1) ||
    fail "keycard-walkthrough could not write the card: $walked"
  grep -q "butRd: RD 4469 OK" <<<"$walked" || fail "the walkthrough did not read the card back: $walked"
  written=$("$emulator" card record "$work/written")
  [ "$written" != "$(printf '0%.0s' $(seq 48))" ] || fail "the walkthrough left the card blank"
  dumped=$(nfc nfc-mfclassic r a u written.mfd) || fail "nfc-mfclassic failed: $dumped"
  read_record=$(od -An -tx1 -j64 -N24 "$work/written.mfd" 2>/dev/null | tr -d ' \n' | tr 'a-f' 'A-F')
  [ "$read_record" = "$written" ] || fail "libnfc read '$read_record', our driver wrote '$written'"
fi
stop_board

# A card with a key A of its own: none of libnfc's default keys opens it, and it stays as it was.
"$emulator" card new --type mifare1k "$work/keyed" --record "$record" --key-a 123456ABCDEF
cp "$work/keyed" "$work/keyed.before"
start_board "$work/keyed"
dumped=$(nfc nfc-mfclassic r a u keyed.mfd) || true
if ! grep -q "authentication failed" <<<"$dumped" || grep -q "64 of 64" <<<"$dumped"; then
  fail "nfc-mfclassic read a card whose key it does not know: $dumped"
fi
cmp -s "$work/keyed" "$work/keyed.before" || fail "a refused read changed the card"
stop_board

# An Ultralight, and an empty field.
"$emulator" card new --type ultralight "$work/ultralight"
start_board "$work/ultralight"
listing=$(nfc nfc-list) || fail "nfc-list failed on an Ultralight: $listing"
grep -q "ATQA (SENS_RES): 00  44" <<<"$listing" || fail "nfc-list did not see an Ultralight: $listing"
stop_board
start_board "$work/nothing"
listing=$(nfc nfc-list) || fail "nfc-list failed on an empty field: $listing"
! grep -q "UID" <<<"$listing" || fail "nfc-list saw a card in an empty field: $listing"
stop_board

[ "$failures" = 0 ] && echo "libnfc read the emulated PN532 board right"
exit $((failures > 0))
