#!/usr/bin/env bash
# scripts/private-pcscd.sh keeps its pcscd to itself: the command's exit status comes back, the
# pcscd is gone afterwards, the machine's /run/pcscd and USB reader drivers stay as they were, two
# at once get ports of their own, and a caller who is not root is told why it cannot run. Where
# mount namespaces are refused (played here) it serves a free /run/pcscd directly and leaves
# nothing there, or is skipped (77) with the reason when another pcscd serves it.
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
if ! unshare --mount --propagation private true 2>/dev/null; then
  echo "private-pcscd: skipped: these checks need mount namespaces, which this machine refuses" >&2
  exit 77
fi

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

# A machine that refuses mount namespaces, played in a namespace of this test's own (so the
# machine's /run/pcscd is never touched): a free /run/pcscd is served directly and left empty; one
# that another pcscd serves makes the script skip, or fail where the tests are required.
refusing=$(
  export KEYCARD_PRIVATE_PCSCD_REFUSE_NAMESPACE=1 script work
  unshare --mount --propagation private bash -c '
    mkdir -p /run/pcscd && mount -t tmpfs tmpfs /run/pcscd
    "$script" sh -c "[ -S /run/pcscd/pcscd.comm ] && echo \$KEYCARD_PCSCD_PID >$work/direct && exit 7"
    echo "direct $? [$(ls -A /run/pcscd)]"
    mkdir "$work/empty"
    setpriv --pdeathsig KILL pcscd --foreground --config "$work/empty" >/dev/null 2>&1 &
    other=$!
    for _ in $(seq 250); do [ -S /run/pcscd/pcscd.comm ] && break; sleep 0.02; done
    sleep 0.1
    env -u KEYCARD_PCSC_TESTS_REQUIRED "$script" true 2>"$work/skipped"
    echo "skipped $?"
    KEYCARD_PCSC_TESTS_REQUIRED=1 "$script" true 2>/dev/null
    echo "required $?"
    kill $other; wait $other'
)
[[ "$refusing" == *"direct 7 []"* ]] || fail "serving /run/pcscd directly: '$refusing'"
pid=$(cat "$work/direct" 2>/dev/null || true)
[ -n "$pid" ] && ! kill -0 "$pid" 2>/dev/null || fail "the direct pcscd '$pid' outlived its script"
[[ "$refusing" == *"skipped 77"* && "$refusing" == *"required 125"* ]] ||
  fail "with /run/pcscd taken: '$refusing'"
grep -q "skipped: unshare --mount was refused .* and another pcscd serves /run/pcscd" \
  "$work/skipped" || fail "the skip gave no reason: '$(cat "$work/skipped")'"

[ "$failures" = 0 ] && echo "private-pcscd: all checks passed"
exit "$failures"
