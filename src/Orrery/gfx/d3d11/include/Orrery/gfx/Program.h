// Shader programs: precompiled DXBC turned into Direct3D 11 shader objects.
#pragma once

#include <d3d11.h>

#include "Orrery/gfx/ProgramDesc.h"

namespace Orrery::Gfx {

struct Program {
    ProgramDesc desc;
    ID3D11VertexShader* vertexShader;
    ID3D11PixelShader* pixelShader;
    ID3D11ComputeShader* computeShader;

    // Creates the shader objects from the bytecode: nothing when there is no
    // compute bytecode and the vertex or pixel bytecode is missing; the
    // vertex and pixel shaders for kind Graphics; the compute shader for kind
    // Compute. Creation results are not examined (a rejected blob leaves its
    // shader null); always returns true.
    bool buildShaders();
};

void programInit(Program& program);

}  // namespace Orrery::Gfx
