// Shader programs on OpenGL ES 3.0: GLSL ES 3.00 text compiled and linked
// into a program object.
//
// The text comes from the same SPIR-V as the Direct3D blobs (thaw-glsl), with
// the registers in its names: each combined sampler `thaw_t<i>_s<j>` gets a
// texture unit of its own, to which a pass binds input i and sampler object
// j; the uniform block `thaw_b<n>` is bound to uniform-buffer binding n.
#pragma once

#include <GLES3/gl3.h>

#include "Orrery/gfx/ProgramDesc.h"

namespace Orrery::Gfx {

constexpr uint32_t kMaxProgramSamplers = 16;

// One texture unit of a linked program.
struct ProgramSampler {
    uint32_t unit;
    uint32_t textureSlot;  // t register: the pass's input index
    uint32_t samplerSlot;  // s register: one of the six sampler objects
    GLenum target;         // GL_TEXTURE_2D or GL_TEXTURE_3D
};

struct Program {
    ProgramDesc desc;
    GLuint vertexShader;   // 0 unless the program linked
    GLuint pixelShader;
    GLuint computeShader;  // OpenGL ES 3.0 has no compute stage: always 0
    GLuint program;
    uint32_t samplerCount;
    ProgramSampler samplers[kMaxProgramSamplers];

    // Compiles and links the vertex and pixel text (kind Graphics). Nothing
    // when the vertex or pixel text is missing; a failed compile or link
    // leaves every name 0, and the pass is then skipped. Always returns true.
    bool buildShaders();
};

void programInit(Program& program);

// Compiles and links `desc`'s vertex and pixel text into `program` and
// reads its bindings. False with the stage's or the linker's log (one
// message, truncated to logSize) when the driver rejects it.
bool glesLinkProgram(const ProgramDesc& desc, Program& program, char* log, uint32_t logSize);

// Parses a combined sampler's name "thaw_t<i>_s<j>"; false for any other name.
bool parseSamplerName(const char* name, uint32_t& textureSlot, uint32_t& samplerSlot);
// Parses a uniform block's name "thaw_b<n>"; false for any other name.
bool parseBlockName(const char* name, uint32_t& binding);

}  // namespace Orrery::Gfx
