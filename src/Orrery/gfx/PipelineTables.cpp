#include "Orrery/gfx/PipelineTables.h"

namespace Orrery::Gfx {

BlendState blendStateOf(const DrawPassDesc& desc) {
    using namespace BlendFactor;
    static const BlendState kModes[4] = {
        {false, One, One, One, One},                          // Additive
        {false, SrcAlpha, InvSrcAlpha, InvDestAlpha, One},    // AlphaOver
        {false, SrcAlpha, InvSrcAlpha, One, Zero},            // AlphaCopy
        {false, Zero, InvSrcColor, Zero, InvSrcAlpha},        // InverseMultiply
    };
    BlendState state = (desc.blendMode >= 0 && desc.blendMode <= 3) ? kModes[desc.blendMode] : kModes[0];
    state.enabled = desc.blend;
    return state;
}

SamplerState samplerStateOf(uint32_t slot) {
    static const int32_t kAddress[3] = {SamplerAddress::Clamp, SamplerAddress::Border, SamplerAddress::Wrap};
    return SamplerState{slot < 3, kAddress[slot % 3]};
}

}  // namespace Orrery::Gfx
