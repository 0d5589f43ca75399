#include <cstring>

#include "Orrery/gfx/GfxContext.h"
#include "Orrery/gfx/Resource.h"

namespace Orrery::Gfx {

namespace {

void createViews(ID3D11Buffer* buffer, UINT elements, ID3D11ShaderResourceView** srv,
                 ID3D11UnorderedAccessView** uav) {
    if (!buffer) return;
    D3D11_SHADER_RESOURCE_VIEW_DESC s = {};
    s.Format = DXGI_FORMAT_UNKNOWN;
    s.ViewDimension = D3D11_SRV_DIMENSION_BUFFER;
    s.Buffer.FirstElement = 0;
    s.Buffer.NumElements = elements;
    gfxContext.device->CreateShaderResourceView(buffer, &s, srv);

    D3D11_UNORDERED_ACCESS_VIEW_DESC u = {};
    u.Format = DXGI_FORMAT_UNKNOWN;
    u.ViewDimension = D3D11_UAV_DIMENSION_BUFFER;
    u.Buffer.FirstElement = 0;
    u.Buffer.NumElements = elements;
    u.Buffer.Flags = 0;
    gfxContext.device->CreateUnorderedAccessView(buffer, &u, uav);
}

}  // namespace

bool BufferRuntime::init(const void* descriptor, bool doubleBufferedFlag) {
    if (descriptor) std::memcpy(&desc, descriptor, sizeof desc);
    doubleBuffered = doubleBufferedFlag;
    return create();
}

bool BufferRuntime::create() {
    if (!gfxContext.device) return true;
    const UINT elements = bufferElementCount(desc);
    D3D11_BUFFER_DESC d = {};
    d.ByteWidth = bufferByteWidth(desc);
    d.Usage = D3D11_USAGE_DEFAULT;
    d.BindFlags = desc.constant ? D3D11_BIND_CONSTANT_BUFFER : (D3D11_BIND_SHADER_RESOURCE | D3D11_BIND_UNORDERED_ACCESS);
    d.CPUAccessFlags = 0;
    d.MiscFlags = desc.constant ? 0 : D3D11_RESOURCE_MISC_BUFFER_STRUCTURED;
    d.StructureByteStride = UINT(desc.stride);

    D3D11_SUBRESOURCE_DATA initial = {desc.initialData, 0, 0};
    gfxContext.device->CreateBuffer(&d, desc.initialData ? &initial : nullptr, &bufferA);
    if (desc.constant) return true;

    createViews(bufferA, elements, &srvA, &uavA);
    if (doubleBuffered) {
        gfxContext.device->CreateBuffer(&d, nullptr, &bufferB);
        createViews(bufferB, elements, &srvB, &uavB);
    }
    return true;
}

bool BufferRuntime::release() {
    releaseAndClear(bufferA);
    releaseAndClear(bufferB);
    releaseAndClear(uavA);
    releaseAndClear(srvA);
    releaseAndClear(uavB);
    releaseAndClear(srvB);
    return true;
}

ID3D11Resource* BufferRuntime::getResource(bool previous) { return selectsCopyB(previous) ? bufferB : bufferA; }

ID3D11UnorderedAccessView* BufferRuntime::getUnorderedAccessView(bool previous) {
    return selectsCopyB(previous) ? uavB : uavA;
}

ID3D11ShaderResourceView* BufferRuntime::getShaderResourceView(bool previous) {
    return selectsCopyB(previous) ? srvB : srvA;
}

ID3D11RenderTargetView* BufferRuntime::getRenderTargetView(bool) { return nullptr; }

ID3D11DepthStencilView* BufferRuntime::getDepthStencilView() { return nullptr; }

}  // namespace Orrery::Gfx
