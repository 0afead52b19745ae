#!/usr/bin/env bash
# Installs what the tests need, builds everything and runs every test:
#
#   scripts/test.sh [CTEST-ARGUMENTS...]      e.g. scripts/test.sh -R Window
#
# BUILD names the build folder (default: build, shared with scripts/run.sh); CMAKE_FLAGS adds
# configure options, e.g. CMAKE_FLAGS=-DKEYCARD_SANITIZE=ON BUILD=build-asan; JOBS the build's
# parallel jobs (default: every core).
set -euo pipefail

root=$(cd "$(dirname "$0")/.." && pwd)
build=$(realpath -m "${BUILD:-$root/build}")
read -r -a cmake_flags <<<"${CMAKE_FLAGS:-}"
jobs=${JOBS:-$(nproc)}

"$root/scripts/install-deps.sh" test

# The run script may have configured this folder without the tests; later flags win.
cmake -S "$root" -B "$build" -DKEYCARD_BUILD_TESTS=ON -DKEYCARD_BUILD_BENCH=ON "${cmake_flags[@]}"
cmake --build "$build" -j "$jobs"

# Qt keeps its runtime files in a private folder rather than warning that it has none.
if [ -z "${XDG_RUNTIME_DIR:-}" ]; then
  XDG_RUNTIME_DIR=$(mktemp -d "${TMPDIR:-/tmp}/keycard-runtime.XXXXXX")
  export XDG_RUNTIME_DIR
  trap 'rm -rf "$XDG_RUNTIME_DIR"' EXIT
fi
ctest --test-dir "$build" --output-on-failure -j "$jobs" --timeout 120 "$@"
