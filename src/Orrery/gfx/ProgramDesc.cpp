#include "Orrery/gfx/ProgramDesc.h"

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

}  // namespace Orrery::Gfx
