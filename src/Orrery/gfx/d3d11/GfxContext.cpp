// The Direct3D 11 device and the six samplers bound for the whole run.
#include "Orrery/gfx/Backend.h"
#include "PipelineState.h"

namespace Orrery::Gfx {

bool backendReady() { return gfxContext.device != nullptr; }

void backendInitContext(const ContextDesc& desc) {
    gfxContext.device = desc.device;
    gfxContext.immediateContext = desc.immediateContext;
    if (!desc.device || !desc.immediateContext) return;

    // The samplers stay bound for the whole run: nothing rebinds slots 0..5,
    // so the bindings hold the only references the runtime needs.
    ID3D11SamplerState* samplers[kSamplerCount] = {};
    for (uint32_t slot = 0; slot < kSamplerCount; ++slot) {
        D3D11_SAMPLER_DESC d = samplerDescOf(slot);
        desc.device->CreateSamplerState(&d, &samplers[slot]);
    }
    desc.immediateContext->VSSetSamplers(0, kSamplerCount, samplers);
    desc.immediateContext->PSSetSamplers(0, kSamplerCount, samplers);
    desc.immediateContext->CSSetSamplers(0, kSamplerCount, samplers);
}

}  // namespace Orrery::Gfx
