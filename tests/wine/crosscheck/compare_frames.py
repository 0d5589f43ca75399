#!/usr/bin/env python3
"""Compares two captures of the same frames (raw RGBA, top row first).

    compare_frames.py A.rgba B.rgba WIDTH HEIGHT FPS FIRST_FRAME MIN_PSNR [SPANS]

Prints, per frame, its music time, the PSNR of the colour channels (dB, 'inf'
when identical), the largest difference of one channel (0-255) and the share
of pixels that differ at all; then per span the lowest and mean PSNR, the
largest difference and the largest share. SPANS is name=from-to[:psnr[:share]]
,... in seconds: a span may set its own lowest PSNR (dB) and highest share of
differing pixels (percent) for its frames. Exits 1 when a frame falls below
its PSNR (MIN_PSNR outside the spans that set one) or above its share, or
when the captures hold different frame counts or partial frames.
"""
import math
import sys


def frame_stats(a, b):
    squared = 0
    largest = 0
    differing = 0
    pixels = len(a) // 4
    for p in range(0, len(a), 4):
        dr = abs(a[p] - b[p])
        dg = abs(a[p + 1] - b[p + 1])
        db = abs(a[p + 2] - b[p + 2])
        if dr or dg or db:
            differing += 1
            squared += dr * dr + dg * dg + db * db
            m = max(dr, dg, db)
            if m > largest:
                largest = m
    mse = squared / (3.0 * pixels)
    psnr = math.inf if mse == 0 else 10.0 * math.log10(255.0 * 255.0 / mse)
    return psnr, largest, differing / pixels


def main():
    if len(sys.argv) not in (8, 9):
        sys.stderr.write(__doc__)
        return 2
    path_a, path_b = sys.argv[1], sys.argv[2]
    width, height, fps, first = (int(v) for v in sys.argv[3:7])
    min_psnr = float(sys.argv[7])
    spans = []
    if len(sys.argv) == 9:
        for item in sys.argv[8].split(','):
            name, rest = item.split('=')
            fields = rest.split(':')
            lo, hi = (float(v) for v in fields[0].split('-'))
            psnr_gate = float(fields[1]) if len(fields) > 1 else min_psnr
            share_gate = float(fields[2]) if len(fields) > 2 else 100.0
            spans.append((name, lo, hi, psnr_gate, share_gate))
    with open(path_a, 'rb') as f:
        data_a = f.read()
    with open(path_b, 'rb') as f:
        data_b = f.read()
    size = width * height * 4
    if len(data_a) % size or len(data_b) % size:
        print('FAIL: a capture holds a partial frame')
        return 1
    if len(data_a) != len(data_b) or not data_a:
        print('FAIL: the captures hold %d and %d frames' % (len(data_a) // size, len(data_b) // size))
        return 1
    results = []
    failed = []
    for i in range(len(data_a) // size):
        k = first + i
        t = k / fps
        psnr, largest, share = frame_stats(data_a[i * size:(i + 1) * size], data_b[i * size:(i + 1) * size])
        results.append((k, t, psnr, largest, share))
        psnr_gate, share_gate = min_psnr, 100.0
        for span in spans:
            if span[1] <= t < span[2]:
                psnr_gate, share_gate = span[3], span[4]
        if psnr < psnr_gate or 100 * share > share_gate:
            failed.append((k, psnr_gate, share_gate))
        print('frame %4d  %6.2f s  PSNR %6s dB  max %3d  differing %5.1f%%' %
              (k, t, 'inf' if psnr == math.inf else '%.2f' % psnr, largest, 100 * share))
    for name, lo, hi, _, _ in spans:
        inside = [r for r in results if lo <= r[1] < hi]
        if not inside:
            continue
        finite = [r[2] for r in inside if r[2] != math.inf]
        lowest = min(r[2] for r in inside)
        mean = sum(finite) / len(finite) if finite else math.inf
        print('span %-12s %6.2f-%6.2f s  %3d frames  PSNR min %6s mean %6s dB  max diff %3d  differing %5.1f%%' %
              (name, lo, hi, len(inside), 'inf' if lowest == math.inf else '%.2f' % lowest,
               'inf' if mean == math.inf else '%.2f' % mean, max(r[3] for r in inside),
               100 * max(r[4] for r in inside)))
    if failed:
        k, psnr_gate, share_gate = failed[0]
        print('FAIL: %d frames outside their gates, first frame %d (PSNR at least %.1f dB, at most %.1f%% differing)'
              % (len(failed), k, psnr_gate, share_gate))
        return 1
    print('all %d frames within their gates' % len(results))
    return 0


if __name__ == '__main__':
    sys.exit(main())
