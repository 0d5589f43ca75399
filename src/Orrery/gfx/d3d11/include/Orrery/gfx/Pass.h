// Draw and compute passes on Direct3D 11, and the fixed pipeline state every
// draw uses. The descriptions and the register convention are in PassDesc.h.
#pragma once

#include <d3d11.h>

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

struct ComputePass {
    ComputePassDesc desc;
    Program program;

    ComputePass();

    // Copies the description deeply, forces the program kind to Compute and
    // builds the shader.
    bool configure(ComputePassDesc description);
};

// Fixed pipeline state.
D3D11_PRIMITIVE_TOPOLOGY topologyOf(int32_t topology);
D3D11_SAMPLER_DESC samplerDescOf(uint32_t slot);  // slots 0..5
D3D11_RASTERIZER_DESC rasterizerDescOf(const DrawPassDesc& desc);
D3D11_BLEND_DESC blendDescOf(const DrawPassDesc& desc);

}  // namespace Orrery::Gfx
