#!/usr/bin/env bash
# Checks the capture from the outside, under Wine with a real Direct3D device:
# frame counts, two captures byte for byte, the soundtrack against xmrender,
# the picture against the music time, the encoded MP4 and the error paths.
#
#   run-capture.sh <ThawlineCapture.exe> <xmrender> <song.xm> <workdir>
set -uo pipefail

exe=${1:?capture program}
xmrender=${2:?xmrender}
song=${3:?song module}
work=${4:?work directory}
here=$(cd "$(dirname "$0")" && pwd)
root=$(cd "$here/../../.." && pwd)

fail() { echo "FAIL: $*" >&2; exit 1; }
note() { echo "run-capture: $*"; }
export THAW_NO_AUDIO=1
capture() { bash "$root/scripts/wine-run.sh" "$exe" "$@"; }
winePath() { local p="$1"; echo "Z:${p//\//\\}"; }

rm -rf "$work"
mkdir -p "$work"
width=160 height=90 fps=4 from=17.25 to=17.75

# 1. Two captures of the same span: every frame from 0 is drawn, 2 written.
for run in a b; do
  capture --size ${width}x$height --fps $fps --from $from --to $to \
    --sound "$(winePath "$work/$run.f32")" >"$work/$run.rgba" 2>"$work/$run.log" ||
    { cat "$work/$run.log" >&2; fail "capture $run failed"; }
done
tail -n 1 "$work/a.log"
frames=$(( $(stat -c %s "$work/a.rgba") / (width * height * 4) ))
note "$frames frames of ${width}x$height for $from..$to s at $fps fps"
[ "$frames" -eq 2 ] || fail "expected (17.75 - 17.25) x 4 = 2 frames, got $frames"
[ "$(stat -c %s "$work/a.rgba")" -eq $(( 2 * width * height * 4 )) ] || fail "a partial frame was written"
cmp -s "$work/a.rgba" "$work/b.rgba" || fail "two captures with the same options differ"
cmp -s "$work/a.f32" "$work/b.f32" || fail "two soundtracks with the same options differ"

# 2. The soundtrack is xmrender's output for the span: music 17.25 s is frame
#    760,725, and the span is 22,050 frames (8 bytes each, after a 58-byte header).
"$xmrender" "$song" "$work/song.wav" >/dev/null 2>&1 || fail "xmrender failed"
tail -c +$(( 58 + 760725 * 8 + 1 )) "$work/song.wav" | head -c $(( 22050 * 8 )) >"$work/expected.f32"
[ "$(stat -c %s "$work/a.f32")" -eq $(( 22050 * 8 )) ] || fail "the soundtrack holds $(stat -c %s "$work/a.f32") bytes, not $(( 22050 * 8 ))"
cmp -s "$work/a.f32" "$work/expected.f32" || fail "the soundtrack differs from xmrender's frames for the span"
note "soundtrack: 22050 frames, identical to xmrender's"

# 3. The picture follows the music time: frames 69 and 70 (17.25 s, 17.5 s).
python3 "$here/scroll_shift.py" "$work/a.rgba" $width $height $fps 69 69 70 || exit 1

# 4. The user command end to end on a short span: an MP4 players accept.
out="$work/video/short.mp4"
THAW_CAPTURE_EXE="$exe" bash "$root/scripts/capture.sh" --size 128x72 --fps 4 --from 0 --to 2 --out "$out" ||
  fail "scripts/capture.sh failed"
probe=$(ffprobe -v error -count_frames -show_entries \
  stream=codec_type,codec_name,pix_fmt,width,height,r_frame_rate,nb_read_frames,sample_rate,channels:format=duration \
  -of default=noprint_wrappers=1 "$out")
note "$(echo "$probe" | tr '\n' ' ')"
expect() { echo "$probe" | grep -qx "$1" || fail "the MP4 lacks $1"; }
expect "codec_type=video"; expect "codec_name=h264"; expect "pix_fmt=yuv420p"
expect "width=128"; expect "height=72"; expect "r_frame_rate=4/1"; expect "nb_read_frames=8"
expect "codec_type=audio"; expect "codec_name=aac"; expect "sample_rate=44100"; expect "channels=2"
[ "$(echo "$probe" | grep -c '^codec_type=')" -eq 2 ] || fail "the MP4 should hold exactly two streams"
duration=$(echo "$probe" | sed -n 's/^duration=//p')
awk -v d="$duration" 'BEGIN { exit !(d > 1.95 && d < 2.1) }' || fail "the MP4 lasts $duration s, not 2"
[ -s "${out%.mp4}.contact.png" ] || fail "no contact sheet beside the video"
# Fast start: the index (moov) comes before the media data (mdat).
boxes=$(python3 - "$out" <<'PY'
import struct, sys
data = open(sys.argv[1], "rb").read()
at, names = 0, []
while at + 8 <= len(data):
    size, name = struct.unpack(">I4s", data[at:at + 8])
    size = struct.unpack(">Q", data[at + 8:at + 16])[0] if size == 1 else size
    names.append(name.decode("latin-1"))
    if size < 8:
        break
    at += size
print(" ".join(names))
PY
)
case "$boxes" in *moov*mdat*) ;; *) fail "not a fast-start MP4: boxes $boxes" ;; esac
[ -z "$(ls -A "$work/video" | grep '^\.capture')" ] || fail "scratch files left beside the video"

