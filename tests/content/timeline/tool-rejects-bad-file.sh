#!/bin/sh
# thaw-timeline TOOL on a copy of the show's timeline FILE with one value
# spoiled: exit code 1, the reader's one line on stderr naming the file and
# the line, no tables written. Then the good copy makes tables.
set -u
tool=$1 file=$2 work=$3
rm -rf "$work" && mkdir -p "$work" || exit 1
line=$(grep -n '<key row="693" value="0.6"' "$file" | head -1 | cut -d: -f1)
[ -n "$line" ] || { echo "no key at row 693 in $file"; exit 1; }
sed "${line}s/value=\"0.6\"/value=\"0.6.1\"/" "$file" >"$work/bad.rocket"

"$tool" "$work/bad.rocket" -o "$work/tables.cpp" 2>"$work/stderr"
status=$?
expected="$work/bad.rocket:$line: value '0.6.1' is not a finite number"
[ "$status" -eq 1 ] || { echo "exit code $status, not 1"; exit 1; }
[ "$(cat "$work/stderr")" = "$expected" ] || { echo "stderr: $(cat "$work/stderr")"; echo "wanted: $expected"; exit 1; }
[ ! -e "$work/tables.cpp" ] || { echo "tables written for a bad file"; exit 1; }

"$tool" "$file" -o "$work/tables.cpp" || { echo "the good file failed"; exit 1; }
grep -q "kTimelineKeyCounts" "$work/tables.cpp" || { echo "no key counts in the tables"; exit 1; }
"$tool" --help | grep -q "usage: thaw-timeline" || { echo "no usage on --help"; exit 1; }
echo "ok"
