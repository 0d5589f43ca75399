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

start_display() {
  [ -n "${DISPLAY:-}" ] && return
  export DISPLAY=:99
  if ! xdpyinfo >/dev/null 2>&1; then
    # The daemon must not inherit the lock descriptor, or it holds the lock forever.
    Xvfb :99 -screen 0 1280x720x24 -nolisten tcp >/dev/null 2>&1 9>&- &
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

(
  flock 9
  start_display
  start_audio
  if [ ! -f "$WINEPREFIX/system.reg" ]; then
    wineboot -i >/dev/null 2>&1 9>&- || true
    wineserver -w || true
  fi
) 9>"$lock"
start_display
[ "${THAW_NO_AUDIO:-0}" = 1 ] && export PULSE_SERVER=unix:/nonexistent
exec wine "$@"
