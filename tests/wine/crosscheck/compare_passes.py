#!/usr/bin/env python3
"""Compares two pass_dump files (Direct3D 11 and OpenGL ES) program by program.

    compare_passes.py A.bin B.bin [GATES]

Prints per program the largest difference of one channel, the mean
difference, and the share of values that differ by more than 1e-5, by more
than half an 8-bit step (1/510) and by more than 0.1. GATES (name=max,...)
bounds the largest difference of the programs it names; exits 1 when one is
exceeded or a named program is missing.
"""
import struct
import sys


def read(path):
    cases = []
    with open(path, 'rb') as f:
        data = f.read()
    at = 0
    while at < len(data):
        name = data[at:at + 32].split(b'\0')[0].decode()
        w, h = struct.unpack_from('<ii', data, at + 32)
        count = w * h * 4
        values = struct.unpack_from('<%df' % count, data, at + 40)
        cases.append((name, w, h, values))
        at += 40 + 4 * count
    return cases


def main():
    a, b = read(sys.argv[1]), read(sys.argv[2])
    gates = {}
    if len(sys.argv) > 3:
        for item in sys.argv[3].split(','):
            name, bound = item.split('=')
            gates[name] = float(bound)
    if [(n, w, h) for n, w, h, _ in a] != [(n, w, h) for n, w, h, _ in b]:
        print('FAIL: the dumps hold different programs or sizes')
        return 1
    print('%-18s %10s %10s %9s %9s %9s' % ('program', 'max diff', 'mean diff', '>1e-5', '>1/510', '>0.1'))
    failed = []
    for (name, w, h, va), (_, _, _, vb) in zip(a, b):
        diffs = [abs(x - y) for x, y in zip(va, vb)]
        n = len(diffs)
        if name in gates and max(diffs) > gates.pop(name):
            failed.append(name)
        print('%-18s %10.6f %10.7f %8.2f%% %8.2f%% %8.2f%%' % (
            name, max(diffs), sum(diffs) / n, 100.0 * sum(d > 1e-5 for d in diffs) / n,
            100.0 * sum(d > 1 / 510 for d in diffs) / n, 100.0 * sum(d > 0.1 for d in diffs) / n))
    if gates:
        print('FAIL: no program named %s' % ', '.join(sorted(gates)))
        return 1
    if failed:
        print('FAIL: %s beyond their bounds' % ', '.join(failed))
        return 1
    print('every bounded program within its bound')
    return 0


if __name__ == '__main__':
    sys.exit(main())
