#include "AtlasImage.h"

#define STB_IMAGE_IMPLEMENTATION
#define STBI_ONLY_PNG
#include <stb/stb_image.h>

#include "content/atlas/FontAtlas.h"

bool decodeUploadedAtlas(ref::Image& out) {
    int width = 0, height = 0, channels = 0;
    unsigned char* pixels =
        stbi_load_from_memory(kFontAtlasPng, static_cast<int>(kFontAtlasPngSize), &width, &height, &channels, 4);
    if (!pixels) return false;
    out = ref::makeImage(width, height, {0, 0, 0, 0});
    for (int y = 0; y < height; ++y) {
        const unsigned char* row = pixels + static_cast<size_t>(height - 1 - y) * width * 4;
        for (int x = 0; x < width; ++x)
            out.set(x, y, {row[4 * x] / 255.0f, row[4 * x + 1] / 255.0f, row[4 * x + 2] / 255.0f, row[4 * x + 3] / 255.0f});
    }
    stbi_image_free(pixels);
    return true;
}
