#!/usr/bin/env bash
# Tests of scripts/release.sh.
#   reproducible: one release built afresh from a copy of the tree, one packed
#     from the tree's own builds (other folders, other times): the two zips
#     must be byte for byte the same, and hold what a release should.
#   refusals: a dirty tree, a missing tool, a bad option and a moment
#     outside the show each give one line, a failure and no archive; the
#     moment is refused before anything is built.
#   signals: TERM, INT and HUP during a build step stop the release within
#     seconds with 143, 130, 129, the step's processes and the work folder gone.
#   shot_moments: the capture span for a moment, from the first frame to the
#     last, holds exactly the frame on screen at that moment.
#   linux_needs: the glibc named for the Linux program is the newest version
#     its symbols ask for.
#   wine_servers: the virtual screen and the sound server that Wine runs (the
#     release's and the tests') start are stopped when they end; servers that
#     were there before are left alone.
set -euo pipefail
root=$(cd -- "$(dirname -- "$0")/../.." && pwd)
scratch=$(mktemp -d)
trap 'rm -rf -- "$scratch"' EXIT
failed=0
check() { if eval "$2"; then echo "ok: $1"; else echo "FAIL: $1" >&2; failed=1; fi; }

# Zips from a release run: the name comes from the run's last line.
archive_of() { sed -n 's/^release: .* done: \(.*\.zip\) (.*/\1/p' "$1" | tail -1; }

reproducible() {
  local shot=0.1
  bash "$root/scripts/release.sh" --allow-dirty --shot "$shot" >"$scratch/fresh.log" 2>&1 ||
    { cat "$scratch/fresh.log" >&2; echo "FAIL: the fresh release failed" >&2; return 1; }
  local zip
  zip=$(archive_of "$scratch/fresh.log")
  cp -- "$zip" "$scratch/fresh.zip"
  bash "$root/scripts/release.sh" --allow-dirty --shot "$shot" --reuse-builds >"$scratch/reused.log" 2>&1 ||
    { cat "$scratch/reused.log" >&2; echo "FAIL: the release from the existing builds failed" >&2; return 1; }
  check "a fresh build and the tree's builds give the same archive" 'cmp -- "$scratch/fresh.zip" "$zip"'

  /usr/bin/python3 - "$scratch/fresh.zip" "$scratch/x" "$(git -C "$root" log -1 --format=%ct)" <<'PY' || failed=1
import os, stat, struct, sys, time, zipfile
archive, out, epoch = zipfile.ZipFile(sys.argv[1]), sys.argv[2], int(sys.argv[3])
names = archive.namelist()
top = names[0]
want = ["", "SHA256SUMS", "Thawline.exe", "thawline", "thawline-1280x720.png", "thawline.txt",
        "web/", "web/index.html", "web/page.js", "web/thawline.js", "web/thawline.wasm"]
problems = []
if names != [top + n for n in want]:
    problems.append(f"entries {names}")
if not top.startswith("thawline-") or not top.endswith("/"):
    problems.append(f"top folder {top}")
stamp = time.gmtime(epoch)[:6]
for info in archive.infolist():
    if info.date_time[:5] != stamp[:5]:
        problems.append(f"{info.filename} dated {info.date_time}, not the commit's {stamp}")
    mode = info.external_attr >> 16
    executable = info.filename.endswith(("/thawline", "/Thawline.exe")) or info.filename.endswith("/")
    if bool(mode & stat.S_IXUSR) != executable:
        problems.append(f"{info.filename} has mode {oct(mode)}")
archive.extractall(out)
for info in archive.infolist():  # zipfile leaves the modes behind
    os.chmod(os.path.join(out, info.filename), (info.external_attr >> 16) & 0o777)
png = open(os.path.join(out, top, "thawline-1280x720.png"), "rb").read(24)
if png[:8] != b"\x89PNG\r\n\x1a\n" or struct.unpack(">II", png[16:24]) != (1280, 720):
    problems.append("the screenshot is not a 1280x720 PNG")
text = open(os.path.join(out, top, "thawline.txt"), encoding="utf-8").read()
for needed in [top.rstrip("/")[len("thawline-"):], "Windows 10", "OpenGL ES 3", "WebGL 2", "Escape",
               "libSDL2-2.0.so.0", "SIL Open Font License", "46.6 seconds"]:
    if needed not in text:
        problems.append(f"thawline.txt lacks {needed!r}")
if "@" in text:
    problems.append("thawline.txt keeps a placeholder")
for p in problems:
    print("FAIL:", p, file=sys.stderr)
print("ok: entries, dates, modes, screenshot and info text" if not problems else "", end="")
sys.exit(1 if problems else 0)
PY
  echo
  local top
  top=$(ls "$scratch/x")
  check "SHA256SUMS verifies every file" '(cd -- "$scratch/x/$top" && sha256sum --quiet -c SHA256SUMS)'
  check "the archive holds the tree's Windows show" 'cmp -- "$scratch/x/$top/Thawline.exe" "$root/build/windows/src/app/windows/Thawline.exe"'
  check "the Linux program starts" '"$scratch/x/$top/thawline" --help >/dev/null'
  check "the Linux program is stripped" '! readelf -S -- "$scratch/x/$top/thawline" | grep -q "\.symtab"'
}

