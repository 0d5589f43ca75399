#!/usr/bin/env bash
# A second reader for the translator's output: vkd3d-compiler turns each DXBC
# blob into SPIR-V and spirv-val validates that (Vulkan 1.0 rules). Fails,
# naming every blob that either tool rejects, if any does.
#
#   read-with-vkd3d.sh OUT_DIR BLOB...
set -uo pipefail
if [ $# -lt 2 ]; then
  echo "usage: $0 OUT_DIR BLOB..." >&2
  exit 2
fi
out=$1
shift
for tool in vkd3d-compiler spirv-val; do
  if ! command -v "$tool" >/dev/null; then
    echo "$tool not found (Debian packages vkd3d-compiler and spirv-tools; see scripts/setup.sh)" >&2
    exit 1
  fi
done
mkdir -p "$out"
failed=0
for blob in "$@"; do
  spv="$out/$(basename "${blob%.dxbc}").spv"
  if ! log=$(vkd3d-compiler -x dxbc-tpf -b spirv-binary -o "$spv" "$blob" 2>&1); then
    echo "REJECTED by vkd3d-compiler: $blob"
    echo "$log" | head -20
    failed=$((failed + 1))
  elif ! log=$(spirv-val --target-env vulkan1.0 "$spv" 2>&1); then
    echo "INVALID SPIR-V from vkd3d-compiler: $blob"
    echo "$log" | head -20
    failed=$((failed + 1))
  fi
done
echo "$# blobs read, $failed rejected"
[ "$failed" -eq 0 ]
