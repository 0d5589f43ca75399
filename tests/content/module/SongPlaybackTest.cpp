// The embedded song through our own replayer, as the show plays it: once,
// at 44,100 frames per second.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <vector>

#include "content/module/SongModule.h"
#include "xm/ModulePlayer.h"

namespace {

const uint32_t kRate = 44100;
// 3 ticks per row, a tick is 2.5 / BPM seconds.
const double kFramesPerTick = kRate * 2.5 / 170.0;
const double kFramesPerRow = 3.0 * kFramesPerTick;

struct Rendering {
  std::vector<float> frames;  // interleaved left, right
  size_t frameCount() const { return frames.size() / 2; }
};

// Renders 48 seconds once for all tests: the pass plus a stretch of silence.
const Rendering& rendering() {
  static Rendering r = [] {
    Rendering out;
    ModulePlayer* player = nullptr;
    EXPECT_EQ(createPlayer(&player, kSongModule, kSongModuleSize, kRate), 0);
    if (!player) return out;
    setMaxLoops(player, 1);
    const size_t total = 48 * kRate;
    out.frames.resize(total * 2);
    // Uneven chunks, as the refill thread asks for them.
    size_t done = 0, chunk = 1;
    while (done < total) {
      size_t n = std::min(total - done, chunk);
      generateFrames(player, out.frames.data() + done * 2, n);
      done += n;
      chunk = chunk * 3 % 4093 + 1;
    }
    freePlayer(player);
    return out;
  }();
  return r;
}

double rmsOfRows(double firstRow, double endRow) {
  const Rendering& r = rendering();
  size_t begin = static_cast<size_t>(firstRow * kFramesPerRow);
  size_t end = std::min(r.frameCount(), static_cast<size_t>(endRow * kFramesPerRow));
  double sum = 0.0;
  for (size_t i = begin; i < end; ++i) {
    double l = r.frames[2 * i], rr = r.frames[2 * i + 1];
    sum += l * l + rr * rr;
  }
  return end > begin ? std::sqrt(sum / (2.0 * static_cast<double>(end - begin))) : 0.0;
}

// The level a listener hears on a mono speaker: RMS of (left + right) / 2.
double monoRmsOfRows(double firstRow, double endRow) {
  const Rendering& r = rendering();
  size_t begin = static_cast<size_t>(firstRow * kFramesPerRow);
  size_t end = std::min(r.frameCount(), static_cast<size_t>(endRow * kFramesPerRow));
  double sum = 0.0;
  for (size_t i = begin; i < end; ++i) {
    double m = 0.5 * (double(r.frames[2 * i]) + double(r.frames[2 * i + 1]));
    sum += m * m;
  }
  return end > begin ? std::sqrt(sum / static_cast<double>(end - begin)) : 0.0;
}

double decibels(double ratio) { return 20.0 * std::log10(ratio); }

TEST(SongPlayback, OnePassEndsInSilenceAfter1056Rows) {
  const Rendering& r = rendering();
  ASSERT_EQ(r.frameCount(), 48u * kRate);
  size_t lastSound = 0;
  for (size_t i = 0; i < r.frameCount(); ++i)
    if (r.frames[2 * i] != 0.0f || r.frames[2 * i + 1] != 0.0f) lastSound = i;
  const double expected = 1056.0 * kFramesPerRow;  // about 2,054,541 frames, 46.59 s
  EXPECT_NEAR(static_cast<double>(lastSound + 1), expected, kFramesPerTick + 1.0)
      << "silence begins at " << (lastSound + 1) / double(kRate) << " s";
  // The show stops at 46.57 s: the song still sounds there.
  EXPECT_GT(lastSound, static_cast<size_t>(46.57 * kRate));
}

TEST(SongPlayback, PeakStaysBelowNineTenthsOfFullScale) {
  const Rendering& r = rendering();
  float peak = 0.0f;
  for (float v : r.frames) peak = std::max(peak, std::fabs(v));
  EXPECT_LT(peak, 0.9f);
  EXPECT_GT(peak, 0.25f) << "the song is not near silent";
}

TEST(SongPlayback, EnergyRisesAtTheDrop) {
  double build = rmsOfRows(96, 128), drop = rmsOfRows(128, 160);
  EXPECT_GT(drop, build * 1.2) << "build " << build << " drop " << drop;
}

// The drop's first 64 rows, where the picture switches on its finish, come in
// a clear step above the light build before them.
TEST(SongPlayback, DropStepsAtLeastFourDecibelsAboveTheBuild) {
  double build = monoRmsOfRows(64, 120), drop = monoRmsOfRows(128, 192);
  EXPECT_GE(decibels(drop / build), 4.0) << "build " << build << " drop " << drop;
}

// The swell climbs out of the build and hands over to the drop: louder than
// the build, louder in its second half than its first, and the drop above it.
TEST(SongPlayback, SwellLeadsFromTheBuildIntoTheDrop) {
  double build = monoRmsOfRows(64, 120), early = monoRmsOfRows(120, 124), late = monoRmsOfRows(124, 128);
  double swell = monoRmsOfRows(120, 128), drop = monoRmsOfRows(128, 192);
  EXPECT_GT(swell, build) << "build " << build << " swell " << swell;
  EXPECT_GT(late, early * 1.2) << "swell " << early << " -> " << late;
  EXPECT_GT(drop, late * 1.2) << "swell end " << late << " drop " << drop;
}

TEST(SongPlayback, EnergyRisesAtEachStabOfTheBreak) {
  for (int stab = 356; stab <= 380; stab += 4) {
    double before = rmsOfRows(stab - 2, stab), after = rmsOfRows(stab, stab + 2);
    EXPECT_GT(after, before * 1.2) << "stab at row " << stab << ": " << before << " -> " << after;
  }
}

TEST(SongPlayback, EnergyRisesAtTheOutro) {
  double riser = rmsOfRows(1016, 1024), outro = rmsOfRows(1024, 1032);
  EXPECT_GT(outro, riser * 1.2) << "riser end " << riser << " outro " << outro;
}

TEST(SongPlayback, NoSectionFallsSilentDuringThePass) {
  // Every bar of the pass carries sound.
  for (int bar = 0; bar < 33; ++bar) {
    double rms = rmsOfRows(bar * 32.0, bar * 32.0 + 32.0);
    EXPECT_GT(rms, 0.005) << "bar at row " << bar * 32;
  }
}

}  // namespace
