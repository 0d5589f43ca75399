#!/usr/bin/env bash
# Every pixel program drawn once on the same fixed inputs by both renderers
# (pass_dump.exe under Wine, pass_dump_gles natively) and compared at full
# float precision, program by program.
#
# Measured on llvmpipe: the scroller, palette, composite and present programs
# come out identical (at most 1e-6), the blur within 1.6e-5 (sums of 289
# taps rounded in another order). The others differ by design of their
# inputs: the clouds and background cut cells and bands exactly where some
# pixel centres fall (v = 0.25, 300 v whole), which the two pipelines'
# interpolated coordinates, different in their last bit, land on either side
# of; the rays' start jitter and the CRT's grain hash sines of large
# arguments. Those are reported, not bounded.
#   run-passes.sh <pass_dump.exe> <pass_dump_gles> <workdir>
set -uo pipefail
d3d=${1:?Direct3D pass dump}
gles=${2:?OpenGL ES pass dump}
work=${3:?work directory}
here=$(cd "$(dirname "$0")" && pwd)
root=$(cd "$here/../../.." && pwd)
rm -rf "$work" && mkdir -p "$work"
export THAW_NO_AUDIO=1
bash "$root/scripts/wine-run.sh" "$d3d" "Z:${work//\//\\}\\d3d11.bin" || { echo "FAIL: pass_dump.exe failed" >&2; exit 1; }
"$gles" "$work/gles.bin" || { echo "FAIL: pass_dump_gles failed" >&2; exit 1; }
python3 "$here/compare_passes.py" "$work/d3d11.bin" "$work/gles.bin" \
  "scroller=1e-5,scroller-nearest=1e-5,palette=1e-5,composite=1e-5,present=1e-5,blur=1e-4"
