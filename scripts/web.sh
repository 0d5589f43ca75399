#!/usr/bin/env bash
# Builds the show's web site (WebAssembly on WebGL 2, in build/web) and serves
# it on localhost with Python's http.server, or with --out DIR writes the
# static site there for upload to any web server.
set -euo pipefail
caller=$PWD
cd "$(dirname "$0")/.."

usage() {
  cat <<'EOF'
usage: scripts/web.sh [--port PORT] [--out DIR]

Builds the show for the browser (build/web: index.html, page.js, thawline.js,
thawline.wasm) and serves it at http://127.0.0.1:PORT/ (default 8000) until
Ctrl-C. With --out DIR it writes the four files into DIR instead and exits:
DIR must be missing, empty or an earlier site written this way (it is then
replaced, only once the new one is complete).

The page's URL parameters (each at most once; any other, or one it cannot
read, gets a line on the page saying what it accepts, and nothing starts):
  autostart        start without the start screen where the browser lets
                   sound start (kiosks, tests)
  size=WxH         draw at W x H pixels instead of the screen's size (each
                   side at most what WebGL draws into, at most 3840x2160
                   pixels in all)
  from=SECONDS     start the song there (0 up to the show's end, 46.57)
  step             off-line stepping: every frame from 0 at music time k / fps,
                   as the capture draws them; Escape stops it
  fps=N            with step: frames per second of music, 1-1000 (60)
  frame=K          with step: the first frame kept for reading back,
                   0-1000000 (0)
  count=C          with step: how many frames are kept, 1-1000 (1)
  edit             edit mode: the song moved, paused and looped with Space,
                   the arrows, Page Up/Down, Home, [ ] and \, and by the sync
                   editor's WebSocket; its saves offer thawline.rocket for
                   download
  sync=ws://HOST:PORT
                   with edit: the sync editor (ws://127.0.0.1:1339)
  preroll=N        with edit: frames drawn unseen after a seek to rebuild the
                   melt trail, 1-600 (15)
EOF
}

fail() { echo "web: $*" >&2; exit 1; }

port=8000
out=""
while [ $# -gt 0 ]; do
  case "$1" in
    -h|--help) usage; exit 0 ;;
    --port)
      [ $# -ge 2 ] || fail "--port wants a port number"
      # Digits first, so that bash never compares a number it cannot hold.
      [[ "$2" =~ ^[1-9][0-9]{0,4}$ ]] && [ "$2" -le 65535 ] ||
        fail "--port wants a number from 1 to 65535, not \"$2\""
      port=$2; shift 2 ;;
    --out)
      [ $# -ge 2 ] && [ -n "$2" ] || fail "--out wants a folder"
      out=$2; shift 2 ;;
    *) echo "web: unknown option $1 (try --help)" >&2; exit 2 ;;
  esac
done

files=(index.html page.js thawline.js thawline.wasm)

# A folder the site may be written to: missing, empty, or holding nothing but
# the site's own files (an earlier run's output).
if [ -n "$out" ]; then
  # Relative to the folder the script was run from, not to the repository.
  out=$(cd "$caller" && realpath -m -- "$out")
  [ "$out" != / ] || fail "--out cannot be the root folder"
  if [ -e "$out" ] || [ -L "$out" ]; then
    [ -d "$out" ] && [ ! -L "$out" ] || fail "$out exists and is not a folder"
    for entry in "$out"/* "$out"/.[!.]* "$out"/..?*; do
      [ -e "$entry" ] || [ -L "$entry" ] || continue
      name=${entry##*/}
      case " ${files[*]} " in
        *" $name "*) [ -f "$entry" ] && [ ! -L "$entry" ] && continue ;;
      esac
      fail "$out holds $name, which is not part of the site; give an empty or new folder"
    done
  fi
  parent=$(dirname -- "$out")
  while [ ! -e "$parent" ]; do parent=$(dirname -- "$parent"); done
  [ -d "$parent" ] && [ -w "$parent" ] || fail "cannot write into $parent (for $out)"
else
  python3 -c 'import socket, sys; s = socket.socket(); s.bind(("127.0.0.1", int(sys.argv[1])))' "$port" 2>/dev/null ||
    fail "port $port on 127.0.0.1 is taken; pick another with --port"
fi

# THAW_WEB_SITE: a site already built there is taken as it is (the tests).
site=${THAW_WEB_SITE:-}
if [ -z "$site" ]; then
  bash scripts/setup.sh >/dev/null || fail "installing the packages failed (run scripts/setup.sh to see why)"
  mkdir -p build
  log=build/web.log
  jobs=$(nproc)
  # The programs' GLSL comes from the native build's shader converter.
  {
    cmake --preset native &&
    cmake --build --preset native -j "$jobs" --target thaw_shader_glsl &&
    cmake --preset web &&
    cmake --build --preset web -j "$jobs"
  } >"$log" 2>&1 || fail "the build failed; see $log"
  site=build/web
fi

total=0
for f in "${files[@]}"; do
  [ -f "$site/$f" ] || fail "the build did not write $site/$f"
  size=$(stat -c %s "$site/$f")
  total=$((total + size))
  printf '%10d  %s\n' "$size" "$f"
done
printf '%10d  bytes in all\n' "$total"

if [ -n "$out" ]; then
  # The new site goes into a folder beside DIR and takes its place only when
  # complete: an interrupted or failed copy leaves DIR as it was.
  mkdir -p -- "$(dirname -- "$out")" || fail "cannot make $(dirname -- "$out")"
  fresh=$(mktemp -d -- "$out.new.XXXXXX") || fail "cannot write beside $out"
  aside="$fresh.old"
  # Whatever stops the script, DIR ends up holding the old site or the new one.
  putBack() {
    if [ -d "$aside" ] && [ ! -e "$out" ]; then mv -T -- "$aside" "$out"; fi
    rm -rf -- "$fresh" "$aside"
  }
  trap putBack EXIT
  trap 'exit 130' INT
  trap 'exit 143' TERM
  for f in "${files[@]}"; do cp -- "$site/$f" "$fresh/$f" || fail "cannot write $fresh/$f"; done
  # mktemp's folder is private; the site's is as any new folder would be.
  chmod "$(printf '%o' $(( 0777 & ~0$(umask) )))" "$fresh"
  if [ -d "$out" ]; then mv -T -- "$out" "$aside" || fail "cannot move the earlier site $out aside"; fi
  mv -T -- "$fresh" "$out" || fail "cannot put the site in $out"
  echo "web: the site is in $out (serve it from any static web server)"
  exit 0
fi

python3 -c 'import socket, sys; s = socket.socket(); s.bind(("127.0.0.1", int(sys.argv[1])))' "$port" 2>/dev/null ||
  fail "port $port on 127.0.0.1 is taken; pick another with --port"
echo "web: serving the show at http://127.0.0.1:$port/ (Ctrl-C stops it)"
exec python3 -m http.server "$port" --bind 127.0.0.1 --directory "$site"
