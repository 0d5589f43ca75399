#!/usr/bin/env bash
# Runs a Windows program under Wine on this machine's terms: a private Wine
# prefix, a virtual X screen when no display is set, and a PulseAudio null
# sink so that waveOut has a device. Used as the cross build's test emulator.
#   THAW_NO_AUDIO=1  run the program with no reachable sound server
set -euo pipefail

export WINEPREFIX="${THAW_WINEPREFIX:-$HOME/.wine-thawline}"
export WINEDEBUG="${WINEDEBUG:--all}"
export WINEDLLOVERRIDES="${WINEDLLOVERRIDES:-mscoree,mshtml=}"
lock="/tmp/thawline-wine-$(id -u).lock"

# Starts a virtual screen when there is no display; remembers it if it did,
# so that it is stopped again when the program ends.
started_screen=""
start_display() {
  [ -n "${DISPLAY:-}" ] && return
  export DISPLAY=:99
  if ! xdpyinfo >/dev/null 2>&1; then
    # The daemon must not inherit the lock descriptor, or it holds the lock forever.
    Xvfb :99 -screen 0 1280x720x24 -nolisten tcp >/dev/null 2>&1 9>&- &
    started_screen=$!
    for _ in $(seq 1 50); do xdpyinfo >/dev/null 2>&1 && break; sleep 0.1; done
  fi
}

start_audio() {
  if [ "${THAW_NO_AUDIO:-0}" = 1 ]; then
    export PULSE_SERVER=unix:/nonexistent
    return
  fi
  pactl info >/dev/null 2>&1 && return
  pulseaudio --daemonize=yes --exit-idle-time=-1 -n \
    --load="module-null-sink sink_name=null" \
    --load="module-native-protocol-unix" >/dev/null 2>&1 9>&- || true
  for _ in $(seq 1 50); do pactl info >/dev/null 2>&1 && break; sleep 0.1; done
}

exec 9>"$lock"
flock 9
start_display
start_audio
if [ ! -f "$WINEPREFIX/system.reg" ]; then
  wineboot -i >/dev/null 2>&1 9>&- || true
  wineserver -w || true
fi
flock -u 9
exec 9>&-
[ "${THAW_NO_AUDIO:-0}" = 1 ] && export PULSE_SERVER=unix:/nonexistent
[ -n "$started_screen" ] || exec wine "$@"

# This run started the virtual screen: keep it until every Wine process of
# the prefix has ended (others may have started on it meanwhile), then stop it.
trap 'kill "$started_screen" 2>/dev/null; wait "$started_screen" 2>/dev/null' EXIT
# A signal reaches the whole group, Wine included: the program's own exit
# status says what it made of it.
signalled=0
trap 'signalled=130' INT
trap 'signalled=143' TERM
trap 'signalled=129' HUP
status=0
wine "$@" || status=$?
[ "$signalled" = 0 ] && wineserver -w 2>/dev/null
[ "$status" != 0 ] || status=$signalled
exit "$status"
