#pragma once
#include <cstdint>
#include <string>
#include <vector>

// Loads a font with FreeType and rasterises single glyphs, scaled and placed
// precisely, into a square high-resolution coverage grid.

struct GlyphFont;  // owns the FreeType library and face

// Font units of a glyph's outline bounding box (y up, baseline at 0).
struct GlyphBox {
  double xMin, yMin, xMax, yMax;
};

// Where and how large a glyph is drawn: its point (x, y) in font units lands
// on grid position (originX + x * scaleX, originY - y * scaleY), y growing down.
struct GlyphPlacement {
  double scaleX, scaleY;
  double originX, originY;
};

// Returns nullptr and fills `error` when the file cannot be opened as a font.
GlyphFont* openGlyphFont(const char* path, std::string& error);
void closeGlyphFont(GlyphFont* font);

// False (with `error`) when the font has no outline glyph for `code`.
bool glyphBox(GlyphFont* font, int code, GlyphBox& box, std::string& error);

// Antialiased coverage (0..255) of glyph `code` in a size x size grid, row by
// row from the top.
bool rasteriseGlyph(GlyphFont* font, int code, const GlyphPlacement& placement, int size,
                    std::vector<uint8_t>& coverage, std::string& error);
