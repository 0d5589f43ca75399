// The fixed pipeline state of every draw, as Direct3D 11 descriptions.
#pragma once

#include <d3d11.h>

#include "Orrery/gfx/PassDesc.h"

namespace Orrery::Gfx {

D3D11_PRIMITIVE_TOPOLOGY topologyOf(int32_t topology);  // UNDEFINED outside 0..4
D3D11_SAMPLER_DESC samplerDescOf(uint32_t slot);        // slots 0..5
D3D11_RASTERIZER_DESC rasterizerDescOf(const DrawPassDesc& desc);
D3D11_BLEND_DESC blendDescOf(const DrawPassDesc& desc);

}  // namespace Orrery::Gfx
