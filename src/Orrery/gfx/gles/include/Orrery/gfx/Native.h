// OpenGL ES 3.0 objects behind the runtime's records: every handle is an
// object name, and a view is the name of the object it views (render targets
// are level 0 of a 2D texture, attached to the runtime's framebuffer when a
// pass draws; the depth-stencil view is the depth texture). Creation needs a
// current ES 3 context that initContext was told about; without one every
// name stays 0. New textures and buffers read as zero, as on Direct3D.
#pragma once

#include <GLES3/gl3.h>

#include <cstdint>

namespace Orrery::Gfx {

using ResourceHandle = GLuint;  // textures: GL_TEXTURE_2D (1D and 2D) or GL_TEXTURE_3D
using BufferHandle = GLuint;
using UavHandle = GLuint;
using SrvHandle = GLuint;
using RtvHandle = GLuint;
using DsvHandle = GLuint;
using VertexShaderHandle = GLuint;  // 0 unless the program linked
using PixelShaderHandle = GLuint;
using ComputeShaderHandle = GLuint;  // OpenGL ES 3.0 has no compute stage: always 0

constexpr uint32_t kMaxProgramSamplers = 16;

// One texture unit of a linked program.
struct ProgramSampler {
    uint32_t unit;
    uint32_t textureSlot;  // t register: the pass's input index
    uint32_t samplerSlot;  // s register: one of the six sampler objects
    GLenum target;         // GL_TEXTURE_2D or GL_TEXTURE_3D
};

// The linked program object and its texture units, read from the names of
// its samplers and uniform blocks (see Gles.h).
struct ProgramBindings {
    GLuint program;
    uint32_t samplerCount;
    ProgramSampler samplers[kMaxProgramSamplers];
};

// The context is the current one: nothing to hand over.
struct DeviceDesc {};

struct DeviceState {
    bool ready = false;  // initContext ran on a current, usable context
    GLuint samplers[6] = {};
    GLuint drawFramebuffer = 0;
    GLuint emptyVertexArray = 0;
    GLuint zeroTexture = 0;  // 1 x 1 (0, 0, 0, 0): what an empty input reads
    bool borderClamp = false;
};

}  // namespace Orrery::Gfx

#include "Orrery/gfx/Gles.h"
