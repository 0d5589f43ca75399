#include "SongMeter.h"

#include <algorithm>
#include <cmath>

namespace {

const double kPi = 3.14159265358979323846;
const size_t kWindow = 4096;  // 10.8 Hz bins at 44.1 kHz, fine enough for 150 Hz
const size_t kHop = kWindow / 2;

double monoAt(const float* stereo, size_t frame) {
    return 0.5 * (static_cast<double>(stereo[2 * frame]) + static_cast<double>(stereo[2 * frame + 1]));
}

int bandOf(double hz) {
    int band = 0;
    while (band < kBandCount - 1 && hz >= kBandEdgesHz[band]) ++band;
    return band;
}

}  // namespace

void fftInPlace(std::vector<double>& data, size_t n) {
    for (size_t i = 1, j = 0; i < n; ++i) {
        size_t bit = n >> 1;
        for (; j & bit; bit >>= 1) j ^= bit;
        j |= bit;
        if (i < j) {
            std::swap(data[2 * i], data[2 * j]);
            std::swap(data[2 * i + 1], data[2 * j + 1]);
        }
    }
    for (size_t length = 2; length <= n; length <<= 1) {
        double angle = -2.0 * kPi / static_cast<double>(length);
        for (size_t start = 0; start < n; start += length) {
            for (size_t k = 0; k < length / 2; ++k) {
                double wr = std::cos(angle * k), wi = std::sin(angle * k);
                size_t a = start + k, b = a + length / 2;
                double br = data[2 * b] * wr - data[2 * b + 1] * wi;
                double bi = data[2 * b] * wi + data[2 * b + 1] * wr;
                data[2 * b] = data[2 * a] - br;
                data[2 * b + 1] = data[2 * a + 1] - bi;
                data[2 * a] += br;
                data[2 * a + 1] += bi;
            }
        }
    }
}

SpanLevels measureSpan(const float* stereo, size_t frameCount, size_t begin, size_t end, uint32_t rate) {
    SpanLevels levels;
    end = std::min(end, frameCount);
    if (begin >= end) return levels;

    double sum = 0.0;
    for (size_t i = begin; i < end; ++i) {
        double m = monoAt(stereo, i);
        sum += m * m;
        levels.peak = std::max({levels.peak, std::fabs(double(stereo[2 * i])), std::fabs(double(stereo[2 * i + 1]))});
    }
    levels.rms = std::sqrt(sum / static_cast<double>(end - begin));

    // Hann-windowed blocks at half overlap; a span shorter than a block is
    // zero-padded, and the last block may run past the span's end (padded).
    std::vector<double> window(kWindow), block(2 * kWindow);
    for (size_t i = 0; i < kWindow; ++i) window[i] = 0.5 - 0.5 * std::cos(2.0 * kPi * i / kWindow);
    double energy[kBandCount] = {};
    for (size_t start = begin; start < end; start += kHop) {
        for (size_t i = 0; i < kWindow; ++i) {
            size_t frame = start + i;
            block[2 * i] = frame < end ? monoAt(stereo, frame) * window[i] : 0.0;
            block[2 * i + 1] = 0.0;
        }
        fftInPlace(block, kWindow);
        for (size_t k = 0; k <= kWindow / 2; ++k) {
            double power = block[2 * k] * block[2 * k] + block[2 * k + 1] * block[2 * k + 1];
            energy[bandOf(static_cast<double>(k) * rate / kWindow)] += power;
        }
        if (end - start <= kWindow) break;
    }
    double total = 0.0;
    for (double e : energy) total += e;
    if (total > 0.0)
        for (int b = 0; b < kBandCount; ++b) levels.bandShare[b] = energy[b] / total;
    return levels;
}

ClickReport worstClick(const float* stereo, size_t frameCount, size_t begin, size_t end, uint32_t rate,
                       double minimumJump) {
    ClickReport worst;
    end = std::min(end, frameCount);
    begin = std::max<size_t>(begin, 1);
    if (end < begin + 2) return worst;

    // Second differences, then a running sum of their squares for the
    // neighbourhood RMS (about 3 ms either side, the frame itself left out).
    size_t count = end - begin - 1;
    std::vector<double> jump(count), squares(count + 1, 0.0);
    for (size_t i = 0; i < count; ++i) {
        size_t f = begin + i;
        jump[i] = monoAt(stereo, f + 1) - 2.0 * monoAt(stereo, f) + monoAt(stereo, f - 1);
        squares[i + 1] = squares[i] + jump[i] * jump[i];
    }
    size_t reach = std::max<size_t>(8, rate * 3 / 1000);
    for (size_t i = 0; i < count; ++i) {
        double size = std::fabs(jump[i]);
        if (size < minimumJump) continue;
        size_t lo = i > reach ? i - reach : 0, hi = std::min(count, i + reach + 1);
        // Leave out the jump and its two neighbours: a step shows in three.
        size_t near0 = i > 0 ? i - 1 : 0, near1 = std::min(count, i + 2);
        double around = (squares[hi] - squares[lo]) - (squares[near1] - squares[near0]);
        size_t n = (hi - lo) - (near1 - near0);
        double localRms = n > 0 ? std::sqrt(std::max(0.0, around) / n) : 0.0;
        double ratio = size / std::max(localRms, 1e-4);
        if (ratio > worst.ratio) worst = {begin + i, ratio, size};
    }
    return worst;
}
