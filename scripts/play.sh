#!/usr/bin/env bash
# Sets up the machine, builds the show and plays it under Wine.
#
# With a display ($DISPLAY set) the show plays full screen with sound through
# the desktop's sound server; Escape ends it early. Without a display it runs
# on a virtual screen with a null audio sink and saves screenshots at known
# music times under build/screenshots/.
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
probe=build/windows/tests/wine/show/ThawlineProbe.exe
[ -f "$show" ] || { echo "play: $show was not built" >&2; exit 1; }

if [ -n "${DISPLAY:-}" ]; then
  echo "==== playing the show on $DISPLAY (Escape ends it) ===="
  bash scripts/wine-run.sh "$show"
  echo "play: the show ended."
else
  out="$(pwd)/build/screenshots"
  echo "==== no display: running the show on a virtual screen with a null audio sink ===="
  bash tests/wine/show/run-show.sh capture "$probe" "$out"
  echo "play: screenshots of the show at known music times (the file names give the time):"
  ls -1 "$out"/*.png
fi
