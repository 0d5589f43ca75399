// Configuring passes: the same for every back end, compiled into each one's
// library (the pass records embed the back end's Program).
#include "Orrery/gfx/Pass.h"

namespace Orrery::Gfx {

DrawPass::DrawPass() {
    drawPassDescInit(desc);
    programInit(program);
}

bool DrawPass::configure(DrawPassDesc description) {
    programDescCopy(desc.program, description.program);
    for (int i = 0; i < 4; ++i) desc.clearColor[i] = description.clearColor[i];
    desc.clear = description.clear;
    desc.useDepth = description.useDepth;
    desc.cullBack = description.cullBack;
    desc.blend = description.blend;
    desc.blendMode = description.blendMode;
    desc.topology = description.topology;
    desc.vertexCount = description.vertexCount;
    desc.instanceCount = description.instanceCount;
    desc.activation = description.activation;
    desc.start = description.start;
    desc.end = description.end;
    desc.depthTarget = description.depthTarget;
    desc.enabledFlag = description.enabledFlag;
    // Deep copies (growCopy: new storage of the source's capacity), so the
    // caller can free its description.
    growCopy(desc.targets, description.targets);
    growCopy(desc.inputs, description.inputs);
    desc.program.kind = ProgramKind::Graphics;
    programDescCopy(program.desc, desc.program);
    return program.buildShaders();
}

ComputePass::ComputePass() {
    computePassDescInit(desc);
    programInit(program);
    program.desc.kind = ProgramKind::Compute;
}

bool ComputePass::configure(ComputePassDesc description) {
    programDescCopy(desc.program, description.program);
    desc.threadsX = description.threadsX;
    desc.threadsY = description.threadsY;
    desc.threadsZ = description.threadsZ;
    desc.activation = description.activation;
    desc.start = description.start;
    desc.end = description.end;
    growCopy(desc.outputs, description.outputs);
    growCopy(desc.inputs, description.inputs);
    desc.program.kind = ProgramKind::Compute;
    programDescCopy(program.desc, desc.program);
    return program.buildShaders();
}

}  // namespace Orrery::Gfx

namespace Orrery::Gfx {

void releasePass(DrawPass& pass) {
    pass.program.release();
    programDescFree(pass.program.desc);
    drawPassDescFree(pass.desc);
}

void releasePass(ComputePass& pass) {
    pass.program.release();
    programDescFree(pass.program.desc);
    computePassDescFree(pass.desc);
}

}  // namespace Orrery::Gfx
