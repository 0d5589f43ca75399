// The texture formats of the show in OpenGL ES 3.0 terms.
#pragma once

#include <GLES3/gl3.h>

#include <cstdint>

namespace Orrery::Gfx {

struct GlesFormat {
    GLenum internalFormat;  // 0 for codes outside 0..7
    GLenum format;          // pixel transfer format and type
    GLenum type;
    uint32_t bytesPerPixel;
    bool swapRedBlue;  // B8G8R8A8: stored as RGBA8, uploads swap R and B
};

// R32_FLOAT → R32F, R8G8B8A8_UNORM → RGBA8, B8G8R8A8_UNORM → RGBA8 (ES 3.0
// has no BGRA storage), R16G16B16A16_FLOAT → RGBA16F, R32G32B32A32_FLOAT →
// RGBA32F, D24_UNORM_S8_UINT → DEPTH24_STENCIL8, D32_FLOAT →
// DEPTH_COMPONENT32F, R32_UINT → R32UI.
GlesFormat glesFormatOf(int32_t format);

}  // namespace Orrery::Gfx
