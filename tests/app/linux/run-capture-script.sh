#!/usr/bin/env bash
# scripts/capture.sh on the OpenGL ES renderer from the outside: a short
# span end to end with its contact sheet's labels, interruptions that must
# leave nothing of the pipeline running, and an encoder that exits 0 with a
# broken file.
#   run-capture-script.sh <thawline-capture> <workdir>
set -uo pipefail
exe=${1:?capture program}
work=${2:?work directory}
root=$(cd -- "$(dirname -- "$0")/../../.." && pwd)
fail() { echo "FAIL: $*" >&2; exit 1; }
rm -rf "$work" && mkdir -p "$work"
export THAW_CAPTURE_EXE="$exe"
capture() { bash "$root/scripts/capture.sh" --renderer gles "$@"; }

# 1. 0.5 to 3 s at 4 fps: 10 frames, and a sheet of the first frame and the
#    whole seconds 1 and 2, each labelled with its music time.
capture --size 64x36 --fps 4 --from 0.5 --to 3 --out "$work/short.mp4" >"$work/short.log" 2>&1 ||
  { cat "$work/short.log" >&2; fail "a short capture failed"; }
frames=$(ffprobe -v error -count_frames -select_streams v:0 -show_entries stream=nb_read_frames -of csv=p=0 \
  "$work/short.mp4")
[ "$frames" = 10 ] || fail "the video holds $frames frames, not 10"
ffmpeg -v error -i "$work/short.contact.png" -f rawvideo -pix_fmt gray -y "$work/sheet.gray" || fail "unreadable sheet"
sheetSize=$(ffprobe -v error -show_entries stream=width,height -of csv=p=0 "$work/short.contact.png")
[ "$sheetSize" = "968,180" ] || fail "the sheet is $sheetSize, not three 320x180 thumbnails"
# Each candidate label drawn alone, in the sheet's style, on black.
font=/usr/share/fonts/truetype/dejavu/DejaVuSans-Bold.ttf
for text in "0.5 s" "0 s" "1 s" "2 s" "3 s"; do
  ffmpeg -v error -f lavfi -i color=black:s=320x180 -frames:v 1 -vf \
    "drawtext=x=8:y=8:fontsize=20:fontcolor=white:box=1:boxcolor=black@0.6:boxborderw=4:fontfile=$font:text='$text'" \
    -f rawvideo -pix_fmt gray -y "$work/label-${text% s}.gray" || fail "cannot draw the label $text"
done
# The label of each thumbnail is its own and not the next or previous second's:
# the bright (text) pixels of the label corner match, and do not match the others.
python3 - "$work" <<'PY' || fail "the contact sheet's labels are not 0.5 s, 1 s, 2 s"
import sys
work = sys.argv[1]
sheet = open(f"{work}/sheet.gray", "rb").read()
def corner(pixels, width, left):
    return [pixels[y * width + left + x] > 128 for y in range(40) for x in range(120)]
def mismatch(tile, text):
    label = open(f"{work}/label-{text}.gray", "rb").read()
    return sum(a != b for a, b in zip(corner(sheet, 968, tile * 324), corner(label, 320, 0)))
failed = False
for tile, (own, others) in enumerate([("0.5", ["0", "1"]), ("1", ["0", "2"]), ("2", ["1", "3"])]):
    scores = {text: mismatch(tile, text) for text in [own] + others}
    print(f"thumbnail {tile}: differing label pixels {scores}")
    failed |= scores[own] > 5 or min(scores[t] for t in others) <= 20
sys.exit(1 if failed else 0)
PY

# 2. Interruptions: Ctrl-C to the script's group, TERM to the script, HUP to
#    the group, at 1280x720 where a frame takes about a second on a software
#    renderer. The script runs in a session of its own: when it has ended,
#    no process of that session may remain (the capture program and ffmpeg
#    have their own process group, in the same session).
interrupt() {  # signal, target (group|script), expected exit code
  local name="intr-$1" wrapper leader sid status i
  # Job control leaves SIGINT deliverable (a plain background job ignores it).
  set -m
  setsid -w bash "$root/scripts/capture.sh" --renderer gles --size 1280x720 --fps 60 --to 0.3 \
    --out "$work/$name.mp4" >"$work/$name.log" 2>&1 &
  wrapper=$!
  set +m
  leader=""
  for i in $(seq 300); do
    leader=${leader:-$(pgrep -P $wrapper)}
    [ -n "$leader" ] && ps -o comm= -s "$leader" | grep -q '^ffmpeg$' &&
      ps -o comm= -s "$leader" | grep -q '^thawline-captur' && grep -q "frame [0-9]*/18 " "$work/$name.log" && break
    sleep 0.1
  done
  [ -n "$leader" ] || fail "capture.sh did not start"
  sid=$(ps -o sid= -p "$leader" | tr -d ' ')
  if [ "$2" = group ]; then kill "-$1" -- "-$leader"; else kill "-$1" "$leader"; fi
  status=0
  wait $wrapper || status=$?
  survivors=$(ps -o pid=,comm= -s "$sid")
  [ -z "$survivors" ] || { kill -KILL $(ps -o pid= -s "$sid") 2>/dev/null; fail "SIG$1 to the $2: still running after the script: $survivors"; }
  [ "$status" -eq "$3" ] || { cat "$work/$name.log" >&2; fail "SIG$1 to the $2: exit $status, not $3"; }
  grep -q "interrupted; no video written" "$work/$name.log" || fail "SIG$1 to the $2: no word of it"
  [ -z "$(compgen -G "$work/.capture.*")" ] && [ ! -e "$work/$name.mp4" ] || fail "SIG$1 to the $2 left files"
}
interrupt INT group 130
interrupt TERM script 143
interrupt HUP group 129

# 3. An encoder that loses the end of the muxed file and still exits 0, as
#    ffmpeg does when the disk fills while it writes the index.
mkdir -p "$work/bin"
cat >"$work/bin/ffmpeg" <<SH
#!/usr/bin/env bash
"$(command -v ffmpeg)" "\$@" || exit
case " \$* " in *" -movflags "*) truncate -s 2000 "\${@: -1}"; echo "Error writing trailer: No space left on device" >&2 ;; esac
SH
chmod +x "$work/bin/ffmpeg"
PATH="$work/bin:$PATH" capture --size 64x36 --fps 4 --to 1 --out "$work/full.mp4" >"$work/full.log" 2>&1 &&
  fail "a video the encoder could not finish was published: $(tail -n 1 "$work/full.log")"
grep -q "unreadable or incomplete" "$work/full.log" || fail "the real cause is not named: $(tail -n 2 "$work/full.log")"
[ ! -e "$work/full.mp4" ] && [ ! -e "$work/full.contact.png" ] || fail "a broken video was left under its name"

echo "capture.sh --renderer gles: span, labels, interruptions and a broken encode as expected"
