#!/usr/bin/env bash
# The whole test suite: builds every preset and runs every test.
set -euo pipefail
cd "$(dirname "$0")/.."
jobs=${JOBS:-2}

scripts/setup.sh

step() { printf '\n==== %s ====\n' "$*"; }

# Windows programs first: the Wine acceptance tests in the native suite run them.
for preset in win32 win64; do
  step "build $preset"
  cmake --preset "$preset" >/dev/null
  cmake --build --preset "$preset" -j "$jobs"
done

# The shipped 32-bit build runs emulated (label wine32): its route is set up
# here, in about five minutes the first time, rather than inside a test.
step "32-bit Wine route"
scripts/wine32.sh

step "native tests"
cmake --preset native >/dev/null
cmake --build --preset native -j "$jobs"
ctest --preset native -j "$jobs"

for preset in native-asan native-tsan; do
  step "$preset tests"
  cmake --preset "$preset" >/dev/null
  cmake --build --preset "$preset" -j "$jobs"
  # Wine drives the Windows build, not this one; the biggest files are run natively.
  ASAN_OPTIONS=detect_leaks=1:abort_on_error=1 TSAN_OPTIONS=halt_on_error=1 \
    ctest --preset "$preset" -j "$jobs" -LE 'wine|big'
done

step "linux tests"
cmake --preset linux >/dev/null
cmake --build --preset linux -j "$jobs"
ctest --preset linux -j "$jobs"

# The libinput platform on a real kernel and a Wayland compositor: the
# machine is made once (scripts/vm.sh, 20 s), then one boot runs every
# scenario, 2.5 to 4 minutes under emulation.
step "linux tests in a virtual machine"
scripts/vm.sh >/dev/null
ctest --test-dir build/linux -L vm --output-on-failure

if [[ -x fuzz/run.sh ]]; then
  step "fuzzing (${FUZZ_SECONDS:-60} s a target)"
  fuzz/run.sh "${FUZZ_SECONDS:-60}"
fi

if [[ -f bench/CMakeLists.txt ]]; then
  step "benchmarks build"
  cmake --preset bench >/dev/null
  cmake --build --preset bench -j "$jobs"
fi

step "all suites passed"
