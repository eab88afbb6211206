#!/usr/bin/env bash
# Builds what is missing and starts sorvak.exe under Wine.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/setup.sh
if [[ ! -f build/win64/bin/sorvak.exe ]]; then
  cmake --preset win64 >/dev/null
  cmake --build --preset win64 -j "${JOBS:-2}"
fi
exec scripts/run_under_wine.sh "$@"
