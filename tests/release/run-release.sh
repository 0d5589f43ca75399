#!/usr/bin/env bash
# Tests of scripts/release.sh.
#   reproducible: one release built afresh from a copy of the tree, one packed
#     from the tree's own builds (other folders, other times): the two zips
#     must be byte for byte the same, and hold what a release should.
#   refusals: a dirty tree, a missing tool and a bad option each give one
#     line, a failure and no archive.
set -euo pipefail
root=$(cd -- "$(dirname -- "$0")/../.." && pwd)
scratch=$(mktemp -d)
trap 'rm -rf -- "$scratch"' EXIT
failed=0
check() { if eval "$2"; then echo "ok: $1"; else echo "FAIL: $1" >&2; failed=1; fi; }

# Zips from a release run: the name comes from the run's last line.
archive_of() { sed -n 's/^release: .* done: \(.*\.zip\) (.*/\1/p' "$1" | tail -1; }

reproducible() {
  local shot=0.1
  bash "$root/scripts/release.sh" --allow-dirty --shot "$shot" >"$scratch/fresh.log" 2>&1 ||
    { cat "$scratch/fresh.log" >&2; echo "FAIL: the fresh release failed" >&2; return 1; }
  local zip
  zip=$(archive_of "$scratch/fresh.log")
  cp -- "$zip" "$scratch/fresh.zip"
  bash "$root/scripts/release.sh" --allow-dirty --shot "$shot" --reuse-builds >"$scratch/reused.log" 2>&1 ||
    { cat "$scratch/reused.log" >&2; echo "FAIL: the release from the existing builds failed" >&2; return 1; }
  check "a fresh build and the tree's builds give the same archive" 'cmp -- "$scratch/fresh.zip" "$zip"'

  /usr/bin/python3 - "$scratch/fresh.zip" "$scratch/x" "$(git -C "$root" log -1 --format=%ct)" <<'PY' || failed=1
import os, stat, struct, sys, time, zipfile
archive, out, epoch = zipfile.ZipFile(sys.argv[1]), sys.argv[2], int(sys.argv[3])
names = archive.namelist()
top = names[0]
want = ["", "SHA256SUMS", "Thawline.exe", "thawline", "thawline-1280x720.png", "thawline.txt",
        "web/", "web/index.html", "web/page.js", "web/thawline.js", "web/thawline.wasm"]
problems = []
if names != [top + n for n in want]:
    problems.append(f"entries {names}")
if not top.startswith("thawline-") or not top.endswith("/"):
    problems.append(f"top folder {top}")
stamp = time.gmtime(epoch)[:6]
for info in archive.infolist():
    if info.date_time[:5] != stamp[:5]:
        problems.append(f"{info.filename} dated {info.date_time}, not the commit's {stamp}")
    mode = info.external_attr >> 16
    executable = info.filename.endswith(("/thawline", "/Thawline.exe")) or info.filename.endswith("/")
    if bool(mode & stat.S_IXUSR) != executable:
        problems.append(f"{info.filename} has mode {oct(mode)}")
archive.extractall(out)
for info in archive.infolist():  # zipfile leaves the modes behind
    os.chmod(os.path.join(out, info.filename), (info.external_attr >> 16) & 0o777)
png = open(os.path.join(out, top, "thawline-1280x720.png"), "rb").read(24)
if png[:8] != b"\x89PNG\r\n\x1a\n" or struct.unpack(">II", png[16:24]) != (1280, 720):
    problems.append("the screenshot is not a 1280x720 PNG")
text = open(os.path.join(out, top, "thawline.txt"), encoding="utf-8").read()
for needed in [top.rstrip("/")[len("thawline-"):], "Windows 10", "OpenGL ES 3", "WebGL 2", "Escape",
               "libSDL2-2.0.so.0", "SIL Open Font License", "46.6 seconds"]:
    if needed not in text:
        problems.append(f"thawline.txt lacks {needed!r}")
if "@" in text:
    problems.append("thawline.txt keeps a placeholder")
for p in problems:
    print("FAIL:", p, file=sys.stderr)
print("ok: entries, dates, modes, screenshot and info text" if not problems else "", end="")
sys.exit(1 if problems else 0)
PY
  echo
  local top
  top=$(ls "$scratch/x")
  check "SHA256SUMS verifies every file" '(cd -- "$scratch/x/$top" && sha256sum --quiet -c SHA256SUMS)'
  check "the archive holds the tree's Windows show" 'cmp -- "$scratch/x/$top/Thawline.exe" "$root/build/windows/src/app/win32/Thawline.exe"'
  check "the Linux program starts" '"$scratch/x/$top/thawline" --help >/dev/null'
}

# Runs release.sh with the given environment and options; it must fail with
# one line saying $1 and write no archive.
refused() {
  local want=$1 dir=$2; shift 2
  local status=0
  (cd -- "$dir" && "$@") >"$scratch/out" 2>"$scratch/err" || status=$?
  check "refused ($want): failure status" '[ "$status" -ne 0 ]'
  check "refused ($want): one line" '[ "$(wc -l <"$scratch/err")" = 1 ] && grep -q -- "$want" "$scratch/err"'
  check "refused ($want): no archive" '! ls "$dir"/build/release/*.zip >/dev/null 2>&1'
  [ "$failed" = 0 ] || cat "$scratch/err" >&2
}

refusals() {
  # A clone whose last commit holds this working tree's release script.
  local clone=$scratch/clone
  git clone -q --shared -- "$root" "$clone"
  cp -- "$root/scripts/release.sh" "$clone/scripts/release.sh"
  mkdir -p "$clone/scripts/release"
  cp -- "$root"/scripts/release/* "$clone/scripts/release/"
  git -C "$clone" add -A
  git -C "$clone" -c user.name=test -c user.email=test@localhost commit -q -m test --allow-empty

  # Every command of this machine but ffmpeg.
  local farm=$scratch/bin
  mkdir -p "$farm"
  for tool in /usr/local/bin/* /usr/bin/*; do
    [ "${tool##*/}" = ffmpeg ] || ln -sf -- "$tool" "$farm/"
  done
  refused "ffmpeg is missing" "$clone" env PATH="$farm" bash scripts/release.sh --reuse-builds

  echo scratch >"$clone/notes.txt"
  refused "uncommitted changes" "$clone" bash scripts/release.sh
  refused "shot wants seconds" "$clone" bash scripts/release.sh --allow-dirty --shot soon
}

"$1"
[ "$failed" = 0 ] && echo "PASS" || exit 1
