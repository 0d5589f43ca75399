#pragma once
#include <cstdint>
#include <string>
#include <vector>

struct GlyphFont;

// How finely each atlas pixel is sampled when measuring coverage and distance
// (per axis). 16 keeps the outline's position within 1/32 of a pixel.
constexpr int kAtlasOversampling = 16;

// Renders the whole glyph atlas (layout in content/atlas/FontAtlas.h) as
// 8-bit RGBA pixels, row by row from the top. Letters and digits share one
// scale and baseline that make them fill the cell's ink area's height; every
// glyph is kept inside that area and centred horizontally. False (with
// `error`) when the font lacks a glyph or a glyph cannot be made to fit.
bool renderFontAtlas(GlyphFont* font, std::vector<uint8_t>& rgba, std::string& error);
