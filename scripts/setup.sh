#!/usr/bin/env bash
# Installs every Debian package the build, the show and the tests need.
# Safe to run again: apt-get skips what is already there.
set -euo pipefail

packages=(
  build-essential cmake ninja-build pkg-config git
  googletest libgtest-dev libbenchmark-dev
  clang libclang-rt-14-dev
  mingw-w64 g++-mingw-w64-x86-64-posix gcc-mingw-w64-x86-64-posix
  glslang-tools spirv-tools
  libstb-dev libfreetype-dev zlib1g-dev fonts-bebas-neue
  wine wine64 xvfb xauth x11-utils xdotool imagemagick pulseaudio
  ffmpeg fonts-dejavu-core python3 vkd3d-compiler bc
  libsdl2-dev libegl-dev libgles-dev libegl-mesa0 libgl1-mesa-dri
  spirv-cross libspirv-cross-c-shared-dev libpugixml-dev
  emscripten chromium chromium-driver python3-selenium python3-websockets
)

missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
[ ${#missing[@]} -eq 0 ] && { echo "setup: all packages present"; exit 0; }

if [ "$(id -u)" -eq 0 ]; then sudo=""; else sudo="sudo"; fi
echo "setup: installing ${missing[*]}"
export DEBIAN_FRONTEND=noninteractive
$sudo apt-get update -q
$sudo apt-get install -y -q --no-install-recommends "${missing[@]}"
