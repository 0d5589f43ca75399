#!/usr/bin/env python3
"""thawline --edit in a window on a virtual X screen (Xvfb, keys from
xdotool, no window manager), dummy sound: the transport keys' seeks, the
loop, and a resize that keeps the edited keys.

    edit_mode_window_test.py THAWLINE TIMELINE WORKDIR
"""
import os
import subprocess
import sys
import time
import xml.etree.ElementTree as ET

sys.dont_write_bytecode = True  # nothing written beside the sources
from edit_harness import Run

exe, source_timeline, work = sys.argv[1:4]
run = Run(work)
fail, frames, wait_for = run.fail, run.frames, run.wait_for
timeline = os.path.join(work, "thawline.rocket")
# An edit the built-in keys do not have, seen at row 420: kept through a resize?
tree = ET.parse(source_timeline)
for track in tree.getroot().find("tracks"):
    if track.get("name") == "GLOBE_BRIGHTNESS":
        ET.SubElement(track, "key", row="412", value="40", interpolation="0")
        track[:] = sorted(track, key=lambda k: int(k.get("row")))
tree.write(timeline, encoding="utf-8", xml_declaration=True)
said_so_far = 0


def key(name, expected=None):
    """Presses a key; waits for the line it should print."""
    global said_so_far
    subprocess.run(["xdotool", "key", "--window", window, name], check=True)
    if expected:
        said_so_far = run.said(expected, said_so_far)


display_file = os.path.join(work, "display")
with open(display_file, "w") as f:
    run.others.append(subprocess.Popen(["Xvfb", "-displayfd", str(f.fileno()), "-screen", "0", "640x480x24",
                                        "-nolisten", "tcp"], pass_fds=(f.fileno(),), stdout=subprocess.DEVNULL,
                                       stderr=subprocess.DEVNULL))
end = time.monotonic() + 10
while time.monotonic() < end and not open(display_file).read().strip():
    time.sleep(0.1)
display = open(display_file).read().strip()
if not display:
    fail("Xvfb did not start")
env = dict(os.environ, DISPLAY=":" + display, SDL_AUDIODRIVER="dummy")
env.pop("SDL_VIDEODRIVER", None)
env.pop("WAYLAND_DISPLAY", None)
show = run.start(exe, ["--edit", "--timeline", timeline, "--sync", "127.0.0.1:9", "--size", "320x180", "--preroll", "1"],
                 env)
window = subprocess.run(["xdotool", "search", "--sync", "--name", "^Thawline edit"], capture_output=True, text=True,
                        timeout=60, env=env).stdout.split()[0]
os.environ["DISPLAY"] = ":" + display
wait_for("frames", lambda: len(frames()) > 2)

# Paused, the keys move the row by a beat, a row and 64 rows, from the start.
key("space", "paused")
key("Home", "seek to row 0")
key("Right", "seek to row 8")
key("Down", "seek to row 9")
key("Next", "seek to row 73")
key("Up", "seek to row 72")
key("Left", "seek to row 64")
key("Left", "seek to row 56")
key("Left", "seek to row 48")
key("Up", "seek to row 47")
key("Prior", "seek to row 0")
wait_for("the frame at row 0", lambda: frames()[-1].row == 0 and frames()[-1].paused)
at_start = frames()[-1]

# A loop from 16 to 80: playing, the song and picture come back from 80 to 16
# (longer than a few frames drawn on a software rasterizer).
key("Right", "seek to row 8")
key("Right", "seek to row 16")
key("bracketleft")
key("Next", "seek to row 80")
key("bracketright")
key("Left", "seek to row 72")
count = len(frames())
key("space", "playing")
wait_for("two passes through the loop", lambda: sum(1 for a, b in zip(frames()[count:], frames()[count + 1:])
                                                       if b.frame < a.frame) >= 2, 120)
rows = [f.row for f in frames()[count:]]
if min(rows) < 16 or max(rows) > 80:
    fail(f"rows outside the loop 16-80: {rows}")
key("backslash")
key("space", "paused")
key("Home", "seek to row 0")
wait_for("the frame at row 0", lambda: frames()[-1].row == 0 and frames()[-1].paused)
if frames()[-1].hash != at_start.hash:
    fail("row 0 drew a different picture the second time")

# A resize draws at the window's new size with the edited keys: back at the
# first size the paused picture is the one before.
for step in range(6):
    key("Next", f"seek to row {64 * (step + 1)}")
for row in (392, 400, 408, 416):
    key("Right", f"seek to row {row}")
for row in (417, 418, 419, 420):
    key("Down", f"seek to row {row}")
wait_for("the frame at row 420", lambda: frames()[-1].row == 420 and frames()[-1].paused)
edited = frames()[-1]
subprocess.run(["xdotool", "windowsize", window, "400", "240"], check=True)
wait_for("a frame at 400x240", lambda: frames()[-1].size == "400x240")
subprocess.run(["xdotool", "windowsize", window, "320", "180"], check=True)
wait_for("a frame at 320x180 again", lambda: frames()[-1].size == "320x180" and frames()[-2].size == "400x240")
if frames()[-1].hash != edited.hash:
    fail("after the resize the picture differs: the edited keys or the trail were lost")

key("Escape")
if show.wait(30) != 0:
    fail(f"Escape gave exit {show.returncode}")
if run.errors():
    fail(f"lines on standard error: {run.errors()}")
run.others[0].kill()
run.others[0].wait()
print("edit mode window: keys, loop and resize as expected")
