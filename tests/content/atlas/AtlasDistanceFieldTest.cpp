// The embedded atlas: the distance field in alpha, coverage in red and the
// direction field in green and blue.
#include "AtlasImage.h"
#include "content/atlas/FontAtlas.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>

namespace {

constexpr int kCell = kFontAtlasCellSize;

int alphaAt(const AtlasImage& atlas, int code, int x, int y) { return atlas.cell(code, x, y)[3]; }

// Up the middle column of the full stop, from its flat top edge: 128 on the
// edge, then exactly 4 more per pixel, clamped at 255 from 32 pixels out.
TEST(FontAtlasDistanceField, RisesFourLevelsPerPixelToTheClampAboveAFlatEdge) {
  const AtlasImage& atlas = decodedAtlas();
  ASSERT_EQ(1024, atlas.width);
  int edge = -1;
  for (int y = 0; y < kCell && edge < 0; ++y)
    if (alphaAt(atlas, '.', 32, y) <= kFontAtlasEdgeLevel) edge = y;
  ASSERT_GT(edge, 40);
  EXPECT_NEAR(kFontAtlasEdgeLevel, alphaAt(atlas, '.', 32, edge), 2);
  for (int y = edge - 1; y >= 0; --y) {
    const int expected = std::min(255, alphaAt(atlas, '.', 32, edge) + 4 * (edge - y));
    EXPECT_EQ(expected, alphaAt(atlas, '.', 32, y)) << "row " << y;
  }
  EXPECT_EQ(255, alphaAt(atlas, '.', 32, edge - 32));
  EXPECT_LT(alphaAt(atlas, '.', 32, edge - 31), 255);
  // Inside it falls by 4 per pixel towards the middle of the dot.
  EXPECT_EQ(-4, alphaAt(atlas, '.', 32, edge + 1) - alphaAt(atlas, '.', 32, edge));
}

// Coverage and distance describe the same outline: fully covered pixels are
// inside, uncovered ones outside, half-covered ones near the edge level.
TEST(FontAtlasDistanceField, AgreesWithTheCoverageInRed) {
  const AtlasImage& atlas = decodedAtlas();
  ASSERT_EQ(1024, atlas.width);
  int lowest = 255;
  for (int i = 0; i < kFontAtlasGlyphCount; ++i) {
    const int code = kFontAtlasGlyphs[i];
    int disagreements = 0;
    for (int y = 0; y < kCell; ++y) {
      for (int x = 0; x < kCell; ++x) {
        const int red = atlas.cell(code, x, y)[0], alpha = alphaAt(atlas, code, x, y);
        disagreements += red == 255 && alpha >= kFontAtlasEdgeLevel;
        disagreements += red == 0 && alpha <= kFontAtlasEdgeLevel;
        disagreements += red >= 96 && red <= 160 && std::abs(alpha - kFontAtlasEdgeLevel) > 3;
        lowest = std::min(lowest, alpha);
      }
    }
    EXPECT_EQ(0, disagreements) << char(code);
  }
  // The heaviest strokes are some 9 pixels thick: about 4.5 pixels deep.
  EXPECT_GE(lowest, 100);
  EXPECT_LE(lowest, 118);
}

// A distance changes by at most one pixel per pixel, and by about that much
// almost everywhere: neighbouring alphas differ by at most 4 levels (6
// diagonally, 4 x 1.41 rounded up), and nearly every pixel has a neighbour
// that differs by about 4 levels per pixel of separation.
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
        steep += slope >= 3.5;
      }
    }
    EXPECT_LE(straightMax, kFontAtlasLevelsPerPixel) << char(code);
    EXPECT_LE(diagonalMax, 6) << char(code);
    EXPECT_GT(steep, unclamped * 98 / 100) << char(code);
  }
}

TEST(FontAtlasDirectionField, PointsAwayFromTheGlyphAndFadesWhereAlphaClamps) {
  const AtlasImage& atlas = decodedAtlas();
  ASSERT_EQ(1024, atlas.width);
  const uint8_t* leftOfI = atlas.cell('I', 24, 31);  // green: x to the right
  EXPECT_LT(leftOfI[1], 40);
  EXPECT_NEAR(128, leftOfI[2], 8);
  const uint8_t* aboveI = atlas.cell('I', 32, 8);  // blue: y up
  EXPECT_GT(aboveI[2], 200);
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
