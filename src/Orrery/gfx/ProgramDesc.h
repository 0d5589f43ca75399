// What a shader program is made of, in the form its back end takes: DXBC
// containers for Direct3D 11, GLSL ES 3.00 text for OpenGL ES.
#pragma once

#include "base/GrowString.h"

namespace Orrery::Gfx {

namespace ProgramKind {
enum Value : int32_t { Graphics = 0, Compute = 1 };
}

// The code is referenced, not copied: it must outlive the program (the show's
// programs live in the executable's data). The entry names travel with the
// description and are never used to create or bind anything.
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

// Kind Graphics, the default entry names, no code.
void programDescInit(ProgramDesc& desc);
void programDescFree(ProgramDesc& desc);
// Replaces `dst` (initialised) by a copy of `src` with names of its own.
void programDescCopy(ProgramDesc& dst, const ProgramDesc& src);

}  // namespace Orrery::Gfx
