#pragma once
// The glyph atlas embedded in the show: a PNG of 1024 x 1024 8-bit RGBA
// pixels, one 64 x 64 cell per character code in a 16 x 16 grid (code c at
// column c % 16, row c / 16, rows counted from the top of the image).
//
// Alpha is a signed distance field: 128 on the glyph outline, 4 levels per
// atlas pixel, lower inside the strokes, clamped at 255 about 32 pixels
// outside. Red is the glyph's antialiased coverage; green and blue hold the
// outward direction to the outline (128 meaning zero), fading out where the
// distance field clamps. Cells without a glyph are (0, 128, 128, 255).

extern const unsigned char kFontAtlasPng[];
extern const unsigned int kFontAtlasPngSize;

// Layout shared by the generator and the tests.
constexpr int kFontAtlasWidth = 1024;
constexpr int kFontAtlasCellSize = 64;
constexpr int kFontAtlasCellsPerRow = 16;
// Every character that has a glyph, in code order.
constexpr char kFontAtlasGlyphs[] = "!&,-.0123456789:?@ABCDEFGHIJKLMNOPQRSTUVWXYZ";
constexpr int kFontAtlasGlyphCount = sizeof(kFontAtlasGlyphs) - 1;

// Where the ink of a glyph may lie inside its cell (inclusive pixel ranges);
// descenders (the comma, the tail of "Q") may reach kFontAtlasDescenderBottom.
constexpr int kFontAtlasInkLeft = 16;
constexpr int kFontAtlasInkRight = 47;
constexpr int kFontAtlasInkTop = 12;
constexpr int kFontAtlasInkBottom = 50;
constexpr int kFontAtlasDescenderBottom = 59;

// Distance field encoding.
constexpr int kFontAtlasEdgeLevel = 128;
constexpr int kFontAtlasLevelsPerPixel = 4;

// The colour of every pixel far from any glyph, and of every empty cell.
constexpr unsigned char kFontAtlasEmpty[4] = {0, 128, 128, 255};

inline bool fontAtlasHasGlyph(int code) {
  for (int i = 0; i < kFontAtlasGlyphCount; ++i)
    if (kFontAtlasGlyphs[i] == code) return true;
  return false;
}
