#!/usr/bin/env bash
# Captures the show as a video: every frame rendered off-line at music time
# k / fps (on Direct3D 11 under Wine, or natively on OpenGL ES), encoded with its exact soundtrack into an MP4 (H.264 +
# AAC), with a contact sheet beside it (one thumbnail per second of music).
set -euo pipefail

usage() {
  cat <<'TEXT'
usage: scripts/capture.sh [--renderer d3d11|gles] [--size WxH] [--fps N] [--from SECONDS] [--to SECONDS]
                          [--out FILE.mp4]

Renders the show frame by frame (frame k at music time k / fps) and encodes it
with its soundtrack into an MP4 that common players and video sites accept:
H.264 (yuv420p, CRF 16) and AAC (256 kb/s), fast start, the exact frame rate.
Writes FILE.contact.png beside it: the span's first frame and one labelled
thumbnail per whole second of music.

  --renderer R     d3d11: the Windows show's renderer, under Wine;
                   gles: the OpenGL ES renderer, natively (default: d3d11)
  --size WxH       picture size, even numbers (default 1920x1080)
  --fps N          frames per second, 1-240 (default 60)
  --from SECONDS   start of the span (default 0)
  --to SECONDS     end of the span, at most 46.57 (default: the show's end)
  --out FILE.mp4   default build/capture/thawline-<W>x<H>-<fps>fps.mp4
  -h, --help       show this help

Every frame from time 0 is drawn, also when only a later span is written:
the melt trail grows from the previous frame. Needs no display (a virtual
screen is started for Wine) and no sound server. Interrupted (Ctrl-C, TERM, HUP), it
stops the whole pipeline and leaves no file under the output name.
TEXT
}

fail() { echo "capture: $*" >&2; exit 1; }

size=1920x1080 fps=60 out="" pass=() renderer=d3d11
while [ $# -gt 0 ]; do
  case "$1" in
    -h|--help) usage; exit 0 ;;
    --size|--fps|--from|--to|--out|--renderer)
      [ $# -ge 2 ] || { echo "capture: missing value after $1 (try --help)" >&2; exit 2; }
      case "$2" in --*|-h) echo "capture: missing value after $1 ($2 is an option; try --help)" >&2; exit 2 ;; esac
      case "$1" in
        --size) size=$2 ;;
        --fps) fps=$2 ;;
        --out) out=$2 ;;
        --renderer) renderer=$2 ;;
      esac
      case "$1" in --out|--renderer) ;; *) pass+=("$1" "$2") ;; esac
      shift 2 ;;
    *) echo "capture: unknown option $1 (try --help)" >&2; exit 2 ;;
  esac
done
case "$renderer" in d3d11|gles) ;; *) echo "capture: --renderer wants d3d11 or gles, not \"$renderer\"" >&2; exit 2 ;; esac
case "${out:-x.mp4}" in *.mp4) ;; *) echo "capture: --out wants a file name ending in .mp4, not \"$out\"" >&2; exit 2 ;; esac

# Paths the caller gave are relative to the caller's folder, not ours.
root=$(cd -- "$(dirname -- "$0")/.." && pwd)
if [ -n "$out" ]; then
  out=$(realpath -m -- "$out")
else
  out="$root/build/capture/thawline-${size}-${fps}fps.mp4"
fi
sheet="${out%.mp4}.contact.png"
# THAW_CAPTURE_EXE: a capture program already built (the tests use it).
exe=${THAW_CAPTURE_EXE:+$(realpath -m -- "$THAW_CAPTURE_EXE")}
cd -- "$root"

if [ -z "$exe" ]; then
  bash scripts/setup.sh
  echo "capture: building the $renderer capture program"
  cmake --preset native >/dev/null
  if [ "$renderer" = gles ]; then
    cmake --build --preset native -j "$(nproc)" --target thawline-capture >/dev/null
    exe=$root/build/native/src/app/linux/thawline-capture
  else
    cmake --build --preset native -j "$(nproc)" >/dev/null
    cmake --preset windows >/dev/null
    cmake --build --preset windows -j "$(nproc)" --target ThawlineCapture >/dev/null
    exe=$root/build/windows/src/app/windows/ThawlineCapture.exe
  fi
