#!/usr/bin/env bash
# scripts/private-pcscd.sh keeps its pcscd to itself: the command's exit status comes back, the
# pcscd is gone afterwards, the machine's /run/pcscd and USB reader drivers stay as they were, two
# at once get ports of their own, and a caller who is not root is told why it cannot run.
set -euo pipefail

script=$(cd "$(dirname "$0")/../../scripts" && pwd)/private-pcscd.sh
work=$(mktemp -d "${TMPDIR:-/tmp}/keycard-private-pcscd-test.XXXXXX")
trap 'rm -rf "$work"' EXIT
failures=0
fail() {
  echo "FAILED: $*" >&2
  failures=$((failures + 1))
}

# What the command sees inside, written where the test can read it afterwards.
inside='echo "$KEYCARD_VPCD_PORT $KEYCARD_PCSCD_PID $(ls /usr/lib/pcsc/drivers | tr "\n" " ")" >"$0"
        [ -S /run/pcscd/pcscd.comm ] || exit 99
        sleep 1
        exit 7'
host_socket_before=$(stat -c %i /run/pcscd/pcscd.comm 2>/dev/null || echo none)
host_drivers() { find /usr/lib/pcsc/drivers -type f -exec sha256sum {} + 2>/dev/null | sort || true; }
host_drivers_before=$(host_drivers)

set +e
"$script" sh -c "$inside" "$work/a" &
first=$!
"$script" sh -c "$inside" "$work/b"
second_status=$?
wait "$first"
first_status=$?
set -e

[ "$first_status" = 7 ] && [ "$second_status" = 7 ] ||
  fail "the command's exit status 7 came back as $first_status and $second_status"
read -r port_a pid_a drivers_a <"$work/a" || fail "the first command did not run"
read -r port_b pid_b _ <"$work/b" || fail "the second command did not run"
[ -n "${port_a:-}" ] && [ "${port_a:-}" != "${port_b:-}" ] ||
  fail "two private pcscds at once share port '${port_a:-}'"
[ "${drivers_a:-}" = "keycard-private-vpcd.so" ] || fail "the USB reader drivers were not hidden: '${drivers_a:-}'"
for pid in "${pid_a:-}" "${pid_b:-}"; do
  [ -n "$pid" ] && ! kill -0 "$pid" 2>/dev/null || fail "pcscd $pid outlived its script"
done
[ "$(stat -c %i /run/pcscd/pcscd.comm 2>/dev/null || echo none)" = "$host_socket_before" ] ||
  fail "the machine's /run/pcscd changed"
[ "$(host_drivers)" = "$host_drivers_before" ] || fail "the machine's reader drivers changed"

if command -v setpriv >/dev/null; then
  # A copy anyone may run: the checkout may lie where the user nobody cannot go (root's home).
  mkdir "$work/anyone" && cp "$script" "$work/anyone/" && chmod 0755 "$work" "$work/anyone"
  set +e
  refusal=$(setpriv --reuid=65534 --regid=65534 --clear-groups \
    "$work/anyone/private-pcscd.sh" true 2>&1)
  status=$?
  set -e
  [ "$status" = 125 ] && [[ "$refusal" == *"needs root"* ]] ||
    fail "not root: exit $status, '$refusal'"
fi

[ "$failures" = 0 ] && echo "private-pcscd: all checks passed"
exit "$failures"
