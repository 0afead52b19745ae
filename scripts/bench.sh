#!/usr/bin/env bash
# Builds the benchmarks in a Release build folder (default build-release; configured when it has
# no build yet), runs them all and prints one markdown table of the results on stdout. Progress
# goes to stderr. Extra arguments go to keycard-bench, e.g. --benchmark_filter=click.
set -euo pipefail

# shellcheck source-path=SCRIPTDIR source=common.sh
source "$(dirname "$0")/common.sh"
build=${1:-$root/build-release}
shift || true

# The benchmarks build on the tests' libraries.
"$root/scripts/install-deps.sh" test >&2

if [[ ! -f $build/CMakeCache.txt ]]; then
  cmake -S "$root" -B "$build" -DCMAKE_BUILD_TYPE=Release -DKEYCARD_BUILD_BENCH=ON >&2
elif ! grep -q '^CMAKE_BUILD_TYPE:STRING=Release$' "$build/CMakeCache.txt"; then
  echo "bench.sh: $build is not a Release build; its timings are not the ones to publish" >&2
fi
cmake --build "$build" -j "$jobs" --target keycard-bench >&2

echo "bench.sh: $(nproc) cores, $(uname -srm)" >&2
# The PC/SC rows need a pcscd of their own beside them, which needs root; without it they are left
# out.
beside=()
if [ "$(id -u)" -eq 0 ]; then
  beside=("$root/scripts/private-pcscd.sh")
else
  echo "bench.sh: not root, so no private pcscd: the PC/SC rows are left out" >&2
fi
"${beside[@]}" "$build/bin/keycard-bench" "$@"
