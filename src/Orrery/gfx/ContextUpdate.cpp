// The per-frame block's way into the runtime, the same for every back end.
#include "Orrery/gfx/Backend.h"
#include "Orrery/gfx/Parameter.h"
#include "Orrery/gfx/Resource.h"
#include "app/ContextMath.h"

int32_t screenWidth = 0;
int32_t screenHeight = 0;

namespace Orrery::Gfx {

GfxContext gfxContext;

void Resource::update() {}

void initContext(ContextDesc desc) {
    gfxContext.contextData = desc.data;
    backendInitContext(desc);
}

void updateContext(ContextBuffer data) {
    deriveContext(gfxContext.contextData, data);
    gfxContext.frameConstantsDesc.constant = true;
    gfxContext.frameConstantsDesc.stride = int32_t(kContextBufferBytes);
    gfxContext.frameConstantsDesc.countX = 1;
}

}  // namespace Orrery::Gfx
