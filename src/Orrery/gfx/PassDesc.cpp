#include "Orrery/gfx/PassDesc.h"

namespace Orrery::Gfx {

void drawPassDescInit(DrawPassDesc& desc) {
    programDescInit(desc.program);
    desc.clearColor[0] = 0.0f;
    desc.clearColor[1] = 0.0f;
    desc.clearColor[2] = 0.0f;
    desc.clearColor[3] = 1.0f;
    desc.clear = true;
    desc.useDepth = false;
    desc.cullBack = false;
    desc.blend = false;
    desc.blendMode = BlendMode::Additive;
    desc.topology = 3;
    desc.vertexCount = 3;
    desc.instanceCount = 1;
    desc.activation = ActivationMode::Always;
    desc.start = 0.0f;
    desc.end = 100000.0f;
    growInit(desc.targets);
    desc.depthTarget = nullptr;
    desc.enabledFlag = true;
    growInit(desc.inputs);
}

void drawPassDescFree(DrawPassDesc& desc) {
    programDescFree(desc.program);
    growFree(desc.targets);
    growFree(desc.inputs);
}

void computePassDescInit(ComputePassDesc& desc) {
    programDescInit(desc.program);
    desc.program.kind = ProgramKind::Compute;
    desc.threadsX = 1;
    desc.threadsY = 1;
    desc.threadsZ = 1;
    desc.activation = ActivationMode::Always;
    desc.start = 0.0f;
    desc.end = 100000.0f;
    growInit(desc.outputs);
    growInit(desc.inputs);
}

void computePassDescFree(ComputePassDesc& desc) {
    programDescFree(desc.program);
    growFree(desc.outputs);
    growFree(desc.inputs);
}

}  // namespace Orrery::Gfx
