// The mix meter's numbers on signals whose answers are known.
#include <gtest/gtest.h>

#include <cmath>
#include <complex>
#include <vector>

#include "SongMeter.h"

namespace {

const uint32_t kRate = 44100;
const double kPi = 3.14159265358979323846;

// Interleaved stereo: left = a sum of sines, right = left times `rightSign`.
std::vector<float> sines(std::vector<std::pair<double, double>> hzAndAmp, size_t frames, double rightSign = 1.0) {
  std::vector<float> out(2 * frames);
  for (size_t i = 0; i < frames; ++i) {
    double v = 0.0;
    for (auto [hz, amp] : hzAndAmp) v += amp * std::sin(2.0 * kPi * hz * i / kRate);
    out[2 * i] = float(v);
    out[2 * i + 1] = float(v * rightSign);
  }
  return out;
}

int loudestBand(const SpanLevels& l) {
  int best = 0;
  for (int b = 1; b < kBandCount; ++b)
    if (l.bandShare[b] > l.bandShare[best]) best = b;
  return best;
}

TEST(SongMeterFft, MatchesAPlainDft) {
  const size_t n = 64;
  std::vector<double> data(2 * n);
  for (size_t i = 0; i < n; ++i) {
    data[2 * i] = std::sin(0.37 * i * i) + 0.25;
    data[2 * i + 1] = std::cos(1.3 * i);
  }
  std::vector<double> input = data;
  fftInPlace(data, n);
  for (size_t k = 0; k < n; ++k) {
    std::complex<double> sum;
    for (size_t i = 0; i < n; ++i)
      sum += std::complex<double>(input[2 * i], input[2 * i + 1]) * std::polar(1.0, -2.0 * kPi * k * i / n);
    EXPECT_NEAR(data[2 * k], sum.real(), 1e-9) << "bin " << k;
    EXPECT_NEAR(data[2 * k + 1], sum.imag(), 1e-9) << "bin " << k;
  }
}

TEST(SongMeterLevels, RmsAndPeakOfTheMonoSum) {
  std::vector<float> same = sines({{440.0, 0.5}}, kRate);
  SpanLevels l = measureSpan(same.data(), kRate, 0, kRate, kRate);
  EXPECT_NEAR(l.rms, 0.5 / std::sqrt(2.0), 1e-4);
  EXPECT_NEAR(l.peak, 0.5, 1e-3);

  // Opposite channels cancel in mono, but the peak still sees them.
  std::vector<float> opposite = sines({{440.0, 0.5}}, kRate, -1.0);
  l = measureSpan(opposite.data(), kRate, 0, kRate, kRate);
  EXPECT_NEAR(l.rms, 0.0, 1e-9);
  EXPECT_NEAR(l.peak, 0.5, 1e-3);

  // A span past the end is clipped; an empty one measures nothing.
  l = measureSpan(same.data(), kRate, kRate / 2, 10 * kRate, kRate);
  EXPECT_NEAR(l.rms, 0.5 / std::sqrt(2.0), 1e-3);
  l = measureSpan(same.data(), kRate, kRate, 2 * kRate, kRate);
  EXPECT_EQ(l.rms, 0.0);
  EXPECT_EQ(l.bandShare[0] + l.bandShare[4], 0.0);
}

TEST(SongMeterLevels, EachToneLandsInItsBand) {
  const double tones[kBandCount] = {60.0, 300.0, 1000.0, 4000.0, 12000.0};
  for (int band = 0; band < kBandCount; ++band) {
    std::vector<float> s = sines({{tones[band], 0.3}}, kRate / 2);
    SpanLevels l = measureSpan(s.data(), kRate / 2, 0, kRate / 2, kRate);
    EXPECT_EQ(loudestBand(l), band) << tones[band] << " Hz";
    EXPECT_GT(l.bandShare[band], 0.99) << tones[band] << " Hz";
  }
}

TEST(SongMeterLevels, SharesFollowTheEnergyOfEachPart) {
  // Amplitudes 0.4 and 0.2: energies 4 to 1.
  std::vector<float> s = sines({{80.0, 0.4}, {5000.0, 0.2}}, kRate);
  SpanLevels l = measureSpan(s.data(), kRate, 0, kRate, kRate);
  EXPECT_NEAR(l.bandShare[0], 0.8, 0.01);
  EXPECT_NEAR(l.bandShare[3], 0.2, 0.01);
  double total = 0.0;
  for (double share : l.bandShare) total += share;
  EXPECT_NEAR(total, 1.0, 1e-9);

  // A span shorter than one analysis block still gets its balance.
  l = measureSpan(s.data(), kRate, 1000, 2500, kRate);
  EXPECT_GT(l.bandShare[0], 0.6);
  EXPECT_GT(l.bandShare[3], 0.1);
}

TEST(SongMeterClicks, AStepStandsOutOfASmoothTone) {
  std::vector<float> s = sines({{200.0, 0.3}}, kRate / 4);
  ClickReport smooth = worstClick(s.data(), kRate / 4, 0, kRate / 4, kRate);
  EXPECT_LT(smooth.ratio, 3.0);

  // Shift the second half up by 0.1: one jump the tone does not explain.
  const size_t at = kRate / 8;
  for (size_t i = at; i < kRate / 4; ++i) {
    s[2 * i] += 0.1f;
    s[2 * i + 1] += 0.1f;
  }
  ClickReport click = worstClick(s.data(), kRate / 4, 0, kRate / 4, kRate);
  EXPECT_GT(click.ratio, 10.0);
  EXPECT_NEAR(double(click.frame), double(at), 1.0);
  EXPECT_NEAR(click.jump, 0.1, 0.01);

  // Too small to hear: not counted at all.
  EXPECT_EQ(worstClick(s.data(), kRate / 4, 0, kRate / 4, kRate, 0.2).ratio, 0.0);
  // Spans too short for a second difference report nothing.
  EXPECT_EQ(worstClick(s.data(), kRate / 4, 5, 6, kRate).ratio, 0.0);
}

}  // namespace
