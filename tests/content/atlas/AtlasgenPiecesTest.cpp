// The generator's building blocks: the distance transform and the PNG encoder.
#include "DistanceField.h"
#include "PngWrite.h"

#include <gtest/gtest.h>
#define STB_IMAGE_IMPLEMENTATION
#define STBI_ONLY_PNG
#include <stb/stb_image.h>

#include <cmath>
#include <cstdint>
#include <vector>

namespace {

// A small deterministic pseudo-random sequence for test patterns.
uint32_t nextRandom(uint32_t& state) {
  state = state * 1664525u + 1013904223u;
  return state >> 8;
}

TEST(AtlasgenDistance, HalfPlaneGivesTheDistanceToItsEdge) {
  constexpr int n = 32;
  std::vector<uint8_t> inside(n * n);
  for (int y = 0; y < n; ++y)
    for (int x = 0; x < n; ++x) inside[y * n + x] = x < 10;
  const std::vector<float> d = signedDistance(inside, n);
  for (int y = 0; y < n; y += 7)
    for (int x = 0; x < n; ++x) EXPECT_FLOAT_EQ(float(x) - 9.5f, d[y * n + x]) << x << "," << y;
}

TEST(AtlasgenDistance, SquaredDistanceMatchesBruteForceOnRandomShapes) {
  uint32_t state = 12345;
  for (int round = 0; round < 4; ++round) {
    const int n = 17 + round * 9;
    std::vector<uint8_t> flags(n * n);
    // Sparse sets in some rounds, dense in others; one set sample at least.
    const uint32_t density = round % 2 ? 3 : 40;
    for (auto& f : flags) f = nextRandom(state) % density == 0;
    flags[n * n / 2] = 1;
    const std::vector<float> d = squaredDistanceToSet(flags, n);
    for (int y = 0; y < n; ++y)
      for (int x = 0; x < n; ++x) {
        int best = 1 << 30;
        for (int v = 0; v < n; ++v)
          for (int u = 0; u < n; ++u)
            if (flags[v * n + u]) best = std::min(best, (u - x) * (u - x) + (v - y) * (v - y));
        ASSERT_FLOAT_EQ(float(best), d[y * n + x]) << "round " << round << " at " << x << "," << y;
      }
  }
}

TEST(AtlasgenPng, EncodedImageDecodesToTheSamePixels) {
  for (const auto& size : {std::pair<uint32_t, uint32_t>{1, 1}, {37, 23}, {64, 5}}) {
    const uint32_t w = size.first, h = size.second;
    std::vector<uint8_t> rgba(size_t(w) * h * 4);
    uint32_t state = w * 31 + h;
    for (uint32_t y = 0; y < h; ++y)
      for (uint32_t x = 0; x < w; ++x) {
        uint8_t* p = &rgba[(y * w + x) * 4];
        // Gradients, so every filter type has something to predict, plus noise.
        p[0] = uint8_t(x * 7);
        p[1] = uint8_t(y * 11);
        p[2] = uint8_t(nextRandom(state));
        p[3] = uint8_t(x + y);
      }
    std::vector<uint8_t> png, again;
    ASSERT_TRUE(encodePngRgba(rgba.data(), w, h, png));
    ASSERT_TRUE(encodePngRgba(rgba.data(), w, h, again));
    EXPECT_EQ(png, again);
    int dw = 0, dh = 0, channels = 0;
    stbi_uc* decoded = stbi_load_from_memory(png.data(), int(png.size()), &dw, &dh, &channels, 4);
    ASSERT_NE(nullptr, decoded);
    EXPECT_EQ(int(w), dw);
    EXPECT_EQ(int(h), dh);
    EXPECT_EQ(4, channels);
    EXPECT_TRUE(std::equal(rgba.begin(), rgba.end(), decoded)) << w << "x" << h;
    stbi_image_free(decoded);
  }
}

}  // namespace
