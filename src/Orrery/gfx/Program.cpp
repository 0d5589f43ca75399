#include "Orrery/gfx/Program.h"

#include "Orrery/gfx/GfxContext.h"

namespace Orrery::Gfx {

void programDescInit(ProgramDesc& desc) {
    desc.kind = ProgramKind::Graphics;
    growStringInit(desc.vertexEntry, "vertex_main");
    growStringInit(desc.pixelEntry, "pixel_main");
    growStringInit(desc.computeEntry, "kernel_main");
    growStringInit(desc.extraEntry, "");
    desc.vertexBytecode = nullptr;
    desc.pixelBytecode = nullptr;
    desc.computeBytecode = nullptr;
    desc.vertexBytecodeSize = 0;
    desc.pixelBytecodeSize = 0;
    desc.computeBytecodeSize = 0;
}

void programDescFree(ProgramDesc& desc) {
    growFree(desc.vertexEntry);
    growFree(desc.pixelEntry);
    growFree(desc.computeEntry);
    growFree(desc.extraEntry);
}

void programDescCopy(ProgramDesc& dst, const ProgramDesc& src) {
    dst.kind = src.kind;
    growCopy(dst.vertexEntry, src.vertexEntry);
    growCopy(dst.pixelEntry, src.pixelEntry);
    growCopy(dst.computeEntry, src.computeEntry);
    growCopy(dst.extraEntry, src.extraEntry);
    dst.vertexBytecode = src.vertexBytecode;
    dst.pixelBytecode = src.pixelBytecode;
    dst.computeBytecode = src.computeBytecode;
    dst.vertexBytecodeSize = src.vertexBytecodeSize;
    dst.pixelBytecodeSize = src.pixelBytecodeSize;
    dst.computeBytecodeSize = src.computeBytecodeSize;
}

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
