#!/usr/bin/env bash
# Builds and runs every test: the optimised build, then the same tests under
# AddressSanitizer and UndefinedBehaviorSanitizer. First the boundary check:
# no platform calls outside their back-end folders. The sanitizer test
# preset turns off the runtime's __tls_get_addr interception: GCC 12's runtime
# misreads the GL driver's dynamic TLS blocks with it, and the leak check at
# exit then crashes now and then after every test of the binary has passed.
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
