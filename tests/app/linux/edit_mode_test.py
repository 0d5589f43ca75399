#!/usr/bin/env python3
"""thawline --edit driven from the outside, headless (SDL's offscreen video,
dummy sound), by a scripted sync editor on a loopback port written from the
protocol: the greeting and the track requests, key changes seen in the
read-back picture (the frame log's hashes), seeks of the played position,
pause, a save that gives back the file, malformed messages and a wrong
greeting (each one line, the keys kept, the editor taken back), a lost and
returning editor, and the timeline file saved by a text editor, well and badly.

    edit_mode_test.py THAWLINE TIMELINE WORKDIR
"""
import os
import shutil
import socket
import struct
import subprocess
import sys
import time
import xml.etree.ElementTree as ET

sys.dont_write_bytecode = True  # nothing written beside the sources
from edit_harness import Run

exe, source_timeline, work = sys.argv[1:4]
run = Run(work)
fail, frames, said, wait_for = run.fail, run.frames, run.said, run.wait_for
timeline = os.path.join(work, "thawline.rocket")
shutil.copyfile(source_timeline, timeline)
original = open(timeline, "rb").read()
names = [t.get("name") for t in ET.parse(timeline).getroot().find("tracks")]
timeline_rows = int(ET.parse(timeline).getroot().get("rows"))
SEEK_ROW = 420


def settled_picture(count_before):
    """The hash of the first exact frame drawn after `count_before` log lines
    (a picture drawn at once for changed keys, with the trail held, comes
    first and must be followed by the exact one)."""
    def exact():
        return [f for f in frames()[count_before:] if not f.held]
    return wait_for("a new frame", exact)[0].hash


class Editor:
    def __init__(self):
        self.listener = socket.socket()
        self.listener.setsockopt(socket.SOL_SOCKET, socket.SO_REUSEADDR, 1)
        self.listener.bind(("127.0.0.1", 0))
        self.listener.listen(1)
        self.port = self.listener.getsockname()[1]
        self.peer, self.pending = None, b""

    def accept(self, seconds=30):
        self.listener.settimeout(seconds)
        try:
            self.peer, _ = self.listener.accept()
        except socket.timeout:
            fail(f"the show did not connect within {seconds} s")
        self.peer.settimeout(30)
        self.pending = b""

    def read(self, n):
        while len(self.pending) < n:
            chunk = self.peer.recv(4096)
            if not chunk:
                fail("the show closed the connection")
            self.pending += chunk
        got, self.pending = self.pending[:n], self.pending[n:]
        return got

    def handshake(self):
        if self.read(19) != b"hello, synctracker!":
            fail("not the client's greeting")
        self.peer.sendall(b"hello, demo!")
        asked = []
        while len(asked) < len(names):
            command = self.read(1)[0]
            if command == 3:  # a row while playing may come between
                self.read(4)
                continue
            if command != 2:
                fail(f"command {command} before the tracks were asked for")
            size = struct.unpack(">I", self.read(4))[0]
            asked.append(self.read(size).decode())
        if asked != names:
            fail(f"tracks asked for {asked}, not the file's {names}")

    def rows_sent(self, seconds):
        """The SET_ROWs the show sends within `seconds`."""
        rows, end = [], time.monotonic() + seconds
        self.peer.settimeout(0.1)
        while time.monotonic() < end:
            try:
                self.pending += self.peer.recv(4096)
            except socket.timeout:
                pass
            while len(self.pending) >= 5 and self.pending[0] == 3:
                rows.append(struct.unpack(">I", self.pending[1:5])[0])
                self.pending = self.pending[5:]
        self.peer.settimeout(30)
        return rows

    def send(self, data):
        self.peer.sendall(data)

    def set_key(self, track, row, value, interpolation=0):
        self.send(struct.pack(">BIIfB", 0, track, row, value, interpolation))

    def delete_key(self, track, row):
        self.send(struct.pack(">BII", 1, track, row))

    def set_row(self, row):
        self.send(struct.pack(">BI", 3, row))

    def pause(self, on):
        self.send(struct.pack(">BB", 4, 1 if on else 0))

    def save(self):
        self.send(b"\x05")


for args, status in ((["--edit", "--help"], 0), (["--edit", "--size", "12x"], 2), (["--edit", "--bogus"], 2), (["--edit", "--preroll", "0"], 2)):
    done = subprocess.run([exe] + args, capture_output=True, text=True)
    if done.returncode != status or (status == 0) != ("usage: thawline --edit" in done.stdout):
        fail(f"thawline {args}: exit {done.returncode}, {done.stdout!r} {done.stderr!r}")

editor = Editor()
env = dict(os.environ, SDL_VIDEODRIVER="offscreen", SDL_AUDIODRIVER="dummy")
show = run.start(exe, ["--edit", "--timeline", timeline, "--sync", f"127.0.0.1:{editor.port}", "--size", "320x180",
                        "--preroll", "4"], env)

