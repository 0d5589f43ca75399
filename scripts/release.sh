#!/usr/bin/env bash
# Builds the release archive: the Windows show, the Linux show, the web site,
# an info text, a screenshot and SHA256SUMS, in a zip that two runs on the
# same commit make byte for byte the same.
set -euo pipefail

usage() {
  cat <<'TEXT'
usage: scripts/release.sh [--allow-dirty] [--shot SECONDS] [--reuse-builds]

Copies the committed tree into build/release/work, builds it there from
scratch (native, Windows, web), renders a 1280x720 screenshot with the
capture (Direct3D 11 under Wine) and writes build/release/thawline-<version>.zip,
<version> coming from `git describe`. The zip holds one folder,
thawline-<version>/, with Thawline.exe, thawline (Linux x86-64), web/,
thawline.txt, thawline-1280x720.png and SHA256SUMS. Entries are in a fixed
order and dated with the commit's time, so the same commit gives the same
archive.

  --allow-dirty    release a tree with uncommitted changes (the version then
                   ends in -dirty); refused by default
  --shot SECONDS   music time of the screenshot, from 0 up to the show's end
                   (default 4): the frame on screen then, at 60 fps; every
                   frame before it is drawn
  --reuse-builds   take the programs from build/native, build/windows and
                   build/web as they are instead of building afresh (quicker;
                   the archive is then only as clean as those builds)
  -h, --help       show this help

Needs the packages of scripts/setup.sh. Fails with one line, leaving no
archive, on a dirty tree, a missing tool or any failed step; a moment outside
the show is refused before anything is built. TERM, INT and HUP stop it
within seconds (exit 143, 130, 129), removing the work folder.
TEXT
}

fail() { echo "release: $*" >&2; exit 1; }

allowDirty=0 reuse=0 shot=4
while [ $# -gt 0 ]; do
  case "$1" in
    -h|--help) usage; exit 0 ;;
    --allow-dirty) allowDirty=1; shift ;;
    --reuse-builds) reuse=1; shift ;;
    --shot)
      [ $# -ge 2 ] || { echo "release: missing value after --shot (try --help)" >&2; exit 2; }
      [[ "$2" =~ ^[0-9]+(\.[0-9]+)?$ ]] || { echo "release: --shot wants seconds, like 4.5, not \"$2\"" >&2; exit 2; }
      shot=$2; shift 2 ;;
    *) echo "release: unknown option $1 (try --help)" >&2; exit 2 ;;
  esac
done

root=$(cd -P -- "$(dirname -- "$0")/.." && pwd)
cd -- "$root"
source "$root/scripts/release/shot.sh"
source "$root/scripts/release/linux-needs.sh"

showEnd=$(show_end_time "$root")
[ -n "$showEnd" ] || fail "cannot read the show's end time from src/app/MusicClock.h"
shotFrame=$(shot_frame "$shot" "$showEnd") ||
  { echo "release: --shot $shot lies outside the show, which runs from 0 to $showEnd s" >&2; exit 2; }

python=/usr/bin/python3
tools=(git "$python" ffmpeg ffprobe sha256sum strip readelf objdump tar ps wine Xvfb xdpyinfo)
[ "$reuse" = 1 ] || tools+=(cmake ninja x86_64-w64-mingw32-g++-posix emcc glslangValidator spirv-opt)
for tool in "${tools[@]}"; do
  command -v -- "$tool" >/dev/null 2>&1 || fail "$tool is missing (scripts/setup.sh installs it)"
done

[ "$(git rev-parse --show-toplevel 2>/dev/null)" = "$root" ] ||
  fail "$root is not a git checkout; the version comes from git describe"
changes=$(git status --porcelain --untracked-files=normal)
if [ -n "$changes" ] && [ "$allowDirty" = 0 ]; then
  fail "the tree has uncommitted changes ($(wc -l <<<"$changes") changed or new, first $(head -1 <<<"$changes" | cut -c4-)); commit them or pass --allow-dirty"
