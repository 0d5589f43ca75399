#!/usr/bin/env bash
# Translates every optimised SPIR-V module that a build left for the shader
# translator (BUILD_DIR/**/shaders/*.spv) with the given thaw-dxbc and writes
# the blobs under OUT_DIR, keyed by their path in the build tree. Two snapshots
# taken with two translators compare with `diff -r`: a refactoring of the
# translator must leave every blob byte for byte the same.
#
#   scripts/dxbc-snapshot.sh THAW_DXBC OUT_DIR BUILD_DIR...
set -euo pipefail
if [ $# -lt 3 ]; then
  echo "usage: $0 THAW_DXBC OUT_DIR BUILD_DIR..." >&2
  exit 2
fi
translator=$1
out=$2
shift 2
mkdir -p "$out"
count=0
for build in "$@"; do
  while IFS= read -r spv; do
    rel=${spv#"$build"/}
    dest="$out/$(basename "$build")/${rel%.spv}.dxbc"
    mkdir -p "$(dirname "$dest")"
    "$translator" compile "$spv" -o "$dest" --source "$rel"
    count=$((count + 1))
  done < <(find "$build" -regex '.*/shaders/[^/]*\.spv' ! -name '*.raw.spv' | sort)
done
echo "$count blobs written under $out"
