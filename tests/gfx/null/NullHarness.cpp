// The null back end for the contract tests: its live set is exact.
#include "BackendHarness.h"

using namespace Orrery::Gfx;

bool harnessReady(const char**) {
    if (!gfxContext.ready) {
        ContextDesc desc = {};
        growStringInit(desc.name);
        initContext(desc);
        growFree(desc.name);
    }
    return gfxContext.ready;
}

void harnessProgram(ProgramDesc& desc) {
    static const char kCode[] = "any bytes";
    desc.vertexBytecode = desc.pixelBytecode = kCode;
    desc.vertexBytecodeSize = desc.pixelBytecodeSize = sizeof kCode;
}

uint32_t harnessLiveObjects() { return nullLiveObjects(); }

// A number the null device never handed out: releasing it would count as a
// bad release.
RtvHandle harnessOutsideTarget() { return 0x7fffffffu; }
bool harnessOutsideTargetAlive(RtvHandle) { return nullBadReleases() == 0; }
