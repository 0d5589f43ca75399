#!/usr/bin/env bash
# Runs a Windows program under Wine on this machine's terms: a private Wine
# prefix, a virtual X screen when no display is set, and a PulseAudio null
# sink so that waveOut has a device (see wine-servers.sh: servers it starts
# are stopped again once no run needs them). Used as the cross build's test
# emulator.
#   THAW_NO_AUDIO=1  run the program with no reachable sound server
set -euo pipefail

export WINEPREFIX="${THAW_WINEPREFIX:-$HOME/.wine-thawline}"
export WINEDEBUG="${WINEDEBUG:--all}"
export WINEDLLOVERRIDES="${WINEDLLOVERRIDES:-mscoree,mshtml=}"
source "$(dirname -- "${BASH_SOURCE[0]}")/wine-servers.sh"

wine_lock
wine_servers_enter "$([ "${THAW_NO_AUDIO:-0}" = 1 ] && echo 0 || echo 1)"
if [ ! -f "$WINEPREFIX/system.reg" ]; then
  wineboot -i >/dev/null 2>&1 9>&- || true
  wineserver -w || true
fi
wine_unlock
[ "${THAW_NO_AUDIO:-0}" = 1 ] && export PULSE_SERVER=unix:/nonexistent
[ -e "$wine_state/runs/$$" ] || exec wine "$@"

# A signal reaches the whole group, Wine included: the program's own exit
# status says what it made of it.
signalled=0
# This run relies on a server that runs started: sign out when it ends.
trap 'wine_servers_leave $([ "$signalled" = 0 ] || echo quick)' EXIT
trap 'signalled=130' INT
trap 'signalled=143' TERM
trap 'signalled=129' HUP
status=0
wine "$@" || status=$?
[ "$status" != 0 ] || status=$signalled
exit "$status"
