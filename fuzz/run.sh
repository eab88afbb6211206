#!/usr/bin/env bash
# Builds the fuzz targets with clang++ in build/fuzz and runs each for the
# given number of seconds (default 60). Fails on the first crash, leak or
# failed check; the input that caused it is left in build/fuzz/artifacts.
set -euo pipefail
cd "$(dirname "$0")/.."
seconds=${1:-60}
jobs=${JOBS:-2}

cmake -S fuzz -B build/fuzz -G Ninja -DCMAKE_CXX_COMPILER=clang++ >/dev/null
cmake --build build/fuzz -j "$jobs"

mkdir -p build/fuzz/artifacts
for target in load_conf read_line text_tools; do
  corpus=build/fuzz/corpus/$target
  mkdir -p "$corpus"
  echo "== fuzz_$target for $seconds s"
  # The targets print labels and diagnostics by the thousand: close both
  # streams (libFuzzer keeps its own reports).
  ASAN_OPTIONS=detect_leaks=1:abort_on_error=1 \
    build/fuzz/bin/fuzz_$target -max_total_time="$seconds" -close_fd_mask=3 \
    -print_final_stats=1 -artifact_prefix=build/fuzz/artifacts/$target- \
    "$corpus" fuzz/corpus/$target
done
echo "fuzzing: no crash"
