#!/usr/bin/env bash
# Installs the Debian 12 packages that the build, the tests and the benchmarks
# use now; a target that needs a library adds its packages here with it.
# Only packages that are missing are installed, so a machine that has them
# all is left alone and no network access is needed.
#
#   install-deps.sh          what the builds and tests need
#   install-deps.sh --fuzz   that, plus clang with libFuzzer and the symbolizer
#                            for the long fuzz runs of scripts/fuzz.sh
set -euo pipefail

packages=(
  # the build, the tests and the benchmarks
  build-essential cmake ninja-build pkg-config
  googletest libgtest-dev libgmock-dev libbenchmark-dev
  # QxLib: inflate, pictures; djpeg is the benchmarks' baseline
  zlib1g-dev libjpeg62-turbo-dev libjpeg-turbo-progs libpng-dev
  # sound: MPEG audio, MS-ADPCM and the Vorbis plug-in; the programs that
  # make the sound test media and their reference decodes
  libmpg123-dev libvorbis-dev mpg123 ffmpeg sox vorbis-tools
  # the video-decoding library and the WMA plug-in (Plugins/)
  libavcodec-dev libavformat-dev libavutil-dev libswscale-dev libswresample-dev
  # text: outlines, font matching, shaping and bidi; photo metadata; the fonts
  # the text tests and the demo use
  libfreetype-dev libfontconfig-dev libharfbuzz-dev libfribidi-dev libexiv2-dev
  fonts-dejavu-core fonts-lohit-deva fonts-droid-fallback fonts-symbola
  # the SDL2 window system (VmoLib2/3DBasics/Sdl) and sound device
  libsdl2-dev
  # the GL ES back end (VmoLib2/3DBasics/GL) and Mesa's drivers it draws with headless
  libegl-dev libgles-dev libegl-mesa0 libgl1-mesa-dri
  # the windowed tests under a virtual X server; the GTK 3 dialogs; the
  # desktop's opener of web and mail addresses
  xvfb xauth libgtk-3-dev xdg-utils
)
if [[ "${1:-}" == "--fuzz" ]]; then
  packages+=(clang libclang-rt-14-dev llvm-14)
fi

missing=()
for p in "${packages[@]}"; do
  status=$(dpkg-query -W -f='${Status}' "$p" 2>/dev/null || true)
  [[ "$status" == "install ok installed" ]] || missing+=("$p")
done

if ((${#missing[@]} == 0)); then
  echo "install-deps: all ${#packages[@]} packages present"
  exit 0
fi

echo "install-deps: installing ${missing[*]}"
sudo=""
if [[ $(id -u) -ne 0 ]]; then sudo="sudo"; fi
export DEBIAN_FRONTEND=noninteractive
$sudo apt-get update -qq
$sudo apt-get install -y -qq --no-install-recommends "${missing[@]}"
