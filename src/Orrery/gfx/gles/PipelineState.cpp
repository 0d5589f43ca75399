#include <cfloat>

#include "Orrery/gfx/Pass.h"

namespace Orrery::Gfx {

GLenum topologyOf(int32_t topology) {
    static const GLenum kTopologies[5] = {GL_POINTS, GL_LINES, GL_LINE_STRIP, GL_TRIANGLES, GL_TRIANGLE_STRIP};
    if (topology < 0 || topology > 4) return GL_NONE;
    return kTopologies[topology];
}

SamplerState samplerStateOf(uint32_t slot, bool borderClamp) {
    // GL_CLAMP_TO_BORDER (OpenGL ES 3.2); its default border colour is the
    // Direct3D samplers' (0, 0, 0, 0).
    constexpr GLenum kClampToBorder = 0x812D;
    const GLenum border = borderClamp ? kClampToBorder : GL_CLAMP_TO_EDGE;
    const GLenum wrap[3] = {GL_CLAMP_TO_EDGE, border, GL_REPEAT};
    SamplerState s;
    const bool linear = slot < 3;
    s.minFilter = linear ? GL_LINEAR_MIPMAP_LINEAR : GL_NEAREST_MIPMAP_NEAREST;
    s.magFilter = linear ? GL_LINEAR : GL_NEAREST;
    s.wrap = wrap[slot % 3];
    s.minLod = -FLT_MAX;
    s.maxLod = FLT_MAX;
    return s;
}

RasterState rasterStateOf(const DrawPassDesc& desc) {
    RasterState r;
    r.cull = desc.cullBack;
    r.frontFace = GL_CCW;
    return r;
}

BlendState blendStateOf(const DrawPassDesc& desc) {
    struct Factors {
        GLenum src, dst, srcAlpha, dstAlpha;
    };
    static const Factors kModes[4] = {
        {GL_ONE, GL_ONE, GL_ONE, GL_ONE},
        {GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA, GL_ONE_MINUS_DST_ALPHA, GL_ONE},
        {GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA, GL_ONE, GL_ZERO},
        {GL_ZERO, GL_ONE_MINUS_SRC_COLOR, GL_ZERO, GL_ONE_MINUS_SRC_ALPHA},
    };
    // Modes outside the table take the additive factors, as on Direct3D.
    const Factors& f = (desc.blendMode >= 0 && desc.blendMode <= 3) ? kModes[desc.blendMode] : kModes[0];
    return BlendState{desc.blend, f.src, f.dst, f.srcAlpha, f.dstAlpha};
}

}  // namespace Orrery::Gfx