# 5. A span with no whole second, with a relative output name that starts
#    with a dash, from another folder: the file lands there, and the contact
#    sheet holds the span's first frame (one thumbnail, not an empty grid).
mkdir -p "$work/elsewhere"
(cd "$work/elsewhere" && THAW_CAPTURE_EXE="$exe" bash "$root/scripts/capture.sh" --size 64x36 --fps 4 \
  --from 0.25 --to 0.75 --out -sub.mp4) >"$work/sub.log" 2>&1 || { cat "$work/sub.log" >&2; fail "a sub-second span failed"; }
[ -s "$work/elsewhere/-sub.mp4" ] && [ -s "$work/elsewhere/-sub.contact.png" ] ||
  fail "the relative --out did not land in the caller's folder: $(ls -A "$work/elsewhere")"
sheet=$(python3 -c 'import struct,sys; d=open(sys.argv[1],"rb").read(24); print(*struct.unpack(">II", d[16:24]))' \
  "$work/elsewhere/-sub.contact.png")
[ "${sheet%% *}" -lt 400 ] || fail "a one-thumbnail contact sheet is $sheet pixels"
note "sub-second span: $(tail -n 1 "$work/sub.log" | cut -c1-60)...; sheet $sheet"

# 6. Interruptions stop everything and publish nothing: TERM to the script,
#    Ctrl-C to its process group, and Ctrl-C to the program itself.
interrupt() {  # signal, target (script|group), expected exit code
  local name="intr-$1" pid status
  # Job control gives the run a process group of its own, as a terminal would,
  # and leaves SIGINT deliverable (a plain background job ignores it).
  set -m
  bash "$root/scripts/capture.sh" --size 64x36 --fps 8 --to 40 --out "$work/$name.mp4" >"$work/$name.log" 2>&1 &
  pid=$!
  set +m
  for _ in $(seq 1 300); do
    compgen -G "$work/.capture.*/sound.f32" >/dev/null && pgrep -f "$work/.capture" >/dev/null && break
    sleep 0.1
  done
  sleep 2
  if [ "$2" = group ]; then kill "-$1" -- "-$pid"; else kill "-$1" "$pid"; fi
  status=0
  wait "$pid" || status=$?
  [ "$status" -eq "$3" ] || { cat "$work/$name.log" >&2; fail "SIG$1 to the $2: exit $status, not $3"; }
  grep -q "interrupted" "$work/$name.log" || fail "SIG$1 to the $2 did not say interrupted: $(cat "$work/$name.log")"
  sleep 0.5
  ! pgrep -f "$work/.capture" >/dev/null || fail "SIG$1 to the $2 left the pipeline running"
  [ -z "$(compgen -G "$work/.capture.*")" ] && [ ! -e "$work/$name.mp4" ] && [ ! -e "$work/$name.contact.png" ] ||
    fail "SIG$1 to the $2 left files: $(ls -A "$work")"
}
export THAW_CAPTURE_EXE="$exe"
interrupt TERM script 143
interrupt INT group 130
unset THAW_CAPTURE_EXE
set -m
bash "$root/scripts/wine-run.sh" "$exe" --size 64x36 --fps 8 --to 40 >"$work/intr.rgba" 2>"$work/intr.log" &
pid=$!
set +m
for _ in $(seq 1 300); do [ -s "$work/intr.rgba" ] && break; sleep 0.1; done
kill -INT -- "-$pid"
status=0
wait "$pid" || status=$?
[ "$status" -ne 0 ] || fail "the capture program exited 0 after Ctrl-C, with $(stat -c %s "$work/intr.rgba") bytes written"
note "interruptions: script TERM 143, group INT 130, program INT $status ($(tail -n 1 "$work/intr.log"))"

# 7. Errors: one line, a non-zero exit, no file under the final name.
if THAW_CAPTURE_EXE="$exe" bash "$root/scripts/capture.sh" --fps 0 --out "$work/bad.mp4" 2>"$work/bad.log"; then
  fail "--fps 0 was accepted"
fi
grep -q "fps" "$work/bad.log" || fail "no reason given for --fps 0: $(cat "$work/bad.log")"
if WINE_D3D_CONFIG="renderer=no3d" THAW_CAPTURE_EXE="$exe" bash "$root/scripts/capture.sh" --size 64x36 --fps 2 \
  --to 1 --out "$work/nodevice.mp4" 2>"$work/nodevice.log"; then
  fail "a capture without Direct3D succeeded"
fi
grep -q "no Direct3D 11 device" "$work/nodevice.log" || fail "no clear error without Direct3D: $(cat "$work/nodevice.log")"
[ ! -e "$work/bad.mp4" ] && [ ! -e "$work/nodevice.mp4" ] || fail "a failed capture left a video behind"
note "errors: $(head -n 1 "$work/bad.log"); $(grep -m1 Direct3D "$work/nodevice.log")"
note "all checks passed"
