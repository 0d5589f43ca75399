// Direct3D 11 shader objects from DXBC containers.
#include "Orrery/gfx/Backend.h"

namespace Orrery::Gfx {

void backendBuildProgram(Program& p) {
    ID3D11Device* device = gfxContext.device;
    const ProgramDesc& desc = p.desc;
    // A missing blob cannot make a shader; it is not handed to the device.
    if (desc.kind == ProgramKind::Graphics) {
        if (desc.vertexBytecode)
            device->CreateVertexShader(desc.vertexBytecode, desc.vertexBytecodeSize, nullptr, &p.vertexShader);
        if (desc.pixelBytecode)
            device->CreatePixelShader(desc.pixelBytecode, desc.pixelBytecodeSize, nullptr, &p.pixelShader);
    } else if (desc.kind == ProgramKind::Compute) {
        if (desc.computeBytecode)
            device->CreateComputeShader(desc.computeBytecode, desc.computeBytecodeSize, nullptr, &p.computeShader);
    }
}

void backendReleaseProgram(Program& p) {
    if (p.vertexShader) p.vertexShader->Release();
    if (p.pixelShader) p.pixelShader->Release();
    if (p.computeShader) p.computeShader->Release();
}

}  // namespace Orrery::Gfx
