#!/usr/bin/env bash
# The shipped executable stays within its budget of 600 KB.
#   check-size.sh <Thawline.exe> <budget in bytes>
set -euo pipefail
size=$(stat -c %s "${1:?executable}")
echo "Thawline.exe: $size bytes (budget ${2:?budget})"
[ "$size" -le "$2" ] || { echo "FAIL: $size bytes is over the budget of $2" >&2; exit 1; }
