#!/usr/bin/env bash
# Builds the native show (only thawline and what it needs) and runs it in
# edit mode from this checkout: the timeline file src/content/timeline/
# thawline.rocket and the shaders of src/content/shaders are this checkout's,
# a sync editor is looked for at 127.0.0.1:1338. Arguments go to
# `thawline --edit` (--timeline FILE, --shaders DIR, --sync HOST:PORT, --size WxH).
set -euo pipefail
cd "$(dirname "$0")/.."
show=build/native/src/app/linux/thawline
case "${1:-}" in
  -h|--help)
    echo "usage: scripts/edit.sh [thawline --edit options]   (builds thawline, then runs thawline --edit)"
    if [ -x "$show" ]; then echo; "$show" --edit --help; fi
    exit 0 ;;
esac
jobs=$(nproc)
[ "$jobs" -gt 2 ] || jobs=2
cmake --preset native >/dev/null
cmake --build --preset native --target thawline -j "$jobs"
[ -x "$show" ] || { echo "edit: $show was not built" >&2; exit 1; }
exec "$show" --edit \
  --timeline src/content/timeline/thawline.rocket --shaders src/content/shaders "$@"
