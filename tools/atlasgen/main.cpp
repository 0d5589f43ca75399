// atlasgen: renders the show's glyph atlas from a font file.
#include "AtlasRender.h"
#include "GlyphRaster.h"
#include "PngWrite.h"
#include "content/atlas/FontAtlas.h"

#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

namespace {

constexpr const char* kDefaultFont = "/usr/share/fonts/opentype/bebas-neue/BebasNeue-Bold.otf";

void printUsage(FILE* to) {
  std::fprintf(to,
               "usage: atlasgen [--font FILE] --output FILE.png\n"
               "\n"
               "Renders the glyph atlas: a %d x %d RGBA PNG of %d x %d cells, one per\n"
               "character code, holding the glyphs \"%s\".\n"
               "Alpha is a signed distance field (%d on the outline, %d levels per pixel,\n"
               "lower inside), red the coverage, green and blue the outward direction.\n"
               "\n"
               "  --font FILE     font to draw from (default %s)\n"
               "  --output FILE   where to write the PNG\n"
               "  --help          show this text\n",
               kFontAtlasWidth, kFontAtlasWidth, kFontAtlasCellSize, kFontAtlasCellSize, kFontAtlasGlyphs,
               kFontAtlasEdgeLevel, kFontAtlasLevelsPerPixel, kDefaultFont);
}

int fail(const std::string& message) {
  std::fprintf(stderr, "atlasgen: %s\n", message.c_str());
  return 1;
}

bool writeFile(const char* path, const std::vector<uint8_t>& bytes) {
  FILE* file = std::fopen(path, "wb");
  if (!file) return false;
  const bool written = std::fwrite(bytes.data(), 1, bytes.size(), file) == bytes.size();
  return std::fclose(file) == 0 && written;
}

}  // namespace

int main(int argc, char** argv) {
  const char* fontPath = kDefaultFont;
  const char* outputPath = nullptr;
  for (int i = 1; i < argc; ++i) {
    const char* arg = argv[i];
    if (std::strcmp(arg, "--help") == 0 || std::strcmp(arg, "-h") == 0) {
      printUsage(stdout);
      return 0;
    }
    const bool takesValue = std::strcmp(arg, "--font") == 0 || std::strcmp(arg, "--output") == 0;
    if (!takesValue) {
      printUsage(stderr);
      return fail(std::string("unknown argument '") + arg + "'");
    }
    if (i + 1 >= argc) return fail(std::string(arg) + " needs a file name");
    (std::strcmp(arg, "--font") == 0 ? fontPath : outputPath) = argv[++i];
  }
  if (!outputPath) {
    printUsage(stderr);
    return fail("no output file given (--output FILE)");
  }

  std::string error;
  GlyphFont* font = openGlyphFont(fontPath, error);
  if (!font) return fail(error);
  std::vector<uint8_t> rgba;
  const bool rendered = renderFontAtlas(font, rgba, error);
  closeGlyphFont(font);
  if (!rendered) return fail(error);

  std::vector<uint8_t> png;
  if (!encodePngRgba(rgba.data(), kFontAtlasWidth, kFontAtlasWidth, png)) return fail("PNG compression failed");
  if (!writeFile(outputPath, png)) return fail(std::string("cannot write '") + outputPath + "'");
  return 0;
}
