#!/usr/bin/env bash
# Sets up, builds and plays the show.
#
# With a display ($DISPLAY or $WAYLAND_DISPLAY set) the show plays natively on
# Linux (thawline: OpenGL ES 3, SDL2), full screen with sound; Escape ends it
# early. `--wine` plays the Windows build under Wine instead. Without a
# display there is nothing to watch it on, so it makes a preview video of the
# whole show (scripts/capture.sh at a size and frame rate that a 2-core
# machine without a GPU renders in a few minutes) and says where it is.
set -euo pipefail
cd "$(dirname "$0")/.."

wine=0
case "${1:-}" in
  "") ;;
  --wine) wine=1 ;;
  -h|--help) echo "usage: scripts/play.sh [--wine]   (--wine: the Windows build under Wine)"; exit 0 ;;
  *) echo "play: unknown option $1 (try --help)" >&2; exit 2 ;;
esac

bash scripts/setup.sh

jobs=$(nproc)
echo "==== native build (the Linux show, host tools: shader translators, content generators) ===="
cmake --preset native >/dev/null
cmake --build --preset native -j "$jobs"

if [ -n "${DISPLAY:-}${WAYLAND_DISPLAY:-}" ] && [ "$wine" = 0 ]; then
  show=build/native/src/app/linux/thawline
  [ -f "$show" ] || { echo "play: $show was not built" >&2; exit 1; }
  echo "==== playing the show (Escape ends it) ===="
  "$show"
  echo "play: the show ended."
  exit 0
fi

echo "==== Windows build ===="
cmake --preset windows >/dev/null
cmake --build --preset windows -j "$jobs"
show=build/windows/src/app/windows/Thawline.exe
[ -f "$show" ] || { echo "play: $show was not built" >&2; exit 1; }

if [ -n "${DISPLAY:-}" ]; then
  echo "==== playing the Windows show under Wine on $DISPLAY (Escape ends it) ===="
  bash scripts/wine-run.sh "$show"
  echo "play: the show ended."
else
  # Measured on a 2-core machine without a GPU: up to about 1 s a frame at
  # this size (the text layers are drawn at 1920 x 1080 whatever the size).
  size=320x180 fps=10
  out=build/capture/thawline-preview-${size}-${fps}fps.mp4
  echo "==== no display: capturing a ${size} preview at ${fps} fps of the whole show (466 frames: about 4 to 8 minutes on 2 cores without a GPU) ===="
  THAW_CAPTURE_EXE=build/windows/src/app/windows/ThawlineCapture.exe bash scripts/capture.sh --renderer d3d11 \
    --size "$size" --fps "$fps" --out "$out"
  echo "play: the preview video is $out"
  echo "play: its contact sheet (one frame per second of music) is ${out%.mp4}.contact.png"
fi
