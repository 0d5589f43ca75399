// Direct3D 11 buffers, their views, and writing the frame constants.
#include "Orrery/gfx/Backend.h"

namespace Orrery::Gfx {

BufferHandle backendCreateBuffer(const BufferDesc& desc, bool withInitialData) {
    D3D11_BUFFER_DESC d = {};
    d.ByteWidth = bufferByteWidth(desc);
    d.Usage = D3D11_USAGE_DEFAULT;
    d.BindFlags = desc.constant ? D3D11_BIND_CONSTANT_BUFFER : (D3D11_BIND_SHADER_RESOURCE | D3D11_BIND_UNORDERED_ACCESS);
    d.CPUAccessFlags = 0;
    d.MiscFlags = desc.constant ? 0 : D3D11_RESOURCE_MISC_BUFFER_STRUCTURED;
    d.StructureByteStride = UINT(desc.stride);
    D3D11_SUBRESOURCE_DATA initial = {desc.initialData, 0, 0};
    ID3D11Buffer* buffer = nullptr;
    gfxContext.device->CreateBuffer(&d, withInitialData && desc.initialData ? &initial : nullptr, &buffer);
    return buffer;
}

void backendCreateBufferViews(BufferHandle buffer, uint32_t elements, SrvHandle& srv, UavHandle& uav) {
    D3D11_SHADER_RESOURCE_VIEW_DESC s = {};
    s.Format = DXGI_FORMAT_UNKNOWN;
    s.ViewDimension = D3D11_SRV_DIMENSION_BUFFER;
    s.Buffer.FirstElement = 0;
    s.Buffer.NumElements = elements;
    gfxContext.device->CreateShaderResourceView(buffer, &s, &srv);

    D3D11_UNORDERED_ACCESS_VIEW_DESC u = {};
    u.Format = DXGI_FORMAT_UNKNOWN;
    u.ViewDimension = D3D11_UAV_DIMENSION_BUFFER;
    u.Buffer.FirstElement = 0;
    u.Buffer.NumElements = elements;
    u.Buffer.Flags = 0;
    gfxContext.device->CreateUnorderedAccessView(buffer, &u, &uav);
}

void backendReleaseBuffer(BufferRuntime& b) {
    ID3D11DeviceChild* const objects[6] = {b.bufferA, b.bufferB, b.uavA, b.srvA, b.uavB, b.srvB};
    for (ID3D11DeviceChild* object : objects)
        if (object) object->Release();
}

void backendWriteBuffer(BufferHandle buffer, const void* data, uint32_t) {
    gfxContext.immediateContext->UpdateSubresource(buffer, 0, nullptr, data, 0, 0);
}

}  // namespace Orrery::Gfx
