// Binding, drawing and dispatching on Direct3D 11.
#include <cstdlib>

#include "Orrery/gfx/Backend.h"
#include "PipelineState.h"

namespace Orrery::Gfx {

namespace {

constexpr uint32_t kFrameConstantsSlot = 8;
constexpr uint32_t kMaxBindings = D3D11_COMMONSHADER_INPUT_RESOURCE_SLOT_COUNT;  // 128

ID3D11RenderTargetView* targetView(const TargetRef& target) {
    return target.resource ? target.resource->getRenderTargetView(false) : nullptr;
}

}  // namespace

void backendDrawPass(const DrawPass& pass, ID3D11Buffer* constants, Viewport viewport) {
    const Program& program = pass.program;
    ID3D11DeviceContext* ctx = gfxContext.immediateContext;
    ID3D11Device* device = gfxContext.device;
    const DrawPassDesc& desc = pass.desc;

    if (viewport.set) {
        const D3D11_VIEWPORT v = {0.0f, 0.0f, viewport.width, viewport.height, 0.0f, 1.0f};
        ctx->RSSetViewports(1, &v);
    }

    const uint32_t targetCount =
        desc.targets.count < D3D11_SIMULTANEOUS_RENDER_TARGET_COUNT ? desc.targets.count
                                                                    : D3D11_SIMULTANEOUS_RENDER_TARGET_COUNT;
    auto** views = static_cast<ID3D11RenderTargetView**>(std::calloc(targetCount ? targetCount : 1, sizeof(void*)));
    if (!views) return;
    for (uint32_t j = 0; j < targetCount; ++j) {
        views[j] = targetView(desc.targets[j]);
        if (desc.clear && views[j]) ctx->ClearRenderTargetView(views[j], desc.clearColor);
    }

    ID3D11DepthStencilView* depth = nullptr;
    if (desc.useDepth && desc.depthTarget) {
        depth = desc.depthTarget->getDepthStencilView();
        if (desc.clear && depth) ctx->ClearDepthStencilView(depth, D3D11_CLEAR_DEPTH, 1.0f, 0);
    }
    ctx->OMSetRenderTargets(targetCount, views, depth);

    D3D11_RASTERIZER_DESC rasterizerDesc = rasterizerDescOf(desc);
    ID3D11RasterizerState* rasterizer = nullptr;
    device->CreateRasterizerState(&rasterizerDesc, &rasterizer);
    ctx->RSSetState(rasterizer);

    ctx->IASetPrimitiveTopology(topologyOf(desc.topology));

    D3D11_BLEND_DESC blendDesc = blendDescOf(desc);
    ID3D11BlendState* blend = nullptr;
    device->CreateBlendState(&blendDesc, &blend);
    ctx->OMSetBlendState(blend, nullptr, 0xFFFFFFFFu);

    ctx->VSSetConstantBuffers(kFrameConstantsSlot, 1, &constants);
    ctx->PSSetConstantBuffers(kFrameConstantsSlot, 1, &constants);

    const uint32_t inputCount = desc.inputs.count < kMaxBindings ? desc.inputs.count : kMaxBindings;
    for (uint32_t i = 0; i < inputCount; ++i) {
        Resource* input = desc.inputs[i].resource;
        if (!input) continue;
        ID3D11ShaderResourceView* view = input->getShaderResourceView(true);
        ctx->VSSetShaderResources(i, 1, &view);
        ctx->PSSetShaderResources(i, 1, &view);
    }

    ctx->VSSetShader(program.vertexShader, nullptr, 0);
    ctx->PSSetShader(program.pixelShader, nullptr, 0);
    ctx->DrawInstanced(desc.vertexCount, desc.instanceCount, 0, 0);

    ID3D11ShaderResourceView* nullView = nullptr;
    for (uint32_t i = 0; i < inputCount; ++i) {
        ctx->VSSetShaderResources(i, 1, &nullView);
        ctx->PSSetShaderResources(i, 1, &nullView);
    }
    for (uint32_t j = 0; j < targetCount; ++j) views[j] = nullptr;
    ctx->OMSetRenderTargets(targetCount, views, nullptr);
    ctx->VSSetShader(nullptr, nullptr, 0);
    ctx->PSSetShader(nullptr, nullptr, 0);

    if (rasterizer) rasterizer->Release();
    if (blend) blend->Release();
    std::free(views);
}

void backendComputePass(const ComputePass& pass, ID3D11Buffer* constants) {
    const Program& program = pass.program;
    ID3D11DeviceContext* ctx = gfxContext.immediateContext;
    const ComputePassDesc& desc = pass.desc;
    ctx->CSSetConstantBuffers(kFrameConstantsSlot, 1, &constants);

    const uint32_t inputCount = desc.inputs.count < kMaxBindings ? desc.inputs.count : kMaxBindings;
    for (uint32_t i = 0; i < inputCount; ++i) {
        Resource* input = desc.inputs[i].resource;
        if (!input) continue;
        ID3D11ShaderResourceView* view = input->getShaderResourceView(true);
        ctx->CSSetShaderResources(i, 1, &view);
    }
    // Outputs follow the inputs in the unordered-access slots.
    const uint32_t uavSlots = D3D11_1_UAV_SLOT_COUNT;
    uint32_t outputCount = desc.outputs.count;
    if (inputCount >= uavSlots) outputCount = 0;
    else if (outputCount > uavSlots - inputCount) outputCount = uavSlots - inputCount;
    for (uint32_t j = 0; j < outputCount; ++j) {
        Resource* output = desc.outputs[j].resource;
        if (!output) continue;
        ID3D11UnorderedAccessView* view = output->getUnorderedAccessView(false);
        ctx->CSSetUnorderedAccessViews(inputCount + j, 1, &view, nullptr);
    }

    ctx->CSSetShader(program.computeShader, nullptr, 0);
    ctx->Dispatch(dispatchGroupCount(desc.threadsX), dispatchGroupCount(desc.threadsY),
                  dispatchGroupCount(desc.threadsZ));

    ID3D11ShaderResourceView* nullView = nullptr;
    for (uint32_t i = 0; i < inputCount; ++i) ctx->CSSetShaderResources(i, 1, &nullView);
    ID3D11UnorderedAccessView* nullUav = nullptr;
    for (uint32_t j = 0; j < outputCount; ++j) ctx->CSSetUnorderedAccessViews(inputCount + j, 1, &nullUav, nullptr);
    ctx->CSSetShader(nullptr, nullptr, 0);
}

}  // namespace Orrery::Gfx
