"""Per-frame comparison of two raw RGBA frame sequences (colour channels only)."""
import math


def compare_frame(a, b, pixels):
    """(PSNR in dB, largest channel difference, share of pixels off by more than 16)."""
    squared = 0
    largest = 0
    far = 0
    for i in range(0, 4 * pixels, 4):
        worst = 0
        for c in range(3):
            d = a[i + c] - b[i + c]
            if d < 0:
                d = -d
            squared += d * d
            if d > worst:
                worst = d
        if worst > largest:
            largest = worst
        if worst > 16:
            far += 1
    mse = squared / (3.0 * pixels)
    psnr = math.inf if mse == 0 else 10.0 * math.log10(255.0 * 255.0 / mse)
    return psnr, largest, far / pixels
