#include <cfloat>

#include "Orrery/gfx/Pass.h"

namespace Orrery::Gfx {

void drawPassDescInit(DrawPassDesc& desc) {
    programDescInit(desc.program);
    desc.clearColor[0] = 0.0f;
    desc.clearColor[1] = 0.0f;
    desc.clearColor[2] = 0.0f;
    desc.clearColor[3] = 1.0f;
    desc.clear = true;
    desc.useDepth = false;
    desc.cullBack = false;
    desc.blend = false;
    desc.blendMode = BlendMode::Additive;
    desc.topology = 3;
    desc.vertexCount = 3;
    desc.instanceCount = 1;
    desc.activation = ActivationMode::Always;
    desc.start = 0.0f;
    desc.end = 100000.0f;
    growInit(desc.targets);
    desc.depthTarget = nullptr;
    desc.enabledFlag = true;
    growInit(desc.inputs);
}

void drawPassDescFree(DrawPassDesc& desc) {
    programDescFree(desc.program);
    growFree(desc.targets);
    growFree(desc.inputs);
}

DrawPass::DrawPass() {
    drawPassDescInit(desc);
    programInit(program);
}

bool DrawPass::configure(DrawPassDesc description) {
    programDescCopy(desc.program, description.program);
    for (int i = 0; i < 4; ++i) desc.clearColor[i] = description.clearColor[i];
    desc.clear = description.clear;
    desc.useDepth = description.useDepth;
    desc.cullBack = description.cullBack;
    desc.blend = description.blend;
    desc.blendMode = description.blendMode;
    desc.topology = description.topology;
    desc.vertexCount = description.vertexCount;
    desc.instanceCount = description.instanceCount;
    desc.activation = description.activation;
    desc.start = description.start;
    desc.end = description.end;
    desc.depthTarget = description.depthTarget;
    desc.enabledFlag = description.enabledFlag;
    // Deep copies (growCopy: new storage of the source's capacity), so the
    // caller can free its description.
    growCopy(desc.targets, description.targets);
    growCopy(desc.inputs, description.inputs);
    desc.program.kind = ProgramKind::Graphics;
    programDescCopy(program.desc, desc.program);
    return program.buildShaders();
}

void computePassDescInit(ComputePassDesc& desc) {
    programDescInit(desc.program);
    desc.program.kind = ProgramKind::Compute;
    desc.threadsX = 1;
    desc.threadsY = 1;
    desc.threadsZ = 1;
    desc.activation = ActivationMode::Always;
    desc.start = 0.0f;
    desc.end = 100000.0f;
    growInit(desc.outputs);
    growInit(desc.inputs);
}

void computePassDescFree(ComputePassDesc& desc) {
    programDescFree(desc.program);
    growFree(desc.outputs);
    growFree(desc.inputs);
}

ComputePass::ComputePass() {
    computePassDescInit(desc);
    programInit(program);
    program.desc.kind = ProgramKind::Compute;
}

bool ComputePass::configure(ComputePassDesc description) {
    programDescCopy(desc.program, description.program);
    desc.threadsX = description.threadsX;
    desc.threadsY = description.threadsY;
    desc.threadsZ = description.threadsZ;
    desc.activation = description.activation;
    desc.start = description.start;
    desc.end = description.end;
    growCopy(desc.outputs, description.outputs);
    growCopy(desc.inputs, description.inputs);
    desc.program.kind = ProgramKind::Compute;
    programDescCopy(program.desc, desc.program);
    return program.buildShaders();
}

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
