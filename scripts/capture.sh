#!/usr/bin/env bash
# Captures the show as a video: every frame rendered off-line at music time
# k / fps under Wine, encoded with its exact soundtrack into an MP4 (H.264 +
# AAC), with a contact sheet beside it (one thumbnail per second of music).
set -euo pipefail
cd "$(dirname "$0")/.."

usage() {
  cat <<'TEXT'
usage: scripts/capture.sh [--size WxH] [--fps N] [--from SECONDS] [--to SECONDS] [--out FILE.mp4]

Renders the show frame by frame (frame k at music time k / fps) and encodes it
with its soundtrack into an MP4 that common players and video sites accept:
H.264 (yuv420p, CRF 16) and AAC (256 kb/s), fast start, the exact frame rate.
Writes FILE.contact.png beside it: one labelled thumbnail per second of music.

  --size WxH       picture size, even numbers (default 1920x1080)
  --fps N          frames per second, 1-240 (default 60)
  --from SECONDS   start of the span (default 0)
  --to SECONDS     end of the span, at most 46.57 (default: the show's end)
  --out FILE.mp4   default build/capture/thawline-<W>x<H>-<fps>fps.mp4
  -h, --help       show this help

Every frame from time 0 is drawn, also when only a later span is written:
the melt trail grows from the previous frame. Needs no display (a virtual
screen is started) and no sound server.
TEXT
}

fail() { echo "capture: $*" >&2; exit 1; }

size=1920x1080 fps=60 out="" pass=()
while [ $# -gt 0 ]; do
  case "$1" in
    -h|--help) usage; exit 0 ;;
    --size|--fps|--from|--to|--out)
      [ $# -ge 2 ] || { echo "capture: missing value after $1 (try --help)" >&2; exit 2; }
      case "$1" in
        --size) size=$2 ;;
        --fps) fps=$2 ;;
        --out) out=$2 ;;
      esac
      [ "$1" = --out ] || pass+=("$1" "$2")
      shift 2 ;;
    *) echo "capture: unknown option $1 (try --help)" >&2; exit 2 ;;
  esac
done
[ -n "$out" ] || out="build/capture/thawline-${size}-${fps}fps.mp4"
case "$out" in *.mp4) ;; *) echo "capture: --out wants a file name ending in .mp4, not \"$out\"" >&2; exit 2 ;; esac

# THAW_CAPTURE_EXE: a capture program already built (the tests use it).
exe=${THAW_CAPTURE_EXE:-}
if [ -z "$exe" ]; then
  bash scripts/setup.sh
  echo "capture: building (native host tools, then the Windows programs)"
  cmake --preset native >/dev/null
  cmake --build --preset native -j "$(nproc)" >/dev/null
  cmake --preset windows >/dev/null
  cmake --build --preset windows -j "$(nproc)" --target ThawlineCapture >/dev/null
  exe=build/windows/src/app/win32/ThawlineCapture.exe
fi
[ -f "$exe" ] || fail "$exe was not built"
for tool in ffmpeg ffprobe; do command -v "$tool" >/dev/null || fail "$tool is missing (run scripts/setup.sh)"; done

export THAW_NO_AUDIO=1   # the soundtrack is rendered, not played
capture() { bash scripts/wine-run.sh "$exe" "$@"; }

# The program checks the options and plans the span.
plan=$(capture "${pass[@]}" --describe) || exit 2
read -r width height fps first count rendered _ _ <<<"$plan"

mkdir -p "$(dirname "$out")"
work=$(mktemp -d "$(dirname "$out")/.capture.XXXXXX")
trap 'rm -rf "$work"' EXIT
# Wine sees the Unix file system as drive Z:.
winePath() { local p; p=$(cd "$(dirname "$1")" && pwd)/$(basename "$1"); echo "Z:${p//\//\\}"; }

progress=()
[ -t 2 ] && progress=(--progress)
spanStart=$(awk -v k="$first" -v r="$fps" 'BEGIN { printf "%.3f", k / r }')
echo "capture: ${width}x${height} at ${fps} fps: $rendered frames to draw, the $count from music time $spanStart s written -> $out"
start=$(date +%s)
set +e
capture "${pass[@]}" --sound "$(winePath "$work/sound.f32")" "${progress[@]}" |
  ffmpeg -hide_banner -loglevel error -nostdin -y \
    -f rawvideo -pix_fmt rgba -s "${width}x${height}" -framerate "$fps" -i - \
    -vf "scale=out_color_matrix=bt709:out_range=tv,format=yuv420p" \
    -c:v libx264 -preset medium -crf 16 -colorspace bt709 -color_primaries bt709 -color_trc bt709 \
    "$work/video.mp4"
status=("${PIPESTATUS[@]}")
set -e
[ "${status[0]}" -eq 0 ] || fail "the capture program failed (exit code ${status[0]}); no video written"
[ "${status[1]}" -eq 0 ] || fail "the video encoder failed (exit code ${status[1]}); no video written"

ffmpeg -hide_banner -loglevel error -nostdin -y -i "$work/video.mp4" \
  -f f32le -ar 44100 -ac 2 -i "$work/sound.f32" \
  -map 0:v -map 1:a -c:v copy -c:a aac -b:a 256k -movflags +faststart -shortest "$work/final.mp4" ||
  fail "muxing the soundtrack failed; no video written"

# One thumbnail per whole second of music in the span, labelled with it.
seconds=$(( (first + fps - 1) / fps ))
offset=$(( first % fps ))
font=/usr/share/fonts/truetype/dejavu/DejaVuSans-Bold.ttf
ffmpeg -hide_banner -loglevel error -nostdin -y -i "$work/video.mp4" \
  -vf "select='not(mod(n+$offset\,$fps))',scale=320:-2,drawtext=fontfile=$font:text='%{eif\:n+$seconds\:d} s':x=8:y=8:fontsize=20:fontcolor=white:box=1:boxcolor=black@0.6:boxborderw=4,tile=6x8:padding=4:color=gray" \
  -fps_mode vfr -frames:v 1 -update 1 "$work/contact.png" ||
  fail "drawing the contact sheet failed; no video written"

mv -f "$work/final.mp4" "$out"
mv -f "$work/contact.png" "${out%.mp4}.contact.png"
echo "capture: done in $(( $(date +%s) - start )) s: $out ($(du -h "$out" | cut -f1)), contact sheet ${out%.mp4}.contact.png"
