#!/usr/bin/env bash
# The cross-check of the two renderers: the same frames captured with the
# Direct3D 11 program under Wine (DXBC from our translator) and with the
# OpenGL ES program natively (GLSL ES from spirv-cross), both on Mesa's
# llvmpipe, compared frame by frame.
#
#   run-crosscheck.sh <ThawlineCapture.exe> <thawline-capture> <workdir> <floor PSNR dB> [fps] [to]
#
# Before the melt trail takes off (5.65 s) the two renderers differ only where
# a steep threshold (the text key, the palette's steps) flips on a rounding
# difference: measured at 160x90 and 4 fps, the intro's frames stay above
# 44.9 dB with at most 3.0 % of pixels differing, the melt burst's above
# 39.4 dB with at most 5.8 %. The gates sit just outside that (42 dB / 4 %,
# 37 dB / 7 %). Once the feedback grows (from 5.65 s) a flipped pixel is fed
# back frame after frame and the pictures drift apart (down to 22.1 dB over
# the whole show); there only the floor applies, which catches gross faults
# (a mirrored or missing layer).
set -uo pipefail

d3d=${1:?Direct3D capture program}
gles=${2:?OpenGL ES capture program}
work=${3:?work directory}
min_psnr=${4:?lowest PSNR in dB}
fps=${5:-4}
to=${6:-6}
here=$(cd "$(dirname "$0")" && pwd)
root=$(cd "$here/../../.." && pwd)
fail() { echo "FAIL: $*" >&2; exit 1; }
export THAW_NO_AUDIO=1

rm -rf "$work"
mkdir -p "$work"
size=160x90
options=(--size $size --fps "$fps" --to "$to")

# Both programs plan the same frames.
d3d_plan=$(bash "$root/scripts/wine-run.sh" "$d3d" "${options[@]}" --describe | tr -d '\r') || fail "the Direct3D capture could not describe its plan"
gles_plan=$("$gles" "${options[@]}" --describe) || fail "the OpenGL ES capture could not describe its plan"
[ "$d3d_plan" = "$gles_plan" ] || fail "the plans differ: '$d3d_plan' and '$gles_plan'"
echo "plan: $gles_plan"

start=$(date +%s.%N)
bash "$root/scripts/wine-run.sh" "$d3d" "${options[@]}" >"$work/d3d11.rgba" 2>"$work/d3d11.log" ||
  { tail -n 3 "$work/d3d11.log" >&2; fail "the Direct3D capture failed"; }
middle=$(date +%s.%N)
"$gles" "${options[@]}" >"$work/gles.rgba" 2>"$work/gles.log" ||
  { tail -n 3 "$work/gles.log" >&2; fail "the OpenGL ES capture failed"; }
end=$(date +%s.%N)
echo "capture seconds: d3d11 $(echo "$middle - $start" | bc) gles $(echo "$end - $middle" | bc)"

# The show's sections, in seconds (ticks at 22 2/3 per second); the gates of
# the first two are for 4 frames per second, which is what was measured.
if [ "$fps" = 4 ]; then
  spans="intro=0-2.74:42:4,melt-burst=2.74-5.65:37:7"
else
  spans="intro=0-2.74,melt-burst=2.74-5.65"
fi
spans="$spans,crt-rays=5.65-15.53,nearest=15.53-16.95,drips=16.95-30.40"
spans="$spans,noise=30.40-35.47,scanlines=35.47-45.18,finale=45.18-46.57"
python3 "$here/compare_frames.py" "$work/d3d11.rgba" "$work/gles.rgba" 160 90 "$fps" 0 "$min_psnr" "$spans"
