#include "PipelineState.h"

namespace Orrery::Gfx {

GLenum topologyOf(int32_t topology) {
    static const GLenum kTopologies[5] = {GL_POINTS, GL_LINES, GL_LINE_STRIP, GL_TRIANGLES, GL_TRIANGLE_STRIP};
    if (topology < 0 || topology > 4) return GL_NONE;
    return kTopologies[topology];
}

GLenum glBlendFactorOf(int32_t factor) {
    static const GLenum kFactors[6] = {GL_ZERO,      GL_ONE, GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA,
                                       GL_ONE_MINUS_DST_ALPHA, GL_ONE_MINUS_SRC_COLOR};
    return kFactors[factor];
}

GLenum glWrapOf(int32_t address, bool borderClamp) {
    // GL_CLAMP_TO_BORDER's default border colour is Direct3D's (0, 0, 0, 0).
    constexpr GLenum kClampToBorder = 0x812D;
    const GLenum wrap[3] = {GL_CLAMP_TO_EDGE, borderClamp ? kClampToBorder : GL_CLAMP_TO_EDGE, GL_REPEAT};
    return wrap[address];
}

}  // namespace Orrery::Gfx
