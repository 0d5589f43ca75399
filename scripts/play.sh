#!/usr/bin/env bash
# Sets up the machine, builds the show and plays it under Wine.
#
# With a display ($DISPLAY set) the show plays full screen with sound through
# the desktop's sound server; Escape ends it early. Without a display there is
# nothing to watch it on, so it makes a preview video of the whole show
# instead (scripts/capture.sh at a size and frame rate that a 2-core machine
# without a GPU renders in a few minutes) and says where it is.
set -euo pipefail
cd "$(dirname "$0")/.."

bash scripts/setup.sh

jobs=$(nproc)
echo "==== native build (host tools: shader translator, content generators) ===="
cmake --preset native >/dev/null
cmake --build --preset native -j "$jobs"
echo "==== Windows build ===="
cmake --preset windows >/dev/null
cmake --build --preset windows -j "$jobs"

show=build/windows/src/app/win32/Thawline.exe
[ -f "$show" ] || { echo "play: $show was not built" >&2; exit 1; }

if [ -n "${DISPLAY:-}" ]; then
  echo "==== playing the show on $DISPLAY (Escape ends it) ===="
  bash scripts/wine-run.sh "$show"
  echo "play: the show ended."
else
  # Measured on a 2-core machine without a GPU: up to about 1 s a frame at
  # this size (the text layers are drawn at 1920 x 1080 whatever the size).
  size=320x180 fps=10
  out=build/capture/thawline-preview-${size}-${fps}fps.mp4
  echo "==== no display: capturing a ${size} preview at ${fps} fps of the whole show (466 frames: about 4 to 8 minutes on 2 cores without a GPU) ===="
  THAW_CAPTURE_EXE=build/windows/src/app/win32/ThawlineCapture.exe bash scripts/capture.sh --size "$size" --fps "$fps" --out "$out"
  echo "play: the preview video is $out"
  echo "play: its contact sheet (one frame per second of music) is ${out%.mp4}.contact.png"
fi
