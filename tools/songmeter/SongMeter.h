// Level, spectrum and click measurements of rendered stereo frames, for
// judging a mix by numbers. Every measurement works on the mono sum
// (left + right) / 2 of interleaved stereo float frames.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

// Upper edges of the spectrum bands in Hz; the last band is open above.
constexpr int kBandCount = 5;
constexpr double kBandEdgesHz[kBandCount - 1] = {150.0, 600.0, 2500.0, 8000.0};

struct SpanLevels {
    double rms = 0.0;   // of the mono sum
    double peak = 0.0;  // largest |sample| of either channel
    double bandShare[kBandCount] = {};  // of the mono sum's energy, adds up to 1
};

// Measures frames [begin, end) of `stereo` (interleaved, frameCount frames);
// the span is clipped to the frames there are.
SpanLevels measureSpan(const float* stereo, size_t frameCount, size_t begin, size_t end, uint32_t rate);

// A click is a jump the surrounding sound does not explain: the mono sum's
// second difference compared with its own RMS over the few milliseconds
// around it. The worst frame of a span and its ratio.
struct ClickReport {
    size_t frame = 0;
    double ratio = 0.0;   // |second difference| / its local RMS
    double jump = 0.0;    // |second difference| itself
};
// Frames whose jump is below `minimumJump` (inaudible, or silence around a
// lone sample) are not counted.
ClickReport worstClick(const float* stereo, size_t frameCount, size_t begin, size_t end, uint32_t rate,
                       double minimumJump = 0.01);

// In-place radix-2 FFT of interleaved complex values (re, im); n a power of 2.
void fftInPlace(std::vector<double>& data, size_t n);