fi
version=$(git describe --tags --always --abbrev=12)
[ -z "$changes" ] || version+=-dirty
epoch=$(git log -1 --format=%ct)
commitDate=$(TZ=UTC0 git log -1 --format=%cd --date=format-local:'%Y-%m-%d %H:%M UTC')

release=$root/build/release
work=$release/work
out=$release/thawline-$version.zip
log=$release/build.log
name=thawline-$version
stage=$work/stage/$name
mkdir -p -- "$release"
rm -rf -- "$work"
mkdir -p -- "$stage/web"
: >"$log"

cleanup() { rm -rf -- "$work" "$out.partial"; }

# The signal handler runs inside the redirections of the step it stops, so
# it speaks through a copy of the script's own standard error (which steps
# do not inherit).
exec {stderr}>&2
# Long steps run in the background, each in a process group of its own: a
# signal then ends `wait` at once instead of waiting for the step, and the
# handler can stop the step as a whole.
step=""
run() {
  set -m
  "$@" </dev/null {stderr}>&- &
  step=$!
  set +m
  local status=0
  wait "$step" || status=$?
  step=""
  return "$status"
}
# Stops the running step and waits until no process of it is left (zombies
# aside), so that nothing writes into the work folder once it is removed.
stop_step() {
  [ -n "$step" ] || return 0
  kill -TERM -- "-$step" 2>/dev/null || true
  local _
  for _ in $(seq 1 100); do
    ps -e -o pgid=,stat= | awk -v g="$step" '$1 == g && $2 !~ /^Z/ { found = 1 } END { exit !found }' || break
    sleep 0.1
  done
  kill -KILL -- "-$step" 2>/dev/null || true
  wait "$step" 2>/dev/null || true
  step=""
}
trap 'stop_step; cleanup' EXIT
interrupted() {
  trap '' INT TERM HUP
  stop_step
  cleanup
  echo "release: interrupted; no archive written" >&"$stderr"
  exit "$1"
}
trap 'interrupted 130' INT
trap 'interrupted 143' TERM
trap 'interrupted 129' HUP

start=$(date +%s)
say() { echo "release: [$(( $(date +%s) - start )) s] $*"; }

if [ "$reuse" = 1 ]; then
  builds=$root/build
  say "$name from the existing builds in build/"
else
  # A copy of exactly what git tracks (or would track), so that nothing
  # lying around in the working folder reaches the archive.
  tree=$work/tree/$name
  mkdir -p -- "$tree"
  copy_tree() {
    git ls-files -z --cached --others --exclude-standard |
      while IFS= read -r -d '' path; do [ -e "$path" ] && printf '%s\0' "$path"; done |
      tar --null -T - -cf - | tar -xf - -C "$tree"
  }
  run copy_tree || fail "copying the tree failed"
  builds=$tree/build
  jobs=$(nproc)
  # build PRESET WHAT [TARGET...]: configures and builds one preset in the copy.
  build() {
    local preset=$1 what=$2; shift 2
    say "building $what (log: $log)"
    cmake_preset() { cd -- "$tree" && cmake --preset "$preset" && cmake --build --preset "$preset" -j "$jobs" "$@"; }
    run cmake_preset ${1:+--target "$@"} >>"$log" 2>&1 || fail "building $what failed; see $log"
  }
  # The Windows and web builds import every host tool (cmake/HostTools.cmake).
  build native "the host tools and the Linux program" thawline thaw-dxbc thaw-glsl thaw-timeline xmrender \
    thawline-capture pass_dump_gles thaw_shader_glsl
  build windows "the Windows programs" Thawline ThawlineCapture
  build web "the web site"
fi

linux=$builds/native/src/app/linux/thawline
windows=$builds/windows/src/app/windows/Thawline.exe
capture=$builds/windows/src/app/windows/ThawlineCapture.exe
site=$builds/web
for file in "$linux" "$windows" "$capture" "$site/index.html" "$site/page.js" "$site/thawline.js" "$site/thawline.wasm"; do
  [ -f "$file" ] || fail "${file#"$root/"} is missing; build it first or leave out --reuse-builds"
done

