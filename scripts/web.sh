#!/usr/bin/env bash
# Builds the show's web site (WebAssembly on WebGL 2, in build/web) and serves
# it on localhost with Python's http.server, or with --out DIR writes the
# static site there for upload to any web server.
set -euo pipefail
cd "$(dirname "$0")/.."

usage() {
  cat <<'EOF'
usage: scripts/web.sh [--port PORT] [--out DIR]

Builds the show for the browser (build/web: index.html, page.js, thawline.js,
thawline.wasm) and serves it at http://127.0.0.1:PORT/ (default 8000) until
Ctrl-C. With --out DIR it copies the four files into DIR instead (made if
missing) and exits. URL parameters: ?autostart starts without the start
screen where the browser lets sound start.
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
      [[ "$2" =~ ^[0-9]+$ ]] && [ "$2" -ge 1 ] && [ "$2" -le 65535 ] || fail "--port wants a number from 1 to 65535, not \"$2\""
      port=$2; shift 2 ;;
    --out)
      [ $# -ge 2 ] && [ -n "$2" ] || fail "--out wants a folder"
      out=$2; shift 2 ;;
    *) echo "web: unknown option $1 (try --help)" >&2; exit 2 ;;
  esac
done

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
files=(index.html page.js thawline.js thawline.wasm)
total=0
for f in "${files[@]}"; do
  [ -f "$site/$f" ] || fail "the build did not write $site/$f"
  size=$(stat -c %s "$site/$f")
  total=$((total + size))
  printf '%10d  %s\n' "$size" "$f"
done
printf '%10d  bytes in all\n' "$total"

if [ -n "$out" ]; then
  mkdir -p "$out" || fail "cannot make $out"
  for f in "${files[@]}"; do cp "$site/$f" "$out/$f" || fail "cannot write $out/$f"; done
  echo "web: the site is in $out (serve it from any static web server)"
  exit 0
fi

python3 -c 'import socket, sys; s = socket.socket(); s.bind(("127.0.0.1", int(sys.argv[1])))' "$port" 2>/dev/null ||
  fail "port $port on 127.0.0.1 is taken; pick another with --port"
echo "web: serving the show at http://127.0.0.1:$port/ (Ctrl-C stops it)"
exec python3 -m http.server "$port" --bind 127.0.0.1 --directory "$site"
