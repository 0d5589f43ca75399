# The virtual screen and the sound server that Wine programs need on a
# machine without them; sourced by wine-run.sh and the show's tests.
#
# Runs share them, however many run at once: the first run that needs one
# starts it, every run that relies on one signs in, and the last run to sign
# out stops the servers runs started, never one that was there before. Signing
# in and out happens under the Wine lock (descriptor 9).
#   THAW_WINE_DISPLAY  display of the virtual screen (default :99)
#   THAW_WINE_STATE    where the lock and the sign-ins live (default
#                      /tmp/thawline-wine-UID)

wine_state=${THAW_WINE_STATE:-/tmp/thawline-wine-$(id -u)}

wine_lock() { exec 9>"$wine_state.lock"; flock 9; }
wine_unlock() { flock -u 9; exec 9>&-; }

# Forgets the sign-ins of runs that were killed outright.
forget_dead_runs() {
  local run
  for run in "$wine_state"/runs/*; do
    [ -e "$run" ] || continue
    kill -0 "${run##*/}" 2>/dev/null || rm -f -- "$run"
  done
}

# wine_servers_enter SOUND (lock held): sees to a display, the virtual screen
# when none is set, and when SOUND is 1 to a sound server with a null sink.
# Signs this process in when it relies on a server that runs started.
wine_servers_enter() {
  local sound=$1 signIn=0 _
  mkdir -p -- "$wine_state/runs"
  forget_dead_runs
  if [ -z "${DISPLAY:-}" ]; then
    export DISPLAY=${THAW_WINE_DISPLAY:-:99}
    if ! xdpyinfo >/dev/null 2>&1; then
      # A session of its own: a signal to one run's process group must not
      # take the screen from the others.
      setsid Xvfb "$DISPLAY" -screen 0 1280x720x24 -nolisten tcp </dev/null >/dev/null 2>&1 9>&- &
      echo "$!" >"$wine_state/screen"
      for _ in $(seq 1 50); do xdpyinfo >/dev/null 2>&1 && break; sleep 0.1; done
    fi
    [ ! -f "$wine_state/screen" ] || signIn=1
  fi
  if [ "$sound" = 1 ]; then
    if ! pactl info >/dev/null 2>&1; then
      rm -f -- "$wine_state/sound"
      pulseaudio --daemonize=yes --exit-idle-time=-1 -n \
        --load="module-null-sink sink_name=null" \
        --load="module-native-protocol-unix" </dev/null >/dev/null 2>&1 9>&- || true
      for _ in $(seq 1 50); do pactl info >/dev/null 2>&1 && break; sleep 0.1; done
      ! pactl info >/dev/null 2>&1 || : >"$wine_state/sound"
    fi
    [ ! -f "$wine_state/sound" ] || signIn=1
  fi
  [ "$signIn" = 0 ] || : >"$wine_state/runs/$$"
}

# wine_servers_leave [quick]: signs this process out; the last one out stops
# the servers runs started, first letting Wine's own processes (which linger
# a moment after a program) end unless told to be quick.
wine_servers_leave() {
  [ -e "$wine_state/runs/$$" ] || return 0
  wine_lock
  rm -f -- "$wine_state/runs/$$"
  forget_dead_runs
  if [ -z "$(ls -A -- "$wine_state/runs")" ]; then
    if [ "${1:-}" != quick ] && { [ -f "$wine_state/screen" ] || [ -f "$wine_state/sound" ]; }; then
      WINEPREFIX="${THAW_WINEPREFIX:-$HOME/.wine-thawline}" timeout 60 wineserver -w 2>/dev/null || true
    fi
    if [ -f "$wine_state/screen" ]; then
      local pid _
      pid=$(cat -- "$wine_state/screen")
      if [ "$(cat "/proc/$pid/comm" 2>/dev/null)" = Xvfb ]; then
        kill "$pid" 2>/dev/null || true
        # Gone before the next run looks for a screen there.
        for _ in $(seq 1 50); do xdpyinfo >/dev/null 2>&1 || break; sleep 0.1; done
      fi
      rm -f -- "$wine_state/screen"
    fi
    if [ -f "$wine_state/sound" ]; then
      pulseaudio --kill >/dev/null 2>&1 || true
      rm -f -- "$wine_state/sound"
    fi
  fi
  wine_unlock
}
