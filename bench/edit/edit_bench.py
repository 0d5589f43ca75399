#!/usr/bin/env python3
"""Edit mode's answers, end to end: thawline --edit headless (SDL offscreen
video, dummy sound) against a scripted sync editor on a loopback port, read
through its frame log. Prints medians; asserts nothing.

  - its frame rate while playing (frame log lines a second; the log reads
    each frame back, which a plain run does not);
  - SET_ROW (paused) -> the first frame drawn at that row: the trail's
    pre-roll and the frame;
  - the timeline file saved (a new file renamed over it, paused) -> the
    first frame drawn with its keys.

    edit_bench.py THAWLINE TIMELINE [--size WxH] [--preroll N] [--repeats N]
"""
import argparse
import os
import re
import shutil
import socket
import statistics
import struct
import subprocess
import tempfile
import time

parser = argparse.ArgumentParser()
parser.add_argument("thawline")
parser.add_argument("timeline")
parser.add_argument("--size", default="320x180")
parser.add_argument("--preroll", default="15")
parser.add_argument("--repeats", type=int, default=5)
args = parser.parse_args()

work = tempfile.mkdtemp(prefix="edit_bench.")
timeline = os.path.join(work, "thawline.rocket")
shutil.copyfile(args.timeline, timeline)
original = open(timeline, "rb").read()
log = os.path.join(work, "frames.log")


def frames():
    got = []
    for line in open(log).read().splitlines() if os.path.exists(log) else []:
        m = re.fullmatch(r"frame (\d+) row (\d+) (paused|playing|held) size \d+x\d+ hash ([0-9a-f]{16})", line)
        if m:
            got.append((int(m[1]), int(m[2]), m[3], m[4]))
    return got


def until(test, seconds=60.0):
    end = time.monotonic() + seconds
    while time.monotonic() < end:
        if test():
            return time.monotonic()
        time.sleep(0.002)
    raise SystemExit("edit_bench: timed out (%d frames logged)" % len(frames()))


listener = socket.socket()
listener.bind(("127.0.0.1", 0))
listener.listen(1)
env = dict(os.environ, SDL_VIDEODRIVER="offscreen", SDL_AUDIODRIVER="dummy")
show = subprocess.Popen([args.thawline, "--edit", "--timeline", timeline, "--size", args.size, "--preroll",
                         args.preroll, "--sync", "127.0.0.1:%d" % listener.getsockname()[1], "--frame-log", log],
                        stdout=subprocess.DEVNULL, env=env)
try:
    peer, _ = listener.accept()
    peer.recv(19)
    peer.sendall(b"hello, demo!")

    until(lambda: len(frames()) > 5)
    start_count, start = len(frames()), time.monotonic()
    time.sleep(10)
    fps = (len(frames()) - start_count) / (time.monotonic() - start)

    peer.sendall(struct.pack(">BB", 4, 1))
    time.sleep(1.0)
    seeks = []
    for r in range(args.repeats):
        row = 200 + 97 * r % 800  # before the show's end (row 1055)
        count = len(frames())
        sent = time.monotonic()
        peer.sendall(struct.pack(">BI", 3, row))
        seeks.append(until(lambda: any(f[1] == row for f in frames()[count:])) - sent)

    reloads, exact = [], []
    edited = original.replace(b'value="', b'value="9', 40)  # 40 keys changed
    for r in range(args.repeats):
        count = len(frames())
        temporary = timeline + ".saving"
        open(temporary, "wb").write(edited if r % 2 == 0 else original)
        sent = time.monotonic()
        os.replace(temporary, timeline)
        reloads.append(until(lambda: len(frames()) > count) - sent)
        exact.append(until(lambda: any(f[2] != "held" for f in frames()[count:])) - sent)

    print(f"edit mode {args.size}, pre-roll {args.preroll} frames: {fps:.2f} frames/s playing (with the frame log); "
          f"SET_ROW -> picture {statistics.median(seeks) * 1e3:.0f} ms; "
          f"saved timeline -> picture {statistics.median(reloads) * 1e3:.0f} ms (trail held), "
          f"exact {statistics.median(exact) * 1e3:.0f} ms "
          f"(medians of {args.repeats}, paused)")
finally:
    show.terminate()
    show.wait(30)
    shutil.rmtree(work, ignore_errors=True)
