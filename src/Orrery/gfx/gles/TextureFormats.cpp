#include "TextureFormats.h"

namespace Orrery::Gfx {

GlesFormat glesFormatOf(int32_t format) {
    static const GlesFormat kFormats[8] = {
        {GL_R32F, GL_RED, GL_FLOAT, 4, false},
        {GL_RGBA8, GL_RGBA, GL_UNSIGNED_BYTE, 4, false},
        {GL_RGBA8, GL_RGBA, GL_UNSIGNED_BYTE, 4, true},
        {GL_RGBA16F, GL_RGBA, GL_HALF_FLOAT, 8, false},
        {GL_RGBA32F, GL_RGBA, GL_FLOAT, 16, false},
        {GL_DEPTH24_STENCIL8, GL_DEPTH_STENCIL, GL_UNSIGNED_INT_24_8, 4, false},
        {GL_DEPTH_COMPONENT32F, GL_DEPTH_COMPONENT, GL_FLOAT, 4, false},
        {GL_R32UI, GL_RED_INTEGER, GL_UNSIGNED_INT, 4, false},
    };
    if (format < 0 || format > 7) return GlesFormat{0, 0, 0, 0, false};
    return kFormats[format];
}

}  // namespace Orrery::Gfx