# Runs release.sh with the given environment and options; it must fail with
# one line saying $1 and write no archive.
refused() {
  local want=$1 dir=$2; shift 2
  local status=0
  (cd -- "$dir" && "$@") >"$scratch/out" 2>"$scratch/err" || status=$?
  check "refused ($want): failure status" '[ "$status" -ne 0 ]'
  check "refused ($want): one line" '[ "$(wc -l <"$scratch/err")" = 1 ] && grep -q -- "$want" "$scratch/err"'
  check "refused ($want): no archive" '! ls "$dir"/build/release/*.zip >/dev/null 2>&1'
  [ "$failed" = 0 ] || cat "$scratch/err" >&2
}

# A clone whose last commit holds this working tree's release script.
make_clone() {
  clone=$scratch/clone
  git clone -q --shared -- "$root" "$clone"
  cp -- "$root/scripts/release.sh" "$clone/scripts/release.sh"
  mkdir -p "$clone/scripts/release"
  cp -- "$root"/scripts/release/* "$clone/scripts/release/"
  git -C "$clone" add -A
  git -C "$clone" -c user.name=test -c user.email=test@localhost commit -q -m test --allow-empty
}

# Every command of this machine, but cmake is a stand-in that notes its
# process id in $STUB_MARK and sleeps $STUB_SECONDS (default none) before
# failing.
make_farm() {
  farm=$scratch/bin
  mkdir -p "$farm"
  for tool in /usr/local/bin/* /usr/bin/*; do
    [ "${tool##*/}" = cmake ] || ln -sf -- "$tool" "$farm/"
  done
  printf '#!/bin/sh\necho $$ >>"${STUB_MARK:-/dev/null}"\nsleep "${STUB_SECONDS:-0}"\nexit 1\n' >"$farm/cmake"
  chmod +x "$farm/cmake"
}

refusals() {
  make_clone
  make_farm
  rm -- "$farm/ffmpeg"
  refused "ffmpeg is missing" "$clone" env PATH="$farm" bash scripts/release.sh --reuse-builds
  ln -s -- "$(command -v ffmpeg)" "$farm/"

  echo scratch >"$clone/notes.txt"
  refused "uncommitted changes" "$clone" bash scripts/release.sh
  refused "shot wants seconds" "$clone" bash scripts/release.sh --allow-dirty --shot soon
  local shot
  for shot in 46.57 60; do
    refused "lies outside the show, which runs from 0 to 46.57 s" "$clone" \
      env PATH="$farm" STUB_MARK="$scratch/built" bash scripts/release.sh --allow-dirty --shot "$shot"
  done
  check "a moment outside the show is refused before building" '[ ! -e "$scratch/built" ]'
}

