#!/usr/bin/env bash
# The main job: installs what is missing, builds, packs the sample project
# into a show executable (vmopack itself stands in for the player) and lists
# the package.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh
cmake --preset default >/dev/null
cmake --build --preset default -j "$(nproc)"
vmopack=build/Tools/vmopack
"$vmopack" pack samples/sample/sample.manifest -o build/sample-show --stub "$vmopack"
echo "build/sample-show:"
"$vmopack" list build/sample-show
echo
echo "Time line of build/sample-show:"
"$vmopack" timeline build/sample-show
