#!/usr/bin/env bash
# Runs thawline headless and checks how it ends.
#   run-thawline.sh THAWLINE dummy|none|nodisplay
#   dummy      SDL's dummy sound device: the show plays to the song's end (46.57 s
#              of music) and exits 0 without a word
#   none       no sound device at all: silent on the wall clock, to the end
#   nodisplay  no video driver: one line naming the reason, non-zero exit
set -uo pipefail
exe=${1:?thawline} mode=${2:?mode}
fail() { echo "FAIL: $*" >&2; exit 1; }
export SDL_VIDEODRIVER=offscreen SDL_AUDIODRIVER=dummy
case "$mode" in
  none) export SDL_AUDIODRIVER=no-such-driver ;;
  nodisplay) export SDL_VIDEODRIVER=no-such-driver ;;
esac
start=$(date +%s.%N)
"$exe" >$mode.out.log 2>$mode.err.log
status=$?
seconds=$(awk -v a="$start" -v b="$(date +%s.%N)" 'BEGIN { printf "%.1f", b - a }')
echo "thawline ($mode): exit $status after $seconds s; stderr: $(cat $mode.err.log)"
if [ "$mode" = nodisplay ]; then
  [ "$status" -ne 0 ] || fail "exit 0 without a display"
  [ "$(wc -l <$mode.err.log)" -eq 1 ] && grep -q "^thawline: no display" $mode.err.log || fail "not one line of reason: $(cat $mode.err.log)"
  exit 0
fi
[ "$status" -eq 0 ] || fail "exit $status"
[ ! -s $mode.err.log ] && [ ! -s $mode.out.log ] || fail "the show wrote something"
# The clock must have run the whole song (not ended early, not frozen).
awk -v s="$seconds" 'BEGIN { exit !(s >= 46.5 && s < 120) }' || fail "the show lasted $seconds s, not the song's 46.57"
