#include "Orrery/gfx/Program.h"

#include "Orrery/gfx/GfxContext.h"

namespace Orrery::Gfx {

void programInit(Program& program) {
    programDescInit(program.desc);
    program.vertexShader = nullptr;
    program.pixelShader = nullptr;
    program.computeShader = nullptr;
}

bool Program::buildShaders() {
    if (!desc.computeBytecode && (!desc.vertexBytecode || !desc.pixelBytecode)) return true;
    ID3D11Device* device = gfxContext.device;
    if (!device) return true;
    // A missing blob cannot make a shader; it is not handed to the device.
    if (desc.kind == ProgramKind::Graphics) {
        if (desc.vertexBytecode)
            device->CreateVertexShader(desc.vertexBytecode, desc.vertexBytecodeSize, nullptr, &vertexShader);
        if (desc.pixelBytecode)
            device->CreatePixelShader(desc.pixelBytecode, desc.pixelBytecodeSize, nullptr, &pixelShader);
    } else if (desc.kind == ProgramKind::Compute) {
        if (desc.computeBytecode)
            device->CreateComputeShader(desc.computeBytecode, desc.computeBytecodeSize, nullptr, &computeShader);
    }
    return true;
}

}  // namespace Orrery::Gfx
