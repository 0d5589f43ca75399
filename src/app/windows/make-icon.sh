#!/usr/bin/env bash
# Writes the window-class icon: an .ico with two 32-bit images (16 x 16 and
# 32 x 32) of a bar of warm "text" melting into drips over a dark violet
# ground. Generated at build time so the repository holds no binary.
#   make-icon.sh <output.ico>
set -euo pipefail
[ $# -eq 1 ] || { echo "usage: make-icon.sh <output.ico>" >&2; exit 2; }

bytes=""
u8()  { bytes+=$(printf '\\x%02x' $(( $1 & 255 ))); }
u16() { u8 "$1"; u8 $(( $1 >> 8 )); }
u32() { u16 $(( $1 & 65535 )); u16 $(( ($1 >> 16) & 65535 )); }

imageBytes() { local s=$1; echo $(( 40 + s * s * 4 + s * ((s + 31) / 32) * 4 )); }

# Pixel (x, y) with y counted from the top, written as B, G, R, A.
pixel() {
  local s=$1 x=$2 y=$3
  local top=$(( s / 4 )) bottom=$(( s / 2 ))
  # Each column drips by its own length; the pattern repeats every 5 columns.
  local drip=$(( ((x * 7 + 3) % 5) * s / 10 ))
  if [ "$y" -ge "$top" ] && [ "$y" -lt $(( bottom + drip )) ]; then
    local fade=$(( (y - top) * 160 / s ))
    u8 $(( 40 + fade / 4 )); u8 $(( 200 - fade )); u8 255; u8 255
  else
    u8 $(( 70 + y * 40 / s )); u8 16; u8 40; u8 255
  fi
}

image() {
  local s=$1
  u32 40; u32 "$s"; u32 $(( s * 2 )); u16 1; u16 32; u32 0
  u32 $(( s * s * 4 + s * ((s + 31) / 32) * 4 )); u32 0; u32 0; u32 0; u32 0
  local x y
  for (( y = s - 1; y >= 0; y-- )); do      # bitmaps are stored bottom-up
    for (( x = 0; x < s; x++ )); do pixel "$s" "$x" "$y"; done
  done
  for (( y = 0; y < s * ((s + 31) / 32) * 4; y++ )); do u8 0; done   # AND mask: all opaque
}

# Icon directory: two entries, images follow back to back.
u16 0; u16 1; u16 2
offset=$(( 6 + 2 * 16 ))
for s in 16 32; do
  u8 "$s"; u8 "$s"; u8 0; u8 0; u16 1; u16 32; u32 "$(imageBytes "$s")"; u32 "$offset"
  offset=$(( offset + $(imageBytes "$s") ))
done
image 16
image 32
printf '%b' "$bytes" > "$1"
