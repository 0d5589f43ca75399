// Draw and compute passes on OpenGL ES 3.0, and the fixed pipeline state every
// draw uses, as GL enums. The descriptions and the register convention are in
// PassDesc.h.
#pragma once

#include <GLES3/gl3.h>

#include "Orrery/gfx/PassDesc.h"
#include "Orrery/gfx/Program.h"
#include "Orrery/gfx/Resource.h"

namespace Orrery::Gfx {

struct DrawPass {
    DrawPassDesc desc;
    Program program;

    DrawPass();

    // Copies the description (targets, inputs and names deeply), forces the
    // program kind to Graphics and builds the program. Returns buildShaders'
    // result. The caller keeps ownership of `description`'s storage.
    bool configure(DrawPassDesc description);
};

// Compute passes keep their description; OpenGL ES 3.0 cannot run them, so
// they are always skipped.
struct ComputePass {
    ComputePassDesc desc;
    Program program;

    ComputePass();
    bool configure(ComputePassDesc description);
};

// The Direct3D 11 states of the show, in GL terms.
struct SamplerState {
    GLenum minFilter;  // GL_LINEAR_MIPMAP_LINEAR or GL_NEAREST_MIPMAP_NEAREST
    GLenum magFilter;
    GLenum wrap;       // same on S, T and R; border falls back to edge clamping
    float minLod;      // -FLT_MAX
    float maxLod;      // FLT_MAX
};

struct RasterState {
    bool cull;        // cull back faces
    GLenum frontFace; // GL_CCW: clockwise on screen, as Direct3D's default, once y is flipped
};

struct BlendState {
    bool enabled;
    GLenum src, dst, srcAlpha, dstAlpha;  // equation GL_FUNC_ADD for both
};

// GL_TRIANGLES for 3; an index outside 0..4 gives GL_NONE (nothing is drawn).
GLenum topologyOf(int32_t topology);
// Slots 0..5; `borderClamp`: the context offers GL_CLAMP_TO_BORDER.
SamplerState samplerStateOf(uint32_t slot, bool borderClamp);
RasterState rasterStateOf(const DrawPassDesc& desc);
BlendState blendStateOf(const DrawPassDesc& desc);

}  // namespace Orrery::Gfx
