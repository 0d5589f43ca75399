// The shared pipeline tables in OpenGL ES terms.
#pragma once

#include <GLES3/gl3.h>

#include <cstdint>

namespace Orrery::Gfx {

// GL_TRIANGLES for 3; an index outside 0..4 gives GL_NONE (nothing is drawn).
GLenum topologyOf(int32_t topology);
GLenum glBlendFactorOf(int32_t factor);  // BlendFactor
// SamplerAddress; border falls back to edge clamping without `borderClamp`
// (GL_CLAMP_TO_BORDER, OpenGL ES 3.2 or an extension).
GLenum glWrapOf(int32_t address, bool borderClamp);

}  // namespace Orrery::Gfx
