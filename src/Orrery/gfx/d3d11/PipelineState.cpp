// The shared pipeline tables in Direct3D 11 terms.
#include "PipelineState.h"

#include <cfloat>

#include "Orrery/gfx/PipelineTables.h"

namespace Orrery::Gfx {

namespace {

D3D11_BLEND d3dBlend(int32_t factor) {
    static const D3D11_BLEND kFactors[6] = {D3D11_BLEND_ZERO,          D3D11_BLEND_ONE,
                                            D3D11_BLEND_SRC_ALPHA,     D3D11_BLEND_INV_SRC_ALPHA,
                                            D3D11_BLEND_INV_DEST_ALPHA, D3D11_BLEND_INV_SRC_COLOR};
    return kFactors[factor];
}

}  // namespace

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
    const SamplerState s = samplerStateOf(slot);
    D3D11_SAMPLER_DESC d = {};
    d.Filter = s.linear ? D3D11_FILTER_MIN_MAG_MIP_LINEAR : D3D11_FILTER_MIN_MAG_MIP_POINT;
    d.AddressU = d.AddressV = d.AddressW = kAddress[s.address];
    d.MaxAnisotropy = 1;
    d.ComparisonFunc = D3D11_COMPARISON_NEVER;
    d.MinLOD = -FLT_MAX;
    d.MaxLOD = FLT_MAX;
    return d;
}

D3D11_RASTERIZER_DESC rasterizerDescOf(const DrawPassDesc& desc) {
    D3D11_RASTERIZER_DESC d = {};
    d.FillMode = D3D11_FILL_SOLID;
    d.CullMode = desc.cullBack ? D3D11_CULL_BACK : D3D11_CULL_NONE;
    d.DepthClipEnable = TRUE;
    return d;
}

D3D11_BLEND_DESC blendDescOf(const DrawPassDesc& desc) {
    const BlendState b = blendStateOf(desc);
    D3D11_BLEND_DESC d = {};
    D3D11_RENDER_TARGET_BLEND_DESC& rt = d.RenderTarget[0];
    rt.BlendEnable = b.enabled ? TRUE : FALSE;
    rt.SrcBlend = d3dBlend(b.src);
    rt.DestBlend = d3dBlend(b.dst);
    rt.BlendOp = D3D11_BLEND_OP_ADD;
    rt.SrcBlendAlpha = d3dBlend(b.srcAlpha);
    rt.DestBlendAlpha = d3dBlend(b.dstAlpha);
    rt.BlendOpAlpha = D3D11_BLEND_OP_ADD;
    rt.RenderTargetWriteMask = D3D11_COLOR_WRITE_ENABLE_ALL;
    return d;
}

}  // namespace Orrery::Gfx