# The greeting and the 27 track requests in index order; playing, the show
# tells the editor its row as it moves.
editor.accept()
editor.handshake()
n = said("connected to *")
rows = editor.rows_sent(2.0)
if len(rows) < 2 or rows != sorted(rows) or len(set(rows)) != len(rows):
    fail(f"rows sent while playing: {rows}")

# PAUSE holds the song and the picture: nothing more is sent, the clock stands.
editor.pause(True)
n = said("paused", n)
editor.rows_sent(0.5)  # those on their way before the pause
held = len(frames())
if editor.rows_sent(1.5):
    fail("rows sent while paused")
if len(frames()) != held:
    fail("frames drawn while paused with nothing changed")

# SET_ROW seeks the played position to the row's frame, exactly, and the picture.
expected_frame = round(SEEK_ROW * 44100 * 3 / 68)
count = len(frames())
editor.set_row(SEEK_ROW)
n = said(f"seek to row {SEEK_ROW}", n)
wait_for("the sought frame", lambda: len(frames()) > count)
frame, row, paused, _, before, _ = frames()[count]
if (frame, row, paused) != (expected_frame, SEEK_ROW, True):
    fail(f"after SET_ROW {SEEK_ROW}: frame {frame} row {row} paused {paused}, not frame {expected_frame}")
# Seeking to the same row again draws the same picture: the trail is rebuilt, not carried.
count = len(frames())
editor.set_row(SEEK_ROW)
n = said(f"seek to row {SEEK_ROW}", n)
if settled_picture(count) != before:
    fail("the same row drew a different picture on a second seek")

# A key changes the picture at once; deleting it gives the picture back.
track = names.index("GLOBE_BRIGHTNESS")
count = len(frames())
editor.set_key(track, SEEK_ROW - 8, 40.0, 0)
changed = settled_picture(count)
if not frames()[count].held:
    fail("a key change while paused was not drawn at once with the trail held before the exact picture")
if changed == before:
    fail("SET_KEY did not change the picture")
count = len(frames())
editor.delete_key(track, SEEK_ROW - 8)
if settled_picture(count) != before:
    fail("DELETE_KEY did not give the picture back")

# SAVE_TRACKS after the key was set and deleted writes the file as it was.
editor.save()
n = said(f"saved * keys to {timeline}", n)
if open(timeline, "rb").read() != original:
    fail("the saved file differs from the original")
# The show's own save is not read back over the keys: a key set right after
# it stays (the next save holds it) and no reload is announced.
count = len(frames())
editor.send(b"\x05" + struct.pack(">BIIfB", 0, track, 1200, 2.0, 0))
n = said(f"saved 416 keys to {timeline}", n)
settled_picture(count)
editor.save()
n = said(f"saved 417 keys to {timeline}", n)
count = len(frames())
editor.delete_key(track, 1200)
if settled_picture(count) != before:
    fail("deleting the key saved between two saves did not give the picture back")
editor.save()
n = said(f"saved 416 keys to {timeline}", n)
if [l for l in run.out() if l.startswith("reloaded")]:
    fail("the show's own saves were read back as reloads")

# Saving the file from a text editor (a new file renamed over it) reloads it.
tree = ET.parse(timeline)
for t in tree.getroot().find("tracks"):
    if t.get("name") == "GLOBE_BRIGHTNESS":
        ET.SubElement(t, "key", row="1300", value="1", interpolation="0")  # past the sought row
        keys = sorted(t, key=lambda k: int(k.get("row")))
        t[:] = keys
        for k in t:
            if int(k.get("row")) <= SEEK_ROW - 8:
                last_before = k
        last_before.set("value", "40")


def save_as_editor(text):
    temporary = timeline + ".saving"
    open(temporary, "wb").write(text)
    os.replace(temporary, timeline)


count = len(frames())
save_as_editor(ET.tostring(tree.getroot(), encoding="utf-8", xml_declaration=True))
n = said(f"reloaded * keys from {timeline}", n)
edited = settled_picture(count)
if edited == before:
    fail("the reloaded file did not change the picture")
# A broken save: one line on standard error, the keys and picture stay.
errors = len(run.errors())
count = len(frames())
save_as_editor(original.replace(b'row="', b'rov="', 1))
wait_for("the reader's line", lambda: len(run.errors()) > errors)
line = run.errors()[errors]
if not line.startswith(f"thawline: {timeline}:") or "keeping the keys" not in line:
    fail(f"not the reader's one line: {line}")
expected_errors = [line]
time.sleep(0.5)
if any(f.hash != edited for f in frames()[count:]):
    fail("the broken file changed the picture")
count = len(frames())
save_as_editor(original)
n = said(f"reloaded * keys from {timeline}", n)
if settled_picture(count) != before:
    fail("the original file did not bring the picture back")