fi
[ -f "$exe" ] || fail "$exe was not built"
for tool in ffmpeg ffprobe realpath; do command -v "$tool" >/dev/null || fail "$tool is missing (run scripts/setup.sh)"; done

# Called only in subshells (a pipeline, a command substitution), where `exec`
# leaves no shell between the pipeline and the program: the pipeline's end
# is then the program's end.
if [ "$renderer" = gles ]; then
  capture() { exec "$exe" "$@"; }
  soundPath() { echo "$1"; }
else
  export THAW_NO_AUDIO=1   # the soundtrack is rendered, not played
  capture() { exec bash scripts/wine-run.sh "$exe" "$@"; }
  # Wine sees the Unix file system as drive Z:.
  soundPath() { echo "Z:${1//\//\\}"; }
fi

# The program checks the options and plans the span.
plan=$(capture "${pass[@]}" --describe) || exit 2
read -r width height fps first count rendered _ _ <<<"$plan"

mkdir -p -- "$(dirname -- "$out")"
work=$(mktemp -d -- "$(dirname -- "$out")/.capture.XXXXXX")
pipeline="" publishing=0

# Stops the encoding pipeline (its own process group: the capture program,
# ffmpeg and the subshell between them) and waits for it; the subshell waits
# for both programs, so nothing writes on afterwards.
stop_pipeline() {
  [ -n "$pipeline" ] || return 0
  kill -TERM -- "-$pipeline" 2>/dev/null || true
  # A second signal (see on_signal) cuts the first wait short.
  wait "$pipeline" 2>/dev/null || wait "$pipeline" 2>/dev/null || true
  pipeline=""
}
on_signal() {
  # Stopping waits for the frame being drawn; a second Ctrl-C does not.
  trap '[ -z "$pipeline" ] || kill -KILL -- "-$pipeline" 2>/dev/null' INT TERM HUP
  stop_pipeline
  # A signal between the two moves must not leave half a result published.
  [ "$publishing" = 1 ] && rm -f -- "$out" "$sheet"
  rm -rf -- "$work"
  echo "capture: interrupted; no video written" >&2
  exit "$1"
}
trap 'on_signal 130' INT
trap 'on_signal 143' TERM
trap 'on_signal 129' HUP
trap 'stop_pipeline; rm -rf -- "$work"' EXIT

progress=()
[ -t 2 ] && progress=(--progress)
spanStart=$(awk -v k="$first" -v r="$fps" 'BEGIN { printf "%.3f", k / r }')
echo "capture: ${width}x${height} at ${fps} fps on $renderer: $rendered frames to draw, the $count from music time $spanStart s written -> $out"
start=$(date +%s)
# In the background with job control, the pipeline gets a process group of
# its own that a signal handler can stop as a whole, and `wait` returns as
# soon as a signal arrives.
set -m
(
  set +e
  # A signal waits until both programs have ended (bash runs a trap only
  # after the foreground pipeline); a shell killed at once would leave them
  # running on their own.
  trap : INT TERM HUP
  capture "${pass[@]}" --sound "$(soundPath "$work/sound.f32")" "${progress[@]}" |
    ffmpeg -hide_banner -loglevel error -nostdin -y \
      -f rawvideo -pix_fmt rgba -s "${width}x${height}" -framerate "$fps" -i - \
      -vf "scale=out_color_matrix=bt709:out_range=tv,format=yuv420p" \
      -c:v libx264 -preset medium -crf 16 -colorspace bt709 -color_primaries bt709 -color_trc bt709 \
      "$work/video.mp4"
  echo "${PIPESTATUS[*]}" >"$work/status"
) &
pipeline=$!
set +m
wait "$pipeline" || true
pipeline=""
read -r captureStatus encodeStatus <"$work/status" 2>/dev/null || fail "the capture pipeline stopped without a status"
# An encoder that stops makes the capture program fail on its next write: ask
# the encoder first.
[ "$encodeStatus" -eq 0 ] || fail "the video encoder failed (exit code $encodeStatus); no video written"
[ "$captureStatus" -eq 0 ] || fail "the capture program failed (exit code $captureStatus); no video written"

