#!/usr/bin/env bash
# Two builds of the same sources must give the same Thawline.exe. What varied
# between builds in different folders was the PE header's time stamp (and the
# checksum over it): it must be zero. Nor may the build's folders appear in it.
#   check-reproducible.sh <Thawline.exe> <source dir> <build dir>
set -euo pipefail
exe=${1:?executable} source=${2:?source dir} build=${3:?build dir}
stamp=$(python3 - "$exe" <<'PY'
import struct, sys
data = open(sys.argv[1], "rb").read()
pe = struct.unpack_from("<I", data, 0x3C)[0]
assert data[pe:pe + 4] == b"PE\0\0", "not a PE file"
print(struct.unpack_from("<I", data, pe + 8)[0])
PY
)
[ "$stamp" = 0 ] || { echo "FAIL: the PE header carries the time stamp $stamp" >&2; exit 1; }
for dir in "$source" "$build"; do
  if grep -qaF -- "$dir" "$exe"; then echo "FAIL: $exe holds the path $dir" >&2; exit 1; fi
done
echo "PASS: no time stamp, no build paths"
