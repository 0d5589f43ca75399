// The descriptions of draw and compute passes, the same for every back end.
//
// Register convention shared with the shaders: the frame constant buffer at
// b8; the six samplers at s0..s5; input i at t i (previous copy); render
// target j of a draw pass at slot j (current copy); output j of a compute
// pass at u(number of inputs + j) (current copy). There is no input layout
// and no vertex or index buffer: vertices come from the vertex index.
#pragma once

#include "Orrery/gfx/PassMath.h"
#include "Orrery/gfx/ProgramDesc.h"
#include "base/GrowArray.h"

namespace Orrery::Gfx {

class Resource;

namespace ResourceKind {
enum Value : int32_t { Texture = 0, Buffer = 1 };
}

namespace PassKind {
enum Value : int32_t { Compute = 0, Draw = 1 };
}

namespace BlendMode {
enum Value : int32_t { Additive = 0, AlphaOver = 1, AlphaCopy = 2, InverseMultiply = 3 };
}

// An input of any pass, or an output of a compute pass. Growing a list of
// them with growResize fills the new entries with {Texture, null}.
struct ResourceRef {
    int32_t kind;        // ResourceKind
    Resource* resource;  // may be null: the register stays unbound
};

// A render target of a draw pass: a 2D colour TextureRuntime.
struct TargetRef {
    Resource* resource;
    bool enabled;  // set by every producer; nothing reads it
};

struct DrawPassDesc {
    ProgramDesc program;
    float clearColor[4];
    bool clear;
    bool useDepth;
    bool cullBack;
    bool blend;
    int32_t blendMode;  // BlendMode, used when `blend` is set
    int32_t topology;   // index into the topology table (3: triangle list)
    uint32_t vertexCount;
    uint32_t instanceCount;
    int32_t activation;  // ActivationMode
    float start;         // activation window, music seconds
    float end;
    GrowArray<TargetRef> targets;  // in slot order
    Resource* depthTarget;
    bool enabledFlag;  // set by every producer; nothing reads it
    GrowArray<ResourceRef> inputs;  // in register order
};

// Defaults: program of kind Graphics with no bytecode, clear to (0, 0, 0, 1),
// no depth, no culling, no blending (mode 0), triangle list of 3 vertices, one
// instance, activation Always over [0, 100000], no targets or inputs.
void drawPassDescInit(DrawPassDesc& desc);
// Frees the description's names and lists (a configured pass keeps copies).
void drawPassDescFree(DrawPassDesc& desc);

struct ComputePassDesc {
    ProgramDesc program;
    uint32_t threadsX;  // extent of the work in threads
    uint32_t threadsY;
    uint32_t threadsZ;
    int32_t activation;
    float start;
    float end;
    GrowArray<ResourceRef> outputs;
    GrowArray<ResourceRef> inputs;
};

// Defaults: program of kind Compute with no bytecode, 1 x 1 x 1 threads,
// activation Always over [0, 100000], no outputs or inputs.
void computePassDescInit(ComputePassDesc& desc);
void computePassDescFree(ComputePassDesc& desc);

struct PassEntry {
    int32_t kind;  // PassKind
    void* pass;    // ComputePass or DrawPass
};

constexpr uint32_t kSamplerCount = 6;

}  // namespace Orrery::Gfx