encoded=$(ffprobe -v error -count_frames -select_streams v:0 -show_entries stream=nb_read_frames -of csv=p=0 \
  "$work/video.mp4") || fail "cannot read back the encoded video; no video written"
[ "$encoded" = "$count" ] || fail "the video holds $encoded frames, not the $count planned; no video written"

ffmpeg -hide_banner -loglevel error -nostdin -y -i "$work/video.mp4" \
  -f f32le -ar 44100 -ac 2 -i "$work/sound.f32" \
  -map 0:v -map 1:a -c:v copy -c:a aac -b:a 256k -movflags +faststart -shortest "$work/final.mp4" ||
  fail "muxing the soundtrack failed; no video written"
# ffmpeg can exit 0 with a file it could not finish (a full disk while it
# writes the index): read the result back.
muxedFrames=$(ffprobe -v error -count_frames -select_streams v:0 -show_entries stream=nb_read_frames -of csv=p=0 \
  "$work/final.mp4" 2>/dev/null) || muxedFrames=""
muxedSound=$(ffprobe -v error -select_streams a:0 -show_entries stream=codec_type -of csv=p=0 "$work/final.mp4" \
  2>/dev/null) || muxedSound=""
if [ "$muxedFrames" != "$count" ] || [ "$muxedSound" != audio ]; then
  fail "the video with its soundtrack came out unreadable or incomplete ($(df -Ph -- "$work" | awk 'NR == 2 { print $4 }') free on its disk); no video written"
fi

# The contact sheet: the span's first frame, then one thumbnail per whole
# second of music in the span, each labelled with its music time. The grid
# holds just those (up to 6 a row).
offset=$(( (fps - first % fps) % fps ))            # video frame of the first whole second
seconds=$(( (first + fps - 1) / fps ))             # that second
wholes=$(( count > offset ? (count - offset + fps - 1) / fps : 0 ))
extra=$(( offset > 0 ? 1 : 0 ))                     # the first frame, when not on a whole second
thumbs=$(( wholes + extra ))
columns=$(( thumbs < 6 ? thumbs : 6 ))
rows=$(( (thumbs + columns - 1) / columns ))
firstLabel=$(awk -v k="$first" -v r="$fps" 'BEGIN { printf "%g", k / r }')
font=/usr/share/fonts/truetype/dejavu/DejaVuSans-Bold.ttf
label="x=8:y=8:fontsize=20:fontcolor=white:box=1:boxcolor=black@0.6:boxborderw=4:fontfile=$font"
ffmpeg -hide_banner -loglevel error -nostdin -y -i "$work/video.mp4" \
  -vf "select='eq(n\,0)+not(mod(n-$offset\,$fps))*gte(n\,$offset)',scale=320:-2,drawtext=$label:text='$firstLabel s':enable='eq(n\,0)*$extra',drawtext=$label:text='%{eif\:n-$extra+$seconds\:d} s':enable='gte(n\,$extra)',tile=${columns}x${rows}:padding=4:color=gray" \
  -fps_mode vfr -frames:v 1 -update 1 "$work/contact.png" ||
  fail "drawing the contact sheet failed; no video written"
[ -s "$work/contact.png" ] || fail "the contact sheet came out empty; no video written"

publishing=1
mv -f -- "$work/final.mp4" "$out"
mv -f -- "$work/contact.png" "$sheet"
publishing=0
echo "capture: done in $(( $(date +%s) - start )) s: $out ($(du -h -- "$out" | cut -f1)), contact sheet $sheet"
