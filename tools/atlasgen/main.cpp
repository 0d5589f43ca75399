// atlasgen: renders the show's glyph atlas from a font file.
#include "AtlasRender.h"
#include "GlyphRaster.h"
#include "PngWrite.h"
#include "content/atlas/FontAtlas.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include <sys/stat.h>

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

// The PNG goes to "<output>.partial", opened before the (slow) rendering so
// that a bad path fails at once, and replaces the output only when complete:
// a failed run leaves an existing atlas untouched. An output that exists and
// is not a regular file (a device, a pipe) is written in place instead: a
// rename would put a file where the device node was.
struct Output {
  std::string path;     // what is opened and written
  bool inPlace;         // writing straight to the output, nothing to rename or remove
  FILE* file;
};

Output openOutput(const char* outputPath) {
  struct stat status;
  const bool special = stat(outputPath, &status) == 0 && !S_ISREG(status.st_mode);
  Output output = {special ? std::string(outputPath) : std::string(outputPath) + ".partial", special, nullptr};
  output.file = std::fopen(output.path.c_str(), "wb");
  return output;
}

void discard(Output& output) {
  if (!output.inPlace) std::remove(output.path.c_str());
}

int failAndRemove(Output& output, const std::string& message) {
  std::fclose(output.file);
  discard(output);
  return fail(message);
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

  Output output = openOutput(outputPath);
  if (!output.file) return fail("cannot write '" + output.path + "': " + std::strerror(errno));

  std::string error;
  GlyphFont* font = openGlyphFont(fontPath, error);
  if (!font) return failAndRemove(output, error);
  std::vector<uint8_t> rgba;
  const bool rendered = renderFontAtlas(font, rgba, error);
  closeGlyphFont(font);
  if (!rendered) return failAndRemove(output, error);

  std::vector<uint8_t> png;
  if (!encodePngRgba(rgba.data(), kFontAtlasWidth, kFontAtlasWidth, png))
    return failAndRemove(output, "PNG compression failed");
  // A short write, or an error that shows only when the buffer is flushed
  // (a full device) or the file closed, fails the run.
  int writeError = 0;
  if (std::fwrite(png.data(), 1, png.size(), output.file) != png.size()) writeError = errno ? errno : EIO;
  if (std::fflush(output.file) != 0 && !writeError) writeError = errno ? errno : EIO;
  if (std::fclose(output.file) != 0 && !writeError) writeError = errno ? errno : EIO;
  if (writeError) {
    discard(output);
    return fail("cannot write '" + output.path + "': " + std::strerror(writeError));
  }
  if (!output.inPlace && std::rename(output.path.c_str(), outputPath) != 0) {
    discard(output);
    return fail(std::string("cannot replace '") + outputPath + "'");
  }
  return 0;
}
