// Draw and compute passes, and the fixed pipeline state every draw uses. The
// descriptions and the register convention are in PassDesc.h.
#pragma once

#include "Orrery/gfx/PassDesc.h"
#include "Orrery/gfx/Program.h"
#include "Orrery/gfx/Resource.h"

namespace Orrery::Gfx {

struct DrawPass {
    DrawPassDesc desc;
    Program program;

    DrawPass();  // the default description and a program without shaders

    // Copies the description (targets, inputs and names deeply), forces the
    // program kind to Graphics and builds the shaders. Returns buildShaders'
    // result. The caller keeps ownership of `description`'s storage.
    bool configure(DrawPassDesc description);
};

// On OpenGL ES 3.0, which has no compute stage, no compute program is ever
// built and the pass is always skipped.
struct ComputePass {
    ComputePassDesc desc;
    Program program;

    ComputePass();

    // Copies the description deeply, forces the program kind to Compute and
    // builds the shader.
    bool configure(ComputePassDesc description);
};

// Releases the pass's shaders and frees its description's storage; the pass
// object itself is its owner's to delete.
void releasePass(DrawPass& pass);
void releasePass(ComputePass& pass);

}  // namespace Orrery::Gfx