signals() {
  make_clone
  make_farm
  local signal want
  set -m  # a job of its own, so that INT is not ignored in it
  for signal in TERM:143 INT:130 HUP:129; do
    want=${signal#*:} signal=${signal%:*}
    rm -f -- "$scratch/built"
    (cd -- "$clone" && exec env PATH="$farm" STUB_MARK="$scratch/built" STUB_SECONDS=60 \
      bash scripts/release.sh --allow-dirty) >"$scratch/out" 2>"$scratch/err" &
    local pid=$! status=0 _
    for _ in $(seq 1 300); do [ -s "$scratch/built" ] && break; sleep 0.1; done
    check "$signal: the build step started" '[ -s "$scratch/built" ]'
    kill -"$signal" "$pid" 2>/dev/null || true
    for _ in $(seq 1 100); do kill -0 "$pid" 2>/dev/null || break; sleep 0.1; done
    if kill -0 "$pid" 2>/dev/null; then
      echo "FAIL: $signal: still running 10 s after the signal" >&2
      failed=1
      kill -KILL -- "-$pid" 2>/dev/null
    fi
    wait "$pid" || status=$?
    check "$signal: exit status $want" '[ "$status" = "$want" ]'
    check "$signal: says it was interrupted" 'grep -q "interrupted; no archive written" "$scratch/err"'
    # A zombie waiting for its new parent to reap it has stopped too.
    check "$signal: the build step stopped" '! ps -o stat= -p "$(head -1 "$scratch/built")" | grep -qv "^Z"'
    check "$signal: no work folder, no archive" '[ ! -e "$clone/build/release/work" ] && ! ls "$clone"/build/release/*.zip* >/dev/null 2>&1'
  done
  set +m
}

shot_moments() {
  source "$root/scripts/release/shot.sh"
  local capture=$root/build/windows/src/app/windows/ThawlineCapture.exe end seconds
  end=$(show_end_time "$root")
  # The first frame, a time between two frames, the last frame's start and a
  # moment just before the show's end.
  for seconds in 0 4.51 46.56 46.566667 46.5699; do
    local frame from to plan
    frame=$(shot_frame "$seconds" "$end")
    read -r from to < <(shot_span "$frame" "$end")
    plan=$(THAW_NO_AUDIO=1 bash "$root/scripts/wine-run.sh" "$capture" --size 1280x720 --fps 60 \
      --from "$from" --to "$to" --describe 2>&1) || plan="refused: $plan"
    check "$seconds s is frame $frame, which the capture writes alone ($plan)" \
      'read -r _ _ _ first count _ <<<"$plan" && [ "$first" = "$frame" ] && [ "$count" = 1 ] &&
       awk -v s="$seconds" -v k="$frame" "BEGIN { exit !(k / 60 <= s && s < (k + 1) / 60) }"'
  done
}

linux_needs() {
  source "$root/scripts/release/linux-needs.sh"
  # As objdump -T lists a program's dynamic symbols, in no particular order.
  local symbols
  symbols=$(printf '%s\n' \
    '0000000000000000      DF *UND*  0000000000000000 (GLIBC_2.2.5) free' \
    '0000000000000000      DF *UND*  0000000000000000 (GLIBC_2.34) __libc_start_main' \
    '0000000000000000      DF *UND*  0000000000000000 (GLIBC_2.7) __isoc99_sscanf' \
    '0000000000000000      DF *UND*  0000000000000000 (GLIBCXX_3.4.32) _ZSt28__throw_bad_array_new_lengthv' \
    '0000000000000000      DF *UND*  0000000000000000 (GLIBC_2.14) memcpy' \
    '0000000000000000  w   D  *UND*  0000000000000000  Base        __gmon_start__')
  check "glibc 2.34, the newest asked for" '[ "$(highest_glibc <<<"$symbols")" = 2.34 ]'
}

wine_servers() {
  # A machine of its own: no display, no sound server, a free display number.
  n=150
  while [ -e "/tmp/.X$n-lock" ] || [ -e "/tmp/.X11-unix/X$n" ]; do n=$((n + 1)); done
  screen=:$n
  export THAW_WINE_DISPLAY=$screen THAW_WINE_STATE=$scratch/wine THAW_WINEPREFIX=${THAW_WINEPREFIX:-$HOME/.wine-thawline}
  export HOME=$scratch/home XDG_RUNTIME_DIR=$scratch/home/run
  unset DISPLAY PULSE_SERVER THAW_NO_AUDIO
  mkdir -p -m 700 "$XDG_RUNTIME_DIR"
  local capture=$root/build/windows/src/app/windows/ThawlineCapture.exe
  screen_up() { xdpyinfo -display "$screen" >/dev/null 2>&1; }
  sound_up() { pactl info >/dev/null 2>&1; }
  # Stops whatever is left on the private display and sound server.
  tidy() {
    kill "$(tr -d ' ' 2>/dev/null <"/tmp/.X$n-lock")" 2>/dev/null || true
    pulseaudio --kill 2>/dev/null || true
  }
  trap 'tidy; rm -rf -- "$scratch"' EXIT

  # A capture of a few seconds; both servers must be up while it runs.
  bash "$root/scripts/wine-run.sh" "$capture" --size 64x36 --fps 4 --to 2 >/dev/null 2>"$scratch/err" &
  local pid=$! sawScreen=0 sawSound=0
  while kill -0 "$pid" 2>/dev/null; do
    screen_up && sawScreen=1
    sound_up && sawSound=1
    sleep 0.2
  done
  local status=0
  wait "$pid" || status=$?
  check "a run with neither server runs (exit status $status)" '[ "$status" = 0 ]'
  check "the run had a screen and a sound server" '[ "$sawScreen$sawSound" = 11 ]'
  check "the run stopped the screen it started" '! screen_up'
  check "the run stopped the sound server it started" '! sound_up && [ ! -e "$XDG_RUNTIME_DIR/pulse/pid" ]'

  # The show's tests hold a screen of their own while they run; here the
  # stand-in for the show notes the screen it saw and ends at once.
  printf 'xdpyinfo >/dev/null 2>&1 && echo "$DISPLAY" >"$SEEN"\n' >"$scratch/show-runner"
  SEEN=$scratch/seen THAW_WINE_RUNNER=$scratch/show-runner \
    bash "$root/tests/wine/show/run-show.sh" silent "$capture" "$scratch/show" >/dev/null 2>&1 || true
  check "the show's test had a screen" '[ "$(cat "$scratch/seen" 2>/dev/null)" = "$screen" ]'
  check "the show's test stopped the screen it started" '! screen_up'
  tidy

  # Servers that were there before stay.
  Xvfb "$screen" -screen 0 640x360x24 -nolisten tcp >/dev/null 2>&1 &
  local ownScreen=$!
  pulseaudio --daemonize=yes --exit-idle-time=-1 -n --load=module-null-sink --load=module-native-protocol-unix >/dev/null 2>&1
  for _ in $(seq 1 50); do screen_up && sound_up && break; sleep 0.1; done
  bash "$root/scripts/wine-run.sh" "$capture" --size 64x36 --fps 4 --to 0.5 >/dev/null 2>&1 ||
    check "a run on existing servers runs" false
  check "the screen that was there before is left alone" 'screen_up'
  check "the sound server that was there before is left alone" 'sound_up'
  kill "$ownScreen"
}

"$1"
[ "$failed" = 0 ] && echo "PASS" || exit 1
