#!/usr/bin/env bash
# thawline-capture from the outside: the options and output of the Windows
# capture, frame counts, determinism, the soundtrack, and its failures.
#   run-capture-gles.sh <thawline-capture> <xmrender> <song.xm> <workdir>
set -uo pipefail
exe=${1:?capture program}
xmrender=${2:?xmrender}
song=${3:?song module}
work=${4:?work directory}
fail() { echo "FAIL: $*" >&2; exit 1; }
rm -rf "$work" && mkdir -p "$work"

"$exe" --help | grep -q "^usage: thawline-capture " || fail "--help does not name the program"
[ "$("$exe" --size 160x90 --fps 4 --from 17.25 --to 17.75 --describe)" = "160 90 4 69 2 71 760725 22050" ] ||
  fail "--describe differs from the Windows capture's plan"
"$exe" --size 15x90 >/dev/null 2>"$work/bad.log" && fail "a 15-pixel width was accepted"
[ "$(wc -l <"$work/bad.log")" -eq 1 ] || fail "a bad option gave more than one line"

# Two captures of the same span, byte for byte, 3 frames of 64 x 36.
for run in a b; do
  "$exe" --size 64x36 --fps 4 --from 0.25 --to 1 --sound "$work/$run.f32" >"$work/$run.rgba" 2>"$work/$run.log" ||
    { cat "$work/$run.log" >&2; fail "capture $run failed"; }
done
[ "$(stat -c %s "$work/a.rgba")" -eq $(( 3 * 64 * 36 * 4 )) ] || fail "expected 3 frames of 64x36"
cmp -s "$work/a.rgba" "$work/b.rgba" || fail "two captures with the same options differ"
# The soundtrack of 0.25 .. 1 s is xmrender's frames 11,025 to 44,100.
"$xmrender" "$song" "$work/song.wav" >/dev/null 2>&1 || fail "xmrender failed"
tail -c +$(( 58 + 11025 * 8 + 1 )) "$work/song.wav" | head -c $(( 33075 * 8 )) >"$work/expected.f32"
cmp -s "$work/a.f32" "$work/expected.f32" || fail "the soundtrack differs from xmrender's frames for the span"
# Not all black: the title is on screen from the start.
python3 -c "import sys; d=open(sys.argv[1],'rb').read(); sys.exit(0 if max(d[i] for i in range(0,len(d),4)) > 100 else 1)" \
  "$work/a.rgba" || fail "the frames are black"

# Frame k is drawn at music time k / fps. Early in the show the picture does
# not depend on the frames before it, so equal times at 4 and 8 fps give the
# same bytes.
for rate in 4 8; do
  "$exe" --size 64x36 --fps $rate --from 0.25 --to 1.5 >"$work/rate$rate.rgba" 2>/dev/null || fail "the capture at $rate fps failed"
done
python3 - "$work/rate4.rgba" "$work/rate8.rgba" <<'PY' || fail "frames at equal music times differ between 4 and 8 fps"
import sys
n = 64 * 36 * 4
four, eight = (open(p, "rb").read() for p in sys.argv[1:])
# 4 fps: frames 1..5 (0.25 s ..); 8 fps: frames 2..11, so frame k/4 s is at 2k - 2 there.
sys.exit(0 if len(four) == 5 * n and all(four[i * n:(i + 1) * n] == eight[2 * i * n:(2 * i + 1) * n] for i in range(5)) else 1)
PY

# Raw frames are not for a terminal: refused before any is drawn.
script -qec "$exe --size 64x36 --to 1" /dev/null >"$work/tty.log" 2>&1
status=$?
[ "$status" -eq 2 ] || fail "writing frames to a terminal gave exit $status, not 2"
grep -q "standard output is a terminal" "$work/tty.log" && [ "$(stat -c %s "$work/tty.log")" -lt 1000 ] ||
  fail "frames went to a terminal: $(head -c 200 "$work/tty.log")"
# A driver that offers only OpenGL ES 2 is named as such, with EGL's own error.
MESA_GLES_VERSION_OVERRIDE=2.0 "$exe" --size 64x36 --to 1 >/dev/null 2>"$work/es2.log" && fail "an ES 2 driver was accepted"
[ "$(wc -l <"$work/es2.log")" -eq 1 ] && grep -q "eglCreateContext failed on the surfaceless platform (EGL_BAD_MATCH)" \
  "$work/es2.log" || fail "not the real reason for no ES 3 context: $(cat "$work/es2.log")"

# A reader that stops early is an error, not a silent success.
"$exe" --size 64x36 --fps 4 --to 2 2>"$work/pipe.log" | head -c 100 >/dev/null
status=${PIPESTATUS[0]}
[ "$status" -ne 0 ] || fail "the capture reported success although its reader stopped"
grep -q "standard output failed" "$work/pipe.log" || fail "no reason given for the stopped reader"
# An unwritable soundtrack fails before any frame.
"$exe" --size 64x36 --fps 4 --to 1 --sound /nonexistent/dir/x.f32 >/dev/null 2>&1 && fail "an unwritable soundtrack was accepted"
# Ctrl-C stops the capture at the next frame, with a reason and status 130.
"$exe" --size 64x36 --fps 60 >/dev/null 2>"$work/int.log" &
pid=$!
sleep 2
kill -INT $pid
wait $pid
status=$?
[ "$status" -eq 130 ] || fail "an interrupted capture exited with $status, not 130"
grep -q "interrupted after [0-9]* of 2795 frames" "$work/int.log" || fail "no reason given for the interruption"

echo "thawline-capture: options, frames, determinism, soundtrack and failures as expected"
