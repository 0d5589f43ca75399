#include <cfloat>

#include "Orrery/gfx/Pass.h"

namespace Orrery::Gfx {

D3D11_PRIMITIVE_TOPOLOGY topologyOf(int32_t topology) {
    static const D3D11_PRIMITIVE_TOPOLOGY kTopologies[5] = {
        D3D11_PRIMITIVE_TOPOLOGY_POINTLIST,     D3D11_PRIMITIVE_TOPOLOGY_LINELIST,
        D3D11_PRIMITIVE_TOPOLOGY_LINESTRIP,     D3D11_PRIMITIVE_TOPOLOGY_TRIANGLELIST,
        D3D11_PRIMITIVE_TOPOLOGY_TRIANGLESTRIP,
    };
    if (topology < 0 || topology > 4) return D3D11_PRIMITIVE_TOPOLOGY_UNDEFINED;
    return kTopologies[topology];
}

D3D11_SAMPLER_DESC samplerDescOf(uint32_t slot) {
    static const D3D11_TEXTURE_ADDRESS_MODE kAddress[3] = {
        D3D11_TEXTURE_ADDRESS_CLAMP, D3D11_TEXTURE_ADDRESS_BORDER, D3D11_TEXTURE_ADDRESS_WRAP};
    D3D11_SAMPLER_DESC d = {};
    d.Filter = slot < 3 ? D3D11_FILTER_MIN_MAG_MIP_LINEAR : D3D11_FILTER_MIN_MAG_MIP_POINT;
    d.AddressU = d.AddressV = d.AddressW = kAddress[slot % 3];
    d.MipLODBias = 0.0f;
    d.MaxAnisotropy = 1;
    d.ComparisonFunc = D3D11_COMPARISON_NEVER;
    d.BorderColor[0] = d.BorderColor[1] = d.BorderColor[2] = d.BorderColor[3] = 0.0f;
    d.MinLOD = -FLT_MAX;
    d.MaxLOD = FLT_MAX;
    return d;
}

D3D11_RASTERIZER_DESC rasterizerDescOf(const DrawPassDesc& desc) {
    D3D11_RASTERIZER_DESC d = {};
    d.FillMode = D3D11_FILL_SOLID;
    d.CullMode = desc.cullBack ? D3D11_CULL_BACK : D3D11_CULL_NONE;
    d.FrontCounterClockwise = FALSE;
    d.DepthBias = 0;
    d.DepthBiasClamp = 0.0f;
    d.SlopeScaledDepthBias = 0.0f;
    d.DepthClipEnable = TRUE;
    d.ScissorEnable = FALSE;
    d.MultisampleEnable = FALSE;
    d.AntialiasedLineEnable = FALSE;
    return d;
}

D3D11_BLEND_DESC blendDescOf(const DrawPassDesc& desc) {
    struct Factors {
        D3D11_BLEND src, dst, srcAlpha, dstAlpha;
    };
    static const Factors kModes[4] = {
        {D3D11_BLEND_ONE, D3D11_BLEND_ONE, D3D11_BLEND_ONE, D3D11_BLEND_ONE},
        {D3D11_BLEND_SRC_ALPHA, D3D11_BLEND_INV_SRC_ALPHA, D3D11_BLEND_INV_DEST_ALPHA, D3D11_BLEND_ONE},
        {D3D11_BLEND_SRC_ALPHA, D3D11_BLEND_INV_SRC_ALPHA, D3D11_BLEND_ONE, D3D11_BLEND_ZERO},
        {D3D11_BLEND_ZERO, D3D11_BLEND_INV_SRC_COLOR, D3D11_BLEND_ZERO, D3D11_BLEND_INV_SRC_ALPHA},
    };
    // Modes outside the table take the additive factors.
    const Factors& f = (desc.blendMode >= 0 && desc.blendMode <= 3) ? kModes[desc.blendMode] : kModes[0];
    D3D11_BLEND_DESC d = {};
    d.AlphaToCoverageEnable = FALSE;
    d.IndependentBlendEnable = FALSE;
    D3D11_RENDER_TARGET_BLEND_DESC& rt = d.RenderTarget[0];
    rt.BlendEnable = desc.blend ? TRUE : FALSE;
    rt.SrcBlend = f.src;
    rt.DestBlend = f.dst;
    rt.BlendOp = D3D11_BLEND_OP_ADD;
    rt.SrcBlendAlpha = f.srcAlpha;
    rt.DestBlendAlpha = f.dstAlpha;
    rt.BlendOpAlpha = D3D11_BLEND_OP_ADD;
    rt.RenderTargetWriteMask = D3D11_COLOR_WRITE_ENABLE_ALL;
    return d;
}

}  // namespace Orrery::Gfx
