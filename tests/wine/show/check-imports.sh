#!/usr/bin/env bash
# The show must run on a bare Windows: it may import only system DLLs, with
# the C++ and GCC runtimes linked in statically.
#   check-imports.sh <Thawline.exe>
set -euo pipefail
exe=${1:?executable}
allowed='^(kernel32|user32|gdi32|d3d11|dxgi|dcomp|winmm|advapi32|msvcrt|ole32|shell32|ntdll|api-ms-win-[a-z0-9-]+)\.dll$'
imports=$(x86_64-w64-mingw32-objdump -p "$exe" | awk '/DLL Name:/ { print tolower($3) }')
echo "imports: $(echo $imports)"
[ -n "$imports" ] || { echo "FAIL: no imports found" >&2; exit 1; }
bad=$(echo "$imports" | grep -Ev "$allowed" || true)
[ -z "$bad" ] || { echo "FAIL: non-system DLLs: $bad" >&2; exit 1; }
for needed in d3d11.dll dcomp.dll winmm.dll user32.dll kernel32.dll; do
  echo "$imports" | grep -qx "$needed" || { echo "FAIL: $needed is not imported" >&2; exit 1; }
done
echo "PASS"
