#include "AtlasImage.h"

#include "content/atlas/FontAtlas.h"

#define STB_IMAGE_IMPLEMENTATION
#define STBI_ONLY_PNG
#include <stb/stb_image.h>

const uint8_t* AtlasImage::cell(int code, int x, int y) const {
  return at((code % kFontAtlasCellsPerRow) * kFontAtlasCellSize + x,
            (code / kFontAtlasCellsPerRow) * kFontAtlasCellSize + y);
}

const AtlasImage& decodedAtlas() {
  static const AtlasImage image = [] {
    AtlasImage decoded;
    stbi_uc* pixels = stbi_load_from_memory(kFontAtlasPng, int(kFontAtlasPngSize), &decoded.width,
                                            &decoded.height, &decoded.channels, 4);
    if (pixels) {
      decoded.rgba.assign(pixels, pixels + size_t(decoded.width) * decoded.height * 4);
      stbi_image_free(pixels);
    }
    return decoded;
  }();
  return image;
}
