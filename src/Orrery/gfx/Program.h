// Shader programs: precompiled code (DXBC for Direct3D 11, GLSL ES text for
// OpenGL ES) turned into the back end's shader objects.
#pragma once

#include "Orrery/gfx/Native.h"
#include "Orrery/gfx/ProgramDesc.h"

namespace Orrery::Gfx {

struct Program {
    ProgramDesc desc;
    VertexShaderHandle vertexShader;
    PixelShaderHandle pixelShader;
    ComputeShaderHandle computeShader;
    ProgramBindings bindings;  // what the back end learnt from the code (empty on Direct3D)

    // Creates the shader objects from the code: nothing when there is no
    // compute code and the vertex or pixel code is missing; the vertex and
    // pixel shaders for kind Graphics; the compute shader for kind Compute.
    // Objects of an earlier build are released first, so a program can be
    // rebuilt. Creation results are not examined (rejected code leaves its
    // shader empty and the pass is skipped); always returns true.
    bool buildShaders();
    // Releases every shader object; the description stays.
    void release();
};

void programInit(Program& program);

}  // namespace Orrery::Gfx
