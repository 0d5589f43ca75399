// Building and releasing programs, the same on every back end.
#include "Orrery/gfx/Backend.h"

namespace Orrery::Gfx {

void programInit(Program& program) {
    programDescInit(program.desc);
    program.vertexShader = {};
    program.pixelShader = {};
    program.computeShader = {};
    program.bindings = {};
}

bool Program::buildShaders() {
    if (!desc.computeBytecode && (!desc.vertexBytecode || !desc.pixelBytecode)) return true;
    if (!backendReady()) return true;
    release();
    backendBuildProgram(*this);
    return true;
}

void Program::release() {
    backendReleaseProgram(*this);
    vertexShader = {};
    pixelShader = {};
    computeShader = {};
    bindings = {};
}

}  // namespace Orrery::Gfx
