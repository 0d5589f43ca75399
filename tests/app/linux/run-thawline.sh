#!/usr/bin/env bash
# Runs thawline and checks how it ends.
#   run-thawline.sh THAWLINE dummy|silent|nodisplay|signals|window
#   dummy      SDL's offscreen video and dummy sound device (which pulls frames
#              at the real-time rate): the show plays to the song's end (46.57 s
#              of music) and exits 0 without a word
#   silent     a sound device that cannot be opened: one line saying so, then
#              silent on the wall clock to the end
#   nodisplay  no display set, and a display where no server answers: one line
#              naming the reason and exit 1, not an unseen show
#   signals    SIGINT and SIGTERM end it with 130 and 143
#   window     on a virtual X screen: Escape, and closing the window as a
#              window manager asks it to, end it with 0
set -uo pipefail
exe=${1:?thawline} mode=${2:?mode}
here=$(cd -- "$(dirname -- "$0")" && pwd)
fail() { echo "FAIL: $*" >&2; exit 1; }
export SDL_VIDEODRIVER=offscreen SDL_AUDIODRIVER=dummy
# A display number with no server behind it.
dead=71
while [ -e /tmp/.X11-unix/X$dead ] || [ -e /tmp/.X$dead-lock ]; do dead=$((dead + 1)); done
dead=:$dead

# Runs the show to its end; checks the exit, the words and the length.
play_to_the_end() {
  local start seconds status
  start=$(date +%s.%N)
  "$exe" >$mode.out.log 2>$mode.err.log
  status=$?
  seconds=$(awk -v a="$start" -v b="$(date +%s.%N)" 'BEGIN { printf "%.1f", b - a }')
  echo "thawline ($mode): exit $status after $seconds s; stderr: $(cat $mode.err.log)"
  [ "$status" -eq 0 ] || fail "exit $status"
  [ ! -s $mode.out.log ] || fail "the show wrote to standard output"
  # The clock must have run the whole song at its rate: not ended early, not
  # frozen or slowed (a clock at half speed takes 93 s). The slack above the
  # song is start-up on a busy machine.
  awk -v s="$seconds" 'BEGIN { exit !(s >= 46.5 && s < 70) }' || fail "the show lasted $seconds s, not the song's 46.57"
}

# Starts the show in the background and gives it time to start drawing.
start_show() {
  "$exe" >$mode.out.log 2>$mode.err.log &
  pid=$!
  sleep "${1:-3}"
  kill -0 $pid 2>/dev/null || fail "the show ended before it was stopped: $(cat $mode.err.log)"
}

# Waits up to 15 s for the show to end by itself; its exit status.
ended_with() {
  local i
  for i in $(seq 150); do kill -0 $pid 2>/dev/null || break; sleep 0.1; done
  if kill -0 $pid 2>/dev/null; then kill -KILL $pid; wait $pid; fail "$1 did not end the show"; fi
  wait $pid
}

case "$mode" in
  dummy)
    play_to_the_end
    [ ! -s $mode.err.log ] || fail "the show wrote to standard error" ;;
  silent)
    # ALSA with a device name it does not know: the library has its own say.
    SDL_AUDIODRIVER=alsa AUDIODEV=no-such-device play_to_the_end
    [ "$(wc -l <$mode.err.log)" -eq 1 ] && grep -q "^thawline: no sound device.*playing silent$" $mode.err.log ||
      fail "not one line saying it plays silent: $(cat $mode.err.log)" ;;
  nodisplay)
    for display in unset $dead; do
      if [ $display = unset ]; then
        timeout 30 env -u DISPLAY -u WAYLAND_DISPLAY -u SDL_VIDEODRIVER "$exe" >$mode.out.log 2>$mode.err.log
      else
        timeout 30 env -u WAYLAND_DISPLAY -u SDL_VIDEODRIVER DISPLAY=$display "$exe" >$mode.out.log 2>$mode.err.log
      fi
      status=$?
      echo "thawline (DISPLAY $display): exit $status; stderr: $(cat $mode.err.log)"
      [ "$status" -eq 1 ] || fail "exit $status without a display (DISPLAY $display), not 1"
      [ "$(wc -l <$mode.err.log)" -eq 1 ] && grep -q "^thawline: no display" $mode.err.log ||
        fail "not one line of reason: $(cat $mode.err.log)"
    done ;;
  signals)
    for signal in INT:130 TERM:143; do
      start_show
      kill -${signal%:*} $pid
      ended_with "SIG${signal%:*}"
      status=$?
      [ "$status" -eq "${signal#*:}" ] || fail "SIG${signal%:*} gave exit $status, not ${signal#*:}"
    done ;;
  window)
    command -v Xvfb >/dev/null && command -v xdotool >/dev/null || fail "Xvfb and xdotool are needed"
    # The server picks a free display number and writes it once it is ready.
    Xvfb -displayfd 3 -screen 0 320x180x24 -nolisten tcp 3>$mode.display >/dev/null 2>&1 &
    xvfb=$!
    trap 'kill $xvfb 2>/dev/null; wait $xvfb 2>/dev/null' EXIT
    for i in $(seq 100); do [ -s $mode.display ] && break; sleep 0.1; done
    [ -s $mode.display ] || fail "Xvfb did not start"
    export DISPLAY=:$(cat $mode.display)
    unset SDL_VIDEODRIVER
    for how in escape close; do
      start_show 0
      window=$(timeout 30 xdotool search --sync --name '^Thawline$' | head -1)
      [ -n "$window" ] || fail "no window named Thawline appeared"
      sleep 1
      if [ $how = escape ]; then
        xdotool key Escape
      else
        python3 "$here/close-window.py" "$window" || fail "cannot ask the window to close"
      fi
      ended_with "$how"
      status=$?
      [ "$status" -eq 0 ] || fail "$how gave exit $status, not 0"
      [ ! -s $mode.err.log ] || fail "the show wrote to standard error: $(cat $mode.err.log)"
    done ;;
  *) fail "unknown mode $mode" ;;
esac
echo "thawline ($mode): as expected"
