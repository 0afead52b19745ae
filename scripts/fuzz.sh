#!/usr/bin/env bash
# Builds the libFuzzer targets with clang in build-fuzz and runs each for SECONDS (default 30).
# New inputs collect in build-fuzz/corpus/<target>, seeds come from fuzz/corpus/<target>, and a
# crashing input lands in build-fuzz/findings/. Exits non-zero when any target finds something.
set -euo pipefail

seconds=${1:-30}
# shellcheck source-path=SCRIPTDIR source=common.sh
source "$(dirname "$0")/common.sh"
build=$root/build-fuzz
targets=(fuzz_field_codecs fuzz_text_routines fuzz_frame fuzz_pn532_frame)

"$root/scripts/install-deps.sh" fuzz

cmake -S "$root" -B "$build" -DCMAKE_C_COMPILER=clang -DCMAKE_CXX_COMPILER=clang++ \
  -DKEYCARD_BUILD_FUZZ=ON -DKEYCARD_BUILD_UI=OFF -DKEYCARD_BUILD_TESTS=OFF -DKEYCARD_BUILD_BENCH=OFF
cmake --build "$build" -j "$jobs" --target "${targets[@]}"

mkdir -p "$build/findings"
failed=()
for target in "${targets[@]}"; do
  mkdir -p "$build/corpus/$target"
  echo "== $target: ${seconds}s"
  if ! "$build/bin/$target" -max_total_time="$seconds" -timeout=1 -rss_limit_mb=1024 \
      -artifact_prefix="$build/findings/$target-" \
      "$build/corpus/$target" "$root/fuzz/corpus/$target"; then
    failed+=("$target")
  fi
done

if ((${#failed[@]} > 0)); then
  echo "Findings in: ${failed[*]} (inputs under $build/findings/)" >&2
  exit 1
fi
echo "No findings."
