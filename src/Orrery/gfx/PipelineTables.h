// What each blend mode and sampler slot means, in API-neutral terms. Each back
// end only translates these values into its own enums.
#pragma once

#include <cstdint>

#include "Orrery/gfx/PassDesc.h"

namespace Orrery::Gfx {

namespace BlendFactor {
enum Value : int32_t { Zero, One, SrcAlpha, InvSrcAlpha, InvDestAlpha, InvSrcColor };
}

// Render target 0's blending; the operation is an addition for colour and
// alpha in every mode, and all four channels are written.
struct BlendState {
    bool enabled;
    int32_t src, dst, srcAlpha, dstAlpha;  // BlendFactor
};

// The factors of `blendMode` (modes outside 0..3 take the additive ones),
// enabled when `blend` is set. A disabled state still carries its factors.
BlendState blendStateOf(const DrawPassDesc& desc);

namespace SamplerAddress {
enum Value : int32_t { Clamp, Border, Wrap };  // the same on every axis
}

// Slots 0..2 filter linearly (min, mag and mip), 3..5 take the nearest texel;
// within each half the address modes are clamp, border (0, 0, 0, 0), wrap.
// All six allow every level of detail and compare nothing.
struct SamplerState {
    bool linear;
    int32_t address;  // SamplerAddress
};

SamplerState samplerStateOf(uint32_t slot);  // slot 0..5

}  // namespace Orrery::Gfx
