"""What the edit-mode tests share: thawline --edit started with its standard
output, standard error and frame log in a fresh work folder, those read back,
and waits that give up at once when the show has ended, so a crash reads as
a crash and not as a timeout.
"""
import fnmatch
import os
import re
import shutil
import subprocess
import sys
import time
from collections import namedtuple

# One drawn frame: the played frame, its row, paused or not, the drawing size
# ("WxH"), the hash of its pixels, and whether it was drawn at once for
# changed keys with the trail held (the exact picture follows it).
Frame = namedtuple("Frame", "frame row paused size hash held")
FRAME_LINE = re.compile(r"frame (\d+) row (\d+) (paused|playing|held) size (\d+x\d+) hash ([0-9a-f]{16})")


def lines(path):
    return open(path).read().splitlines() if os.path.exists(path) else []


class Run:
    def __init__(self, work):
        shutil.rmtree(work, ignore_errors=True)
        os.makedirs(work)
        self.work = work
        self.frame_log, self.out_path, self.err_path = (os.path.join(work, n)
                                                        for n in ("frames.log", "out.log", "err.log"))
        self.show = None
        self.others = []  # started for the show (a display server): stopped on a failure

    def start(self, exe, args, env):
        """thawline ARGS --frame-log, with fresh logs."""
        for path in (self.out_path, self.err_path, self.frame_log):
            if os.path.exists(path):
                os.remove(path)
        self.show = subprocess.Popen([exe] + args + ["--frame-log", self.frame_log], stdout=open(self.out_path, "w"),
                                     stderr=open(self.err_path, "w"), env=env)
        return self.show

    def fail(self, why):
        print("FAIL:", why, file=sys.stderr)
        for path in (self.out_path, self.err_path):
            if os.path.exists(path):
                print(f"--- {os.path.basename(path)}:\n{open(path).read()[-3000:]}", file=sys.stderr)
        for p in [self.show] + self.others[::-1]:
            if p:
                p.kill()
        sys.exit(1)

    def out(self):
        return lines(self.out_path)

    def errors(self):
        return lines(self.err_path)

    def frames(self):
        """The frame log, one Frame per drawn frame."""
        got = []
        for line in lines(self.frame_log):
            m = FRAME_LINE.fullmatch(line)
            if m:
                got.append(Frame(int(m[1]), int(m[2]), m[3] != "playing", m[4], m[5], m[3] == "held"))
        return got

    def wait_for(self, what, test, seconds=60.0):
        """test()'s first true answer within `seconds`."""
        end = time.monotonic() + seconds
        while time.monotonic() < end:
            got = test()
            if got:
                return got
            if self.show.poll() is not None:
                self.fail(f"the show ended (exit {self.show.returncode}) waiting for {what}")
            time.sleep(0.05)
        self.fail(f"no {what} within {seconds} s")

    def said(self, line, after=0):
        """Waits for `line` (* matches anything) on standard output past the
        first `after` lines; the count of lines up to it."""
        def seen():
            out = self.out()
            for i in range(after, len(out)):
                if fnmatch.fnmatchcase(out[i], line):
                    return i + 1
            return 0
        return self.wait_for(f"the line '{line}'", seen)
