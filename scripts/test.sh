#!/usr/bin/env bash
# Builds and runs every test: the optimised build, then the same tests under
# AddressSanitizer and UndefinedBehaviorSanitizer. First the boundary check:
# no platform calls outside their back-end folders.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/check-boundaries.sh
scripts/install-deps.sh
jobs=$(nproc)
for preset in default asan; do
  cmake --preset "$preset" >/dev/null
  cmake --build --preset "$preset" -j "$jobs"
  ctest --preset "$preset" -j "$jobs"
done
