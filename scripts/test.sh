#!/usr/bin/env bash
# Installs what the tests need, builds everything and runs every test:
#
#   scripts/test.sh [CTEST-ARGUMENTS...]      e.g. scripts/test.sh -R Window
#
# BUILD names the build folder (default: build, shared with scripts/run.sh); CMAKE_FLAGS adds
# configure options, e.g. CMAKE_FLAGS=-DKEYCARD_SANITIZE=ON BUILD=build-asan; JOBS the build's
# parallel jobs (default: every core).
set -euo pipefail

# shellcheck source-path=SCRIPTDIR source=common.sh
source "$(dirname "$0")/common.sh"
build=$(realpath -m "${BUILD:-$root/build}")
read -r -a cmake_flags <<<"${CMAKE_FLAGS:-}"

"$root/scripts/install-deps.sh" test

# The run script may have configured this folder without the tests; later flags win.
cmake -S "$root" -B "$build" -DKEYCARD_BUILD_TESTS=ON -DKEYCARD_BUILD_BENCH=ON "${cmake_flags[@]}"
cmake --build "$build" -j "$jobs"

own_runtime_folder if-missing
trap 'rm -rf ${runtime:+"$runtime"}' EXIT
ctest --test-dir "$build" --output-on-failure -j "$jobs" --timeout 120 "$@"