# Malformed messages, one connection each: the show drops the editor with one
# line on standard error naming the fault, keeps its keys (the picture at the
# paused row and, at the end, the saved file are as before), draws on, and is
# back within the retry's second. Keys that would change the picture at the
# row if taken go to GLOBE_BRIGHTNESS before it.
def key(track, row, value, interpolation=0):
    return struct.pack(">BIIfB", 0, track, row, value, interpolation)


globe = names.index("GLOBE_BRIGHTNESS")
WRONG_GREETING = b"hello, demo?"
CUT_SHORT = key(globe, SEEK_ROW - 8, 40.0)[:9]  # and the editor closes
malformed = [
    (b"\x06", "unknown command byte 6"),
    (struct.pack(">BI", 2, 4) + b"Zoom", "GET_TRACK (command 2) from the editor"),
    (key(len(names), SEEK_ROW - 8, 40.0), f"SET_KEY for track {len(names)}, past the {len(names)} tracks"),
    (struct.pack(">BII", 1, 0xFFFFFFFF, 0), f"DELETE_KEY for track 4294967295, past the {len(names)} tracks"),
    (key(globe, SEEK_ROW - 8, 40.0, 4), "SET_KEY with interpolation 4"),
    (key(globe, timeline_rows, 40.0), f"SET_KEY at row {timeline_rows}, past the timeline's {timeline_rows} rows"),
    (key(globe, SEEK_ROW - 8, float("nan")), "not a finite number"),
    (key(globe, SEEK_ROW - 8, float("-inf")), "not a finite number"),
    (CUT_SHORT, "the connection ended inside SET_KEY (9 of 14 bytes)"),
    (WRONG_GREETING, "the server's greeting is not a sync editor's"),
]
where = f"127.0.0.1:{editor.port}"
out_before, expected_out, slowest = len(run.out()), [], 0.0


def back_as_before(after):
    """The show, connected again, draws the picture it drew at the row before
    `after`, which left one line on standard error."""
    editor.handshake()
    expected_out.extend([f"connected to {where}", f"seek to row {SEEK_ROW}"])
    count = len(frames())
    editor.set_row(SEEK_ROW)
    if settled_picture(count) != before:
        fail(f"after '{after}' the picture at row {SEEK_ROW} changed")
    if run.errors() != expected_errors:
        fail(f"more than one line for '{after}': {run.errors()[len(expected_errors):]}")


for i, (message, fault) in enumerate(malformed):
    if message == WRONG_GREETING:
        if editor.read(19) != b"hello, synctracker!":
            fail("not the client's greeting")
    elif i > 0:
        back_as_before(malformed[i - 1][1])
    editor.send(message)
    if message == CUT_SHORT:
        editor.peer.close()
    line = wait_for(f"the line for '{fault}'", lambda: run.errors()[len(expected_errors):])[0]
    dropped = time.monotonic()
    if not line.startswith(f"thawline: disconnected from {where}: ") or fault not in line:
        fail(f"not the line for '{fault}': {line}")
    expected_errors.append(line)
    editor.peer.close()
    editor.accept(5)
    slowest = max(slowest, time.monotonic() - dropped)
if slowest > 2.0:
    fail(f"the show took {slowest:.1f} s to connect again after a malformed message")
back_as_before("the message cut short and the wrong greeting")
if run.out()[out_before:] != expected_out:
    fail(f"standard output during the malformed messages: {run.out()[out_before:]}")
editor.save()
n = said(f"saved * keys to {timeline}", out_before + len(expected_out))
if open(timeline, "rb").read() != original:
    fail("the keys saved after the malformed messages differ from the original")

# PAUSE off: the song plays on from the row, the show tells the editor its rows.
editor.pause(False)
n = said("playing", n)
rows = editor.rows_sent(1.5)
if not rows or rows[0] < SEEK_ROW or rows != sorted(rows):
    fail(f"rows sent after playing on from {SEEK_ROW}: {rows}")

# An editor that goes away: one line, the show plays on and takes the editor back.
count = len(frames())
editor.peer.close()
n = said("disconnected from *", n)
wait_for("frames while no editor listens", lambda: len(frames()) > count + 3)
editor.accept()
editor.handshake()
n = said("connected to *", n)

show.terminate()
if show.wait(30) != 143:
    fail(f"exit {show.returncode} on SIGTERM, not 143")
if run.errors() != expected_errors:
    fail(f"standard error holds {run.errors()}, not the lines above {expected_errors}")
# A timeline file that is not there: one line, and the show plays its built-in keys.
missing = os.path.join(work, "no-such.rocket")
show = run.start(exe, ["--edit", "--timeline", missing, "--sync", f"127.0.0.1:{editor.port}", "--size", "320x180",
                        "--preroll", "4"], env)
wait_for("frames without the file", lambda: len(frames()) > 3)
show.terminate()
show.wait(30)
if len(run.errors()) != 1 or not run.errors()[0].startswith(f"thawline: {missing}"):
    fail(f"not one line about the missing file: {run.errors()}")

print("edit mode: handshake, keys, seeks, pause, save, reload and reconnection as expected")
