#!/usr/bin/env python3
"""Measures how far the scroll text moved between two captured frames and
compares it with the timeline's scroll position at their music times.

usage: scroll_shift.py FRAMES.rgba WIDTH HEIGHT FPS FIRST_FRAME K1 K2

FRAMES.rgba holds raw RGBA frames starting with show frame FIRST_FRAME;
K1 and K2 are show frame numbers, shown at music times K / FPS.
"""
import sys

# The scroll position's keys around the span the tests capture: from tick 384
# it rises linearly from 58 to 96.1 at tick 607 (170 BPM, 8 ticks a beat).
TICKS_PER_SECOND = 170 * 8 / 60
KEY_A, KEY_B = (384, 58.0), (607, 96.1)


def scroll_position(seconds):
    tick = seconds * TICKS_PER_SECOND
    if not KEY_A[0] <= tick <= KEY_B[0]:
        sys.exit(f"scroll_shift: {seconds} s lies outside the linear stretch the check knows")
    return KEY_A[1] + (KEY_B[1] - KEY_A[1]) * (tick - KEY_A[0]) / (KEY_B[0] - KEY_A[0])


def column_profile(data, width, height, index):
    """Brightness per column over the band around the text line."""
    frame = data[index * width * height * 4:(index + 1) * width * height * 4]
    profile = [0] * width
    for y in range(int(height * 0.42), int(height * 0.58)):
        row = frame[y * width * 4:(y + 1) * width * 4]
        for x in range(width):
            profile[x] += row[4 * x] + row[4 * x + 1] + row[4 * x + 2]
    return profile


def measured_shift(before, after, width):
    """The leftward shift that best maps `before` onto `after`, in pixels,
    over the middle three quarters of the picture (the CRT bends the edges)."""
    best = None
    for shift in range(width // 2):
        xs = [x for x in range(width // 8, width - width // 8) if x - shift >= 0]
        error = sum(abs(before[x] - after[x - shift]) for x in xs) / len(xs)
        if best is None or error < best[0]:
            best = (error, shift)
    return best[1]


def main():
    if len(sys.argv) != 8:
        sys.exit(__doc__)
    path = sys.argv[1]
    width, height, fps, first, k1, k2 = (int(v) for v in sys.argv[2:])
    data = open(path, "rb").read()
    before = column_profile(data, width, height, k1 - first)
    after = column_profile(data, width, height, k2 - first)
    # The text coordinate spans 2.4 units over the picture's height, whatever
    # its width (the horizontal scale follows the aspect).
    predicted = (scroll_position(k2 / fps) - scroll_position(k1 / fps)) * height / 2.4
    measured = measured_shift(before, after, width)
    print(f"scroll_shift: frames {k1} and {k2}: the text moved {measured} px, the timeline predicts {predicted:.2f} px")
    if abs(measured - predicted) > 1.5:
        sys.exit("scroll_shift: FAIL: the picture does not follow the music time k / fps")


main()
