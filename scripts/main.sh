#!/usr/bin/env bash
# The main job: installs what is missing, builds, packs the sample project
# into a show executable (vmopack itself stands in for the player) and lists
# the package, then plays the demo show in a window when there is a display,
# else renders its first seconds headless.
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
echo
# The demo show is packed by the build (build/demo.VmShow).
if [[ -n "${DISPLAY:-}" || -n "${WAYLAND_DISPLAY:-}" ]]; then
  echo "Playing build/demo.VmShow (Escape ends it)"
  exec build/Vmo/vmoviewer build/demo.VmShow
fi
# Without a display: a few seconds at a modest size keep this job short;
# drop -to and -size for the whole show in full HD.
frames=build/demo-frames
rm -rf "$frames"
build/Vmo/vmoviewer -exename build/demo.VmShow -render "$frames" -fps 10 -from 0 -to 6000 -size 640x360
echo "Demo frames: $frames/frame000000.png ... ($(ls "$frames" | wc -l) PNG files)"
