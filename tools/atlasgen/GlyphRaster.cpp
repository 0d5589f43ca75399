#include "GlyphRaster.h"

#include <ft2build.h>
#include FT_FREETYPE_H
#include FT_OUTLINE_H
#include FT_BBOX_H
#include FT_BITMAP_H

#include <cmath>

struct GlyphFont {
  FT_Library library = nullptr;
  FT_Face face = nullptr;
};

GlyphFont* openGlyphFont(const char* path, std::string& error) {
  GlyphFont* font = new GlyphFont;
  if (FT_Init_FreeType(&font->library) != 0) {
    error = "cannot initialise FreeType";
    delete font;
    return nullptr;
  }
  if (FT_New_Face(font->library, path, 0, &font->face) != 0) {
    error = std::string("cannot open font '") + path + "'";
    closeGlyphFont(font);
    return nullptr;
  }
  if (!FT_IS_SCALABLE(font->face)) {
    error = std::string("font '") + path + "' has no outlines";
    closeGlyphFont(font);
    return nullptr;
  }
  return font;
}

void closeGlyphFont(GlyphFont* font) {
  if (!font) return;
  if (font->face) FT_Done_Face(font->face);
  if (font->library) FT_Done_FreeType(font->library);
  delete font;
}

namespace {

// Loads the unscaled, unhinted outline of `code` into the face's glyph slot.
bool loadOutline(GlyphFont* font, int code, std::string& error) {
  const FT_UInt index = FT_Get_Char_Index(font->face, FT_ULong(code));
  if (index == 0) {
    error = std::string("the font has no glyph for '") + char(code) + "'";
    return false;
  }
  if (FT_Load_Glyph(font->face, index, FT_LOAD_NO_SCALE) != 0 ||
      font->face->glyph->format != FT_GLYPH_FORMAT_OUTLINE) {
    error = std::string("cannot load the outline of '") + char(code) + "'";
    return false;
  }
  if (font->face->glyph->outline.n_points == 0) {
    error = std::string("the glyph for '") + char(code) + "' is empty";
    return false;
  }
  return true;
}

}  // namespace

bool glyphBox(GlyphFont* font, int code, GlyphBox& box, std::string& error) {
  if (!loadOutline(font, code, error)) return false;
  FT_BBox cbox;
  // The exact box, not the control box: curves' off points may stick out.
  FT_Outline_Get_BBox(&font->face->glyph->outline, &cbox);
  box = {double(cbox.xMin), double(cbox.yMin), double(cbox.xMax), double(cbox.yMax)};
  return true;
}

bool rasteriseGlyph(GlyphFont* font, int code, const GlyphPlacement& placement, int size,
                    std::vector<uint8_t>& coverage, std::string& error) {
  if (!loadOutline(font, code, error)) return false;
  FT_Outline& outline = font->face->glyph->outline;
  // FreeType renders in 26.6 fixed point with y up from the bitmap's bottom.
  for (int i = 0; i < outline.n_points; ++i) {
    const double x = placement.originX + double(outline.points[i].x) * placement.scaleX;
    const double yDown = placement.originY - double(outline.points[i].y) * placement.scaleY;
    outline.points[i].x = FT_Pos(std::lround(x * 64.0));
    outline.points[i].y = FT_Pos(std::lround((size - yDown) * 64.0));
  }
  coverage.assign(size_t(size) * size, 0);
  FT_Bitmap bitmap;
  FT_Bitmap_Init(&bitmap);
  bitmap.rows = unsigned(size);
  bitmap.width = unsigned(size);
  bitmap.pitch = size;
  bitmap.buffer = coverage.data();
  bitmap.num_grays = 256;
  bitmap.pixel_mode = FT_PIXEL_MODE_GRAY;
  if (FT_Outline_Get_Bitmap(font->library, &outline, &bitmap) != 0) {
    error = std::string("cannot rasterise '") + char(code) + "'";
    return false;
  }
  return true;
}