# The screenshot: one frame at 1280x720 from the Windows show's renderer.
export THAW_NO_AUDIO=1
# The whole show's plan at the screenshot's size: how many frames it has, and
# its soundtrack's length for the running time.
run bash scripts/wine-run.sh "$capture" --size 1280x720 --fps 60 --describe >"$work/plan" 2>>"$log" ||
  fail "the capture program does not run; see $log"
read -r _ _ _ _ _ showFrames _ soundFrames <"$work/plan"
[ "$shotFrame" -lt "$showFrames" ] ||
  fail "--shot $shot lies outside the show, which has $showFrames frames at 60 fps"
first=$shotFrame rendered=$((shotFrame + 1))
read -r from to < <(shot_span "$shotFrame" "$showEnd")
span=(--size 1280x720 --fps 60 --from "$from" --to "$to")
say "screenshot at $shot s: drawing $rendered frames at 1280x720 under Wine"
# On a terminal the capture's progress line shows there; otherwise in the log.
progress=() messages=$log
[ -t 2 ] && progress=(--progress) messages=/dev/stderr
shotFile=$stage/thawline-1280x720.png
run bash scripts/wine-run.sh "$capture" "${span[@]}" "${progress[@]}" 2>>"$messages" >"$work/shot.rgba" ||
  fail "the capture failed; see $log"
[ "$(stat -c %s -- "$work/shot.rgba")" = $((1280 * 720 * 4)) ] || fail "the capture wrote no whole frame; see $log"
run ffmpeg -hide_banner -loglevel error -nostdin -f rawvideo -pix_fmt rgba -s 1280x720 -i "$work/shot.rgba" \
  -frames:v 1 -pix_fmt rgb24 -flags +bitexact -fflags +bitexact "$shotFile" 2>>"$log" ||
  fail "encoding the screenshot failed; see $log"

say "staging $name"
cp -- "$windows" "$stage/Thawline.exe"
strip --strip-all -o "$stage/thawline" -- "$linux"
cp -- "$site/index.html" "$site/page.js" "$site/thawline.js" "$site/thawline.wasm" "$stage/web/"
find "$stage" -type f -exec chmod 644 {} +
chmod 755 "$stage/thawline" "$stage/Thawline.exe"

# The Linux program's libraries, read from the program itself.
needed=$(shared_libraries "$linux")
glibc=$(objdump -T -- "$linux" | highest_glibc)
libs="these shared libraries: $needed (glibc $glibc or later). On Debian 12, Ubuntu 22.04 and later: apt install libsdl2-2.0-0 libgles2 libegl1"
runningTime=$(awk -v n="$soundFrames" 'BEGIN { printf "%.1f seconds", n / 44100 }')
shotTime=$(awk -v k="$first" 'BEGIN { printf "%g", k / 60 }')

export VERSION=$version COMMIT_DATE=$commitDate YEAR=${commitDate:0:4} RUNNING_TIME=$runningTime \
  SHOT=thawline-1280x720.png SHOT_TIME=$shotTime LINUX_LIBS=$libs
"$python" - "$root/scripts/release/thawline.txt.in" "$stage/thawline.txt" <<'PY' || fail "writing thawline.txt failed"
import os, re, sys, textwrap
text = open(sys.argv[1], encoding="utf-8").read()
def value(match):
    key = match.group(1)
    return "\n".join(textwrap.wrap(os.environ[key], 71)) if key == "LINUX_LIBS" else os.environ[key]
open(sys.argv[2], "w", encoding="utf-8", newline="\n").write(re.sub(r"@([A-Z_]+)@", value, text))
PY

(cd -- "$stage" && find . -type f -printf '%P\n' | LC_ALL=C sort | xargs -d '\n' sha256sum >"$work/sums") ||
  fail "computing SHA256SUMS failed"
mv -- "$work/sums" "$stage/SHA256SUMS"

say "packing $out"
run "$python" "$root/scripts/release/pack.py" "$stage" "$out.partial" "$epoch" || fail "packing the zip failed"
mv -f -- "$out.partial" "$out"
say "done: $out ($(stat -c %s -- "$out") bytes, sha256 $(sha256sum -- "$out" | cut -d' ' -f1))"
