#!/usr/bin/env bash
# Builds what is missing and starts sorvak.exe under Wine; ARCH=win32 runs the
# shipped 32-bit build (see scripts/run_under_wine.sh).
set -euo pipefail
cd "$(dirname "$0")/.."
arch=win64
[[ ${ARCH:-} == win32 ]] && arch=win32
scripts/setup.sh
if [[ ! -f build/$arch/bin/sorvak.exe ]]; then
  cmake --preset "$arch" >/dev/null
  cmake --build --preset "$arch" -j "${JOBS:-2}"
fi
exec scripts/run_under_wine.sh "$@"
