#include "AtlasRender.h"

#include "DistanceField.h"
#include "GlyphRaster.h"
#include "content/atlas/FontAtlas.h"

#include <algorithm>
#include <cmath>

namespace {

constexpr int kSamples = kFontAtlasCellSize * kAtlasOversampling;
// Keeps antialiased fringes off the limits of the ink area.
constexpr double kInkMargin = 0.25;
// Distance (pixels) from which alpha is clamped to 255.
constexpr double kClampDistance = (254.5 - kFontAtlasEdgeLevel) / kFontAtlasLevelsPerPixel;

bool hasDescender(int code) { return code == ',' || code == 'Q'; }

// The scroller advances by 0.38 of a cell (24.3 pixels); wider glyphs are
// narrowed to this so that neighbours keep apart.
constexpr double kMaxGlyphWidth = 22.0;

constexpr double kBandTop = kFontAtlasInkTop + kInkMargin;
constexpr double kBandBottom = kFontAtlasInkBottom + 1 - kInkMargin;
constexpr double kDescenderBottom = kFontAtlasDescenderBottom + 1 - kInkMargin;

struct AtlasMetrics {
  double scale;     // atlas pixels per font unit
  double baseline;  // cell row coordinate of the baseline
};

// One scale and baseline for the letters and digits: their tallest (the tail
// of "Q" aside) fill the ink area's height.
bool chooseMetrics(GlyphFont* font, AtlasMetrics& metrics, std::string& error) {
  double top = -1e30, bottom = 1e30;
  for (int i = 0; i < kFontAtlasGlyphCount; ++i) {
    const int code = kFontAtlasGlyphs[i];
    GlyphBox box;
    if (!glyphBox(font, code, box, error)) return false;
    const bool alphanumeric = (code >= 'A' && code <= 'Z') || (code >= '0' && code <= '9');
    if (!alphanumeric) continue;
    top = std::max(top, box.yMax);
    if (!hasDescender(code)) bottom = std::min(bottom, box.yMin);
  }
  if (!(top > bottom)) {
    error = "the font's letters have no height";
    return false;
  }
  metrics.scale = (kBandBottom - kBandTop) / (top - bottom);
  metrics.baseline = kBandTop + top * metrics.scale;
  return true;
}

// Letters, digits and most punctuation sit on the common baseline at the
// common scale. A glyph that would leave the ink area (a tall "@") is scaled
// down to the area's height and centred in it; a wide one is narrowed.
bool placeGlyph(int code, const GlyphBox& box, const AtlasMetrics& metrics, GlyphPlacement& placement,
                std::string& error) {
  double scale = metrics.scale;
  double baseline = metrics.baseline;
  const double bottomLimit = hasDescender(code) ? kDescenderBottom : kBandBottom;
  if (baseline - box.yMax * scale < kBandTop || baseline - box.yMin * scale > bottomLimit) {
    if (hasDescender(code)) {
      error = std::string("the descender of '") + char(code) + "' reaches below its cell's ink area";
      return false;
    }
    scale = std::min(scale, (kBandBottom - kBandTop) / (box.yMax - box.yMin));
    baseline = (kBandTop + kBandBottom) / 2 + (box.yMax + box.yMin) / 2 * scale;
  }
  const double width = box.xMax - box.xMin;
  const double scaleX = width * scale > kMaxGlyphWidth ? kMaxGlyphWidth / width : scale;
  const double centre = (kFontAtlasInkLeft + kFontAtlasInkRight + 1) / 2.0;
  placement.scaleX = scaleX * kAtlasOversampling;
  placement.scaleY = scale * kAtlasOversampling;
  placement.originX = (centre - (box.xMin + box.xMax) / 2 * scaleX) * kAtlasOversampling;
  placement.originY = baseline * kAtlasOversampling;
  return true;
}

uint8_t clampToByte(long value) { return uint8_t(std::min(255L, std::max(0L, value))); }

void fillEmptyCell(std::vector<uint8_t>& rgba, int cellX, int cellY) {
  for (int y = 0; y < kFontAtlasCellSize; ++y) {
    uint8_t* row = &rgba[(size_t(cellY + y) * kFontAtlasWidth + cellX) * 4];
    for (int x = 0; x < kFontAtlasCellSize; ++x)
      for (int c = 0; c < 4; ++c) row[x * 4 + c] = kFontAtlasEmpty[c];
  }
}

bool renderGlyphCell(GlyphFont* font, int code, const AtlasMetrics& metrics, std::vector<uint8_t>& rgba,
                     int cellX, int cellY, std::string& error) {
  GlyphBox box;
  if (!glyphBox(font, code, box, error)) return false;
  GlyphPlacement placement;
  if (!placeGlyph(code, box, metrics, placement, error)) return false;
  std::vector<uint8_t> coverage;
  if (!rasteriseGlyph(font, code, placement, kSamples, coverage, error)) return false;

  std::vector<uint8_t> inside(coverage.size());
  for (size_t i = 0; i < coverage.size(); ++i) inside[i] = coverage[i] >= 128;
  const std::vector<float> samples = signedDistance(inside, kSamples);

  // Distance at each pixel centre, which falls between four samples.
  constexpr int n = kFontAtlasCellSize;
  constexpr int half = kAtlasOversampling / 2;
  std::vector<double> distance(size_t(n) * n);
  for (int y = 0; y < n; ++y) {
    for (int x = 0; x < n; ++x) {
      const size_t s = size_t(y * kAtlasOversampling + half - 1) * kSamples + x * kAtlasOversampling + half - 1;
      const double sum = double(samples[s]) + samples[s + 1] + samples[s + kSamples] + samples[s + kSamples + 1];
      distance[size_t(y) * n + x] = sum / 4 / kAtlasOversampling;
    }
  }

  for (int y = 0; y < n; ++y) {
    uint8_t* row = &rgba[(size_t(cellY + y) * kFontAtlasWidth + cellX) * 4];
    for (int x = 0; x < n; ++x) {
      unsigned sum = 0;
      for (int sy = 0; sy < kAtlasOversampling; ++sy)
        for (int sx = 0; sx < kAtlasOversampling; ++sx)
          sum += coverage[size_t(y * kAtlasOversampling + sy) * kSamples + x * kAtlasOversampling + sx];
      const double d = distance[size_t(y) * n + x];

      // Outward direction from the distance's gradient (y pointing up, as
      // the glyph is drawn), fading to nothing where alpha clamps.
      const int x0 = std::max(x - 1, 0), x1 = std::min(x + 1, n - 1);
      const int y0 = std::max(y - 1, 0), y1 = std::min(y + 1, n - 1);
      double gx = (distance[size_t(y) * n + x1] - distance[size_t(y) * n + x0]) / (x1 - x0);
      double gy = (distance[size_t(y0) * n + x] - distance[size_t(y1) * n + x]) / (y1 - y0);
      const double length = std::sqrt(gx * gx + gy * gy);
      const double fade = std::min(1.0, std::max(0.0, (kClampDistance - d) / kClampDistance));
      if (length > 1e-9) {
        gx = gx / length * fade;
        gy = gy / length * fade;
      } else {
        gx = gy = 0;
      }

      row[x * 4 + 0] = uint8_t((sum + 128) / 256);
      row[x * 4 + 1] = clampToByte(128 + std::lround(127 * gx));
      row[x * 4 + 2] = clampToByte(128 + std::lround(127 * gy));
      row[x * 4 + 3] = clampToByte(std::lround(kFontAtlasEdgeLevel + kFontAtlasLevelsPerPixel * d));
    }
  }
  return true;
}

}  // namespace

bool renderFontAtlas(GlyphFont* font, std::vector<uint8_t>& rgba, std::string& error) {
  AtlasMetrics metrics;
  if (!chooseMetrics(font, metrics, error)) return false;
  rgba.assign(size_t(kFontAtlasWidth) * kFontAtlasWidth * 4, 0);
  for (int code = 0; code < kFontAtlasCellsPerRow * kFontAtlasCellsPerRow; ++code) {
    const int cellX = (code % kFontAtlasCellsPerRow) * kFontAtlasCellSize;
    const int cellY = (code / kFontAtlasCellsPerRow) * kFontAtlasCellSize;
    if (!fontAtlasHasGlyph(code)) {
      fillEmptyCell(rgba, cellX, cellY);
    } else if (!renderGlyphCell(font, code, metrics, rgba, cellX, cellY, error)) {
      return false;
    }
  }
  return true;
}
