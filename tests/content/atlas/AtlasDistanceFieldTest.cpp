// The embedded atlas: the distance field in alpha, coverage in red and the
// direction field in green and blue.
#include "AtlasImage.h"
#include "content/atlas/FontAtlas.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <vector>

namespace {

constexpr int kCell = kFontAtlasCellSize;

int alphaAt(const AtlasImage& atlas, int code, int x, int y) { return atlas.cell(code, x, y)[3]; }

// The row through the middle of the capitals.
constexpr int kMiddleRow = 31;

// First column from the left on `row` whose alpha is at or below the edge level.
int firstInsideColumn(const AtlasImage& atlas, int code, int row) {
  for (int x = 0; x < kCell; ++x)
    if (alphaAt(atlas, code, x, row) <= kFontAtlasEdgeLevel) return x;
  return -1;
}

TEST(FontAtlasDistanceField, RisesByFourLevelsPerPixelAwayFromAStraightEdge) {
  const AtlasImage& atlas = decodedAtlas();
  ASSERT_EQ(1024, atlas.width);
  // The stem of "I" is a rectangle: along a row the distance to its left
  // edge is exact.
  const int edge = firstInsideColumn(atlas, 'I', kMiddleRow);
  ASSERT_GT(edge, 16);
  int steps = 0;
  for (int x = edge; x > 0 && alphaAt(atlas, 'I', x - 1, kMiddleRow) < 255; --x) {
    const int step = alphaAt(atlas, 'I', x - 1, kMiddleRow) - alphaAt(atlas, 'I', x, kMiddleRow);
    EXPECT_EQ(4, step) << "between columns " << x - 1 << " and " << x;
    ++steps;
  }
  // Clamped at 255 from about 32 pixels out (the cell ends before that).
  EXPECT_GE(steps, std::min(edge - 1, 29));
  EXPECT_LE(alphaAt(atlas, 'I', edge, kMiddleRow), kFontAtlasEdgeLevel);
  EXPECT_GT(alphaAt(atlas, 'I', edge - 1, kMiddleRow), kFontAtlasEdgeLevel);
  // Inside, alpha falls by 4 per pixel towards the middle of the stem.
  EXPECT_EQ(-4, alphaAt(atlas, 'I', edge + 1, kMiddleRow) - alphaAt(atlas, 'I', edge, kMiddleRow));
  EXPECT_EQ(-4, alphaAt(atlas, 'I', edge + 2, kMiddleRow) - alphaAt(atlas, 'I', edge + 1, kMiddleRow));
}

TEST(FontAtlasDistanceField, ClampsAt255AboutThirtyTwoPixelsOut) {
  const AtlasImage& atlas = decodedAtlas();
  ASSERT_EQ(1024, atlas.width);
  // The full stop is small enough for its cell's corners to be far away.
  std::vector<std::pair<int, int>> ink;
  for (int y = 0; y < kCell; ++y)
    for (int x = 0; x < kCell; ++x)
      if (atlas.cell('.', x, y)[0] >= 128) ink.push_back({x, y});
  ASSERT_FALSE(ink.empty());
  int farPixels = 0, nearPixels = 0;
  for (int y = 0; y < kCell; ++y) {
    for (int x = 0; x < kCell; ++x) {
      double nearest = 1e9;
      for (const auto& p : ink) nearest = std::min(nearest, std::hypot(p.first - x, p.second - y));
      const int alpha = alphaAt(atlas, '.', x, y);
      if (nearest > 33.0) {
        EXPECT_EQ(255, alpha) << x << "," << y;
        ++farPixels;
      } else if (nearest < 30.0) {
        EXPECT_LT(alpha, 255) << x << "," << y;
        ++nearPixels;
      }
    }
  }
  EXPECT_GT(farPixels, 100);
  EXPECT_GT(nearPixels, 100);
}

// Coverage and distance describe the same outline: fully covered pixels are
// inside, uncovered ones outside, half-covered ones near the edge level.
TEST(FontAtlasDistanceField, AgreesWithTheCoverageInRed) {
  const AtlasImage& atlas = decodedAtlas();
  ASSERT_EQ(1024, atlas.width);
  for (int i = 0; i < kFontAtlasGlyphCount; ++i) {
    const int code = kFontAtlasGlyphs[i];
    int insideCovered = 0, outsideCovered = 0, halfOff = 0;
    for (int y = 0; y < kCell; ++y) {
      for (int x = 0; x < kCell; ++x) {
        const int red = atlas.cell(code, x, y)[0];
        const int alpha = atlas.cell(code, x, y)[3];
        if (red == 255 && alpha >= kFontAtlasEdgeLevel) ++insideCovered;
        if (red == 0 && alpha <= kFontAtlasEdgeLevel) ++outsideCovered;
        if (red >= 96 && red <= 160 && std::abs(alpha - kFontAtlasEdgeLevel) > 3) ++halfOff;
      }
    }
    EXPECT_EQ(0, insideCovered) << char(code);
    EXPECT_EQ(0, outsideCovered) << char(code);
    EXPECT_EQ(0, halfOff) << char(code);
  }
}

// An independent estimate of the distance: from each pixel to the nearest
// pixel centre on the other side of the outline (by coverage), less half a
// pixel. It is within about half a pixel of the true distance (2 levels)
// for glyphs without hairline gaps; in gaps narrower than a pixel (between
// the strokes of "W", inside a narrowed "@") coverage cannot tell the sides
// apart, so those glyphs are left to the gradient test below.
struct EstimateError {
  int worst = 0;
  double mean = 0;
  int checked = 0;
};

EstimateError compareWithBruteForce(const AtlasImage& atlas, int code) {
  std::vector<std::pair<int, int>> inside, outside;
  for (int y = 0; y < kCell; ++y)
    for (int x = 0; x < kCell; ++x) (atlas.cell(code, x, y)[0] >= 128 ? inside : outside).push_back({x, y});
  EstimateError result;
  double total = 0;
  for (int y = 0; y < kCell; ++y) {
    for (int x = 0; x < kCell; ++x) {
      const bool in = atlas.cell(code, x, y)[0] >= 128;
      int nearest = 1 << 30;
      for (const auto& p : in ? outside : inside) {
        const int dx = p.first - x, dy = p.second - y;
        nearest = std::min(nearest, dx * dx + dy * dy);
      }
      const double estimate = (in ? -1 : 1) * (std::sqrt(double(nearest)) - 0.5);
      const double expected = kFontAtlasEdgeLevel + kFontAtlasLevelsPerPixel * estimate;
      if (expected > 250) continue;
      const double error = std::fabs(alphaAt(atlas, code, x, y) - expected);
      result.worst = std::max(result.worst, int(std::lround(error)));
      total += error;
      ++result.checked;
    }
  }
  result.mean = result.checked ? total / result.checked : 0;
  return result;
}

TEST(FontAtlasDistanceField, MatchesABruteForceDistanceEstimate) {
  const AtlasImage& atlas = decodedAtlas();
  ASSERT_EQ(1024, atlas.width);
  for (int code : {'O', '8', 'S', 'H', 'C', ','}) {
    const EstimateError e = compareWithBruteForce(atlas, code);
    EXPECT_LE(e.worst, 4) << char(code);
    EXPECT_LE(e.mean, 1.6) << char(code);
    EXPECT_GT(e.checked, 1000) << char(code);
  }
}

// A distance field changes by at most one pixel per pixel, and by about that
// much almost everywhere: neighbouring alphas differ by at most 4 levels
// (6 diagonally, 4 x 1.41 rounded up), and nearly every pixel has a
// neighbour that differs by about 4 levels per pixel of separation.
TEST(FontAtlasDistanceField, SlopeIsFourLevelsPerPixelAcrossEveryGlyph) {
  const AtlasImage& atlas = decodedAtlas();
  ASSERT_EQ(1024, atlas.width);
  for (int i = 0; i < kFontAtlasGlyphCount; ++i) {
    const int code = kFontAtlasGlyphs[i];
    int straightMax = 0, diagonalMax = 0, unclamped = 0, steep = 0;
    for (int y = 1; y < kCell - 1; ++y) {
      for (int x = 1; x < kCell - 1; ++x) {
        const int a = alphaAt(atlas, code, x, y);
        if (a == 255) continue;
        ++unclamped;
        double slope = 0;
        for (int dy = -1; dy <= 1; ++dy)
          for (int dx = -1; dx <= 1; ++dx) {
            const int b = alphaAt(atlas, code, x + dx, y + dy);
            if (b == 255 || (dx == 0 && dy == 0)) continue;
            const int difference = std::abs(a - b);
            int& most = dx && dy ? diagonalMax : straightMax;
            most = std::max(most, difference);
            slope = std::max(slope, difference / std::hypot(dx, dy));
          }
        if (slope >= 3.5) ++steep;
      }
    }
    EXPECT_LE(straightMax, kFontAtlasLevelsPerPixel) << char(code);
    EXPECT_LE(diagonalMax, 6) << char(code);
    EXPECT_GT(steep, unclamped * 98 / 100) << char(code);
  }
}

TEST(FontAtlasDistanceField, ThickestStrokesReachAboutOneHundredAndTen) {
  const AtlasImage& atlas = decodedAtlas();
  ASSERT_EQ(1024, atlas.width);
  int lowest = 255;
  for (int i = 0; i < kFontAtlasGlyphCount; ++i)
    for (int y = 0; y < kCell; ++y)
      for (int x = 0; x < kCell; ++x) lowest = std::min(lowest, alphaAt(atlas, kFontAtlasGlyphs[i], x, y));
  EXPECT_GE(lowest, 100);
  EXPECT_LE(lowest, 118);
}

TEST(FontAtlasDirectionField, PointsAwayFromTheGlyphAndFadesWhereAlphaClamps) {
  const AtlasImage& atlas = decodedAtlas();
  ASSERT_EQ(1024, atlas.width);
  const int edge = firstInsideColumn(atlas, 'I', kMiddleRow);
  ASSERT_GT(edge, 16);
  // Left of the stem the way out is to the left: green well below 128.
  const uint8_t* left = atlas.cell('I', edge - 2, kMiddleRow);
  EXPECT_LT(left[1], 40);
  EXPECT_NEAR(128, left[2], 8);
  // Above the top of the glyph it is upwards: blue well above 128.
  const uint8_t* above = atlas.cell('I', 32, 8);
  EXPECT_GT(above[2], 200);
  for (int i = 0; i < kFontAtlasGlyphCount; ++i)
    for (int y = 0; y < kCell; ++y)
      for (int x = 0; x < kCell; ++x) {
        const uint8_t* p = atlas.cell(kFontAtlasGlyphs[i], x, y);
        if (p[3] == 255) {
          ASSERT_TRUE(p[0] == 0 && p[1] == 128 && p[2] == 128) << kFontAtlasGlyphs[i];
        }
      }
}

}  // namespace
