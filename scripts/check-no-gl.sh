#!/usr/bin/env bash
# Builds vmopack and vmoviewer without the GL ES back end (as on a machine
# without the EGL and GL ES development files) into build-nogl/ and runs
# them: vmopack packs and inspects the demo show with every command but
# draw, which must refuse with a message; vmoviewer renders a second of the
# show on the null engine. Not part of the test command (it is a second
# build); run it by hand after changing what the back ends link.
set -euo pipefail
cd "$(dirname "$0")/.."
build=build-nogl
launcher=()
if command -v ccache >/dev/null; then
  launcher=(-DCMAKE_CXX_COMPILER_LAUNCHER=ccache -DCMAKE_C_COMPILER_LAUNCHER=ccache)
fi
cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DVMO_WITH_GL=OFF \
  -DVMO_BUILD_TESTS=OFF -DVMO_BUILD_BENCH=OFF "${launcher[@]}" >/dev/null
cmake --build "$build" --target vmopack vmoviewer -j "$(nproc)"

vmopack=$build/Tools/vmopack
out=$(mktemp -d)
trap 'rm -rf "$out"' EXIT
fail() {
  echo "FAIL: $*"
  exit 1
}
run() {
  "$@" >"$out/log" 2>&1 || { cat "$out/log"; fail "$*"; }
}

if ldd "$vmopack" | grep -Eq 'libGLESv2|libEGL|libSDL2'; then
  fail "vmopack links GL ES, EGL or SDL"
fi
show=$out/demo.VmShow
picture='C:\Shows\Demo\card.jpg'
run "$vmopack" pack samples/demo/demo.manifest -o "$show"
run "$vmopack" list "$show"
run "$vmopack" project "$show"
run "$vmopack" cat "$show" Project.vmo
run "$vmopack" timeline "$show" --deterministic
run "$vmopack" playlist "$show"
run "$vmopack" keypoints "$show" 1 Landscape --at 0,1000
run "$vmopack" macros "$show" 1 "<%SlideIndex%>"
run "$vmopack" picture "$show" "$picture" -o "$out/picture.png"
run "$vmopack" shadow "$show" 'Shadow: 0:0:40:30:5:5:0:0:7:8:255:255:0:0:0:100.00:0:N\A' -o "$out/shadow.png"
run "$vmopack" soundinfo "$show" 'C:\Shows\Demo\theme.wav'
run "$vmopack" decode "$show" 'C:\Shows\Demo\theme.wav' -o "$out/theme.wav" --ms 500
run "$vmopack" music "$show" -o "$out/music.wav" --to 1000
run "$vmopack" videoinfo "$show" 'C:\Shows\Demo\clip.mp4'
run "$vmopack" frame "$show" 'C:\Shows\Demo\clip.mp4' --index 3 -o "$out/frame.png"
if "$vmopack" draw "$show" "$picture" -o "$out/draw.png" >"$out/log" 2>&1; then
  fail "vmopack draw succeeded without an engine that draws"
fi
grep -q "no engine that draws" "$out/log" || fail "vmopack draw: $(cat "$out/log")"

run "$build/Vmo/vmoviewer" -exename "$show" -engine null -render "$out/frames" -to 1000
[ -f "$out/frames/frame000025.png" ] || fail "vmoviewer -engine null -render wrote no frame at 1 s"
echo "vmopack and vmoviewer run without GL ES"
