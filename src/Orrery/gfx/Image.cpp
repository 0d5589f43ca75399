// The only translation unit that compiles the image decoder.
// The show decodes only PNG (its glyph atlas); the other decoders would add
// about 30 KB to the executable.
#define STBI_ONLY_PNG
#define STB_IMAGE_IMPLEMENTATION
#include <stb/stb_image.h>

#include <cstring>

#include "Orrery/gfx/Resource.h"

namespace Orrery::Gfx {

namespace {

void flipRows(uint8_t* pixels, uint32_t width, uint32_t height) {
    const size_t rowBytes = size_t(width) * 4;
    for (uint32_t i = 0; i < height / 2; ++i) {
        uint8_t* a = pixels + size_t(i) * rowBytes;
        uint8_t* b = pixels + size_t(height - 1 - i) * rowBytes;
        for (size_t k = 0; k < rowBytes; ++k) {
            uint8_t t = a[k];
            a[k] = b[k];
            b[k] = t;
        }
    }
}

}  // namespace

bool ImageRuntime::init(const void* descriptor, bool) {
    if (descriptor) std::memcpy(&image, descriptor, sizeof image);
    // The path is a fixed-size field that must stay a string even when the
    // producer filled all of it.
    image.path[kImagePathSize - 1] = '\0';

    int width = 0, height = 0, components = 0;
    stbi_set_flip_vertically_on_load(0);
    stbi_uc* pixels = nullptr;
    if (image.data) {
        // An empty or negative length is not an image; the decoder must not see it.
        if (image.size > 0) pixels = stbi_load_from_memory(image.data, image.size, &width, &height, &components, 4);
    } else {
        pixels = stbi_load(image.path, &width, &height, &components, 4);
    }
    if (!pixels) return false;

    desc = texture2DDesc(width, height, FormatCode::R8G8B8A8Unorm, false);
    doubleBuffered = false;
    create();

    flipRows(pixels, uint32_t(width), uint32_t(height));
    upload(pixels, uint32_t(width), uint32_t(height), 4);
    stbi_image_free(pixels);
    return true;
}

bool ImageRuntime::create() {
    TextureRuntime::create();
    return true;
}

}  // namespace Orrery::Gfx
