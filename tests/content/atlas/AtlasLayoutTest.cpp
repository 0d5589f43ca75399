// The embedded atlas: format, empty cells and where the glyphs lie.
#include "AtlasImage.h"
#include "content/atlas/FontAtlas.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>

namespace {

constexpr int kCell = kFontAtlasCellSize;

uint32_t bigEndian32(const unsigned char* p) {
  return uint32_t(p[0]) << 24 | uint32_t(p[1]) << 16 | uint32_t(p[2]) << 8 | p[3];
}

// A pixel belongs to the glyph if it is covered at all or on/inside the outline.
bool isInk(const uint8_t* pixel) { return pixel[0] > 0 || pixel[3] <= kFontAtlasEdgeLevel; }

struct InkBox {
  int left = kCell, right = -1, top = kCell, bottom = -1;
  bool empty() const { return right < 0; }
};

InkBox inkBox(const AtlasImage& atlas, int code) {
  InkBox box;
  for (int y = 0; y < kCell; ++y)
    for (int x = 0; x < kCell; ++x)
      if (isInk(atlas.cell(code, x, y))) {
        box.left = std::min(box.left, x);
        box.right = std::max(box.right, x);
        box.top = std::min(box.top, y);
        box.bottom = std::max(box.bottom, y);
      }
  return box;
}

TEST(FontAtlasLayout, IsA1024SquareEightBitRgbaPng) {
  ASSERT_GT(kFontAtlasPngSize, 33u);
  const unsigned char signature[8] = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1a, '\n'};
  EXPECT_EQ(0, std::memcmp(kFontAtlasPng, signature, 8));
  EXPECT_EQ(0, std::memcmp(kFontAtlasPng + 12, "IHDR", 4));
  EXPECT_EQ(1024u, bigEndian32(kFontAtlasPng + 16));
  EXPECT_EQ(1024u, bigEndian32(kFontAtlasPng + 20));
  EXPECT_EQ(8, kFontAtlasPng[24]);  // bits per channel
  EXPECT_EQ(6, kFontAtlasPng[25]);  // colour type RGBA

  const AtlasImage& atlas = decodedAtlas();
  ASSERT_EQ(1024, atlas.width);
  ASSERT_EQ(1024, atlas.height);
  EXPECT_EQ(4, atlas.channels);
}

TEST(FontAtlasLayout, EveryCellWithoutAGlyphIsExactlyTheEmptyColour) {
  const AtlasImage& atlas = decodedAtlas();
  ASSERT_EQ(1024, atlas.width);
  int emptyCells = 0;
  for (int code = 0; code < 256; ++code) {
    if (fontAtlasHasGlyph(code)) continue;
    ++emptyCells;
    int wrong = 0;
    for (int y = 0; y < kCell; ++y)
      for (int x = 0; x < kCell; ++x)
        if (std::memcmp(atlas.cell(code, x, y), kFontAtlasEmpty, 4) != 0) ++wrong;
    EXPECT_EQ(0, wrong) << "cell of code " << code;
  }
  EXPECT_STREQ("!&,-.0123456789:?@ABCDEFGHIJKLMNOPQRSTUVWXYZ", kFontAtlasGlyphs);
  EXPECT_EQ(256 - 44, emptyCells);
  const uint8_t expected[4] = {0, 128, 128, 255};
  EXPECT_EQ(0, std::memcmp(kFontAtlasEmpty, expected, 4));
}

TEST(FontAtlasLayout, GlyphsLieCentredInTheirCellsInkArea) {
  const AtlasImage& atlas = decodedAtlas();
  ASSERT_EQ(1024, atlas.width);
  int commonBottom = -1;
  for (int i = 0; i < kFontAtlasGlyphCount; ++i) {
    const int code = kFontAtlasGlyphs[i];
    const InkBox box = inkBox(atlas, code);
    ASSERT_FALSE(box.empty()) << "no ink for '" << char(code) << "'";
    EXPECT_GE(box.left, 16) << char(code);
    EXPECT_LE(box.right, 47) << char(code);
    EXPECT_GE(box.top, 12) << char(code);
    const bool descends = code == ',' || code == 'Q';
    EXPECT_LE(box.bottom, descends ? 59 : 50) << char(code);
    // Centred: the ink's middle within a pixel of the cell's middle.
    EXPECT_NEAR(32.0, (box.left + box.right + 1) / 2.0, 1.0) << char(code);
    // Letters and digits sit on one baseline.
    if (code >= 'A' && code <= 'Z' && !descends) {
      if (commonBottom < 0) commonBottom = box.bottom;
      EXPECT_NEAR(commonBottom, box.bottom, 1) << char(code);
    }
  }
  // The capitals fill the ink area's height.
  const InkBox h = inkBox(atlas, 'H');
  EXPECT_EQ(12, h.top);
  EXPECT_EQ(50, h.bottom);
}

// The scroller clamps its lookups to the cell and reads with point sampling,
// so a cell's border must read as far outside the glyph.
TEST(FontAtlasLayout, CellBordersAreWellOutsideTheGlyphs) {
  const AtlasImage& atlas = decodedAtlas();
  ASSERT_EQ(1024, atlas.width);
  for (int i = 0; i < kFontAtlasGlyphCount; ++i) {
    const int code = kFontAtlasGlyphs[i];
    int lowest = 255;
    for (int t = 0; t < kCell; ++t) {
      lowest = std::min({lowest, int(atlas.cell(code, 0, t)[3]), int(atlas.cell(code, kCell - 1, t)[3]),
                         int(atlas.cell(code, t, 0)[3]), int(atlas.cell(code, t, kCell - 1)[3])});
    }
    EXPECT_GE(lowest, kFontAtlasEdgeLevel + 4 * 4) << char(code);
  }
}

}  // namespace
