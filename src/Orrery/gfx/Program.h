// Shader programs: precompiled bytecode turned into Direct3D shader objects.
#pragma once

#include <d3d11.h>

#include "base/GrowString.h"

namespace Orrery::Gfx {

namespace ProgramKind {
enum Value : int32_t { Graphics = 0, Compute = 1 };
}

// What a program is made of. The bytecode is referenced, not copied: it must
// outlive the program (the show's blobs live in the executable's data). The
// entry names travel with the description and are never used to create or
// bind anything.
struct ProgramDesc {
    int32_t kind;
    GrowString vertexEntry;   // "vertex_main"
    GrowString pixelEntry;    // "pixel_main"
    GrowString computeEntry;  // "kernel_main"
    GrowString extraEntry;    // empty
    const void* vertexBytecode;
    const void* pixelBytecode;
    const void* computeBytecode;
    uint32_t vertexBytecodeSize;
    uint32_t pixelBytecodeSize;
    uint32_t computeBytecodeSize;
};

// Kind Graphics, the default entry names, no bytecode.
void programDescInit(ProgramDesc& desc);
void programDescFree(ProgramDesc& desc);
// Replaces `dst` (initialised) by a copy of `src` with names of its own.
void programDescCopy(ProgramDesc& dst, const ProgramDesc& src);

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
