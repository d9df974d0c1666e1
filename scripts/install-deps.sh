#!/usr/bin/env bash
# Installs the Debian 12 packages that the build, the tests and the benchmarks
# use now; a target that needs a library adds its packages here with it.
# Only packages that are missing are installed, so a machine that has them
# all is left alone and no network access is needed.
set -euo pipefail

packages=(
  # the build, the tests and the benchmarks
  build-essential cmake ninja-build pkg-config
  googletest libgtest-dev libgmock-dev libbenchmark-dev
  # QxLib: inflate, pictures; djpeg is the benchmarks' baseline
  zlib1g-dev libjpeg62-turbo-dev libjpeg-turbo-progs libpng-dev
  # the SDL2 window system (VmoLib2/3DBasics/Sdl)
  libsdl2-dev
  # the GL ES back end (VmoLib2/3DBasics/GL) and Mesa's drivers it draws with headless
  libegl-dev libgles-dev libegl-mesa0 libgl1-mesa-dri
)

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
