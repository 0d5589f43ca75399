#include "GfxTestDevice.h"

#include <d3dcompiler.h>

#include <cstring>

namespace GfxTest {

const char* const kFullScreenVS = R"(
float4 vertex_main(uint id : SV_VertexID) : SV_Position {
    float i = id;
    // Vertices 0, 1, 2 at (-1, 1), (3, 1), (-1, -3): one triangle over the target.
    float x = -1.0 + 8.0 * i - 4.0 * i * i;
    float y = 1.0 + 2.0 * i - 2.0 * i * i;
    return float4(x, y, 0.0, 1.0);
}
)";

bool startRuntime() {
    using namespace Orrery::Gfx;
    if (gfxContext.device) return true;
    ID3D11Device* device = nullptr;
    ID3D11DeviceContext* context = nullptr;
    D3D_FEATURE_LEVEL level = D3D_FEATURE_LEVEL_11_0;
    HRESULT hr = D3D11CreateDevice(nullptr, D3D_DRIVER_TYPE_HARDWARE, nullptr, 0, &level, 1, D3D11_SDK_VERSION,
                                   &device, nullptr, &context);
    if (FAILED(hr) || !device) return false;
    ContextDesc desc = {};
    growStringInit(desc.name, "");
    desc.device = device;
    desc.immediateContext = context;
    initContext(desc);
    growFree(desc.name);
    return true;
}

std::vector<uint8_t> compile(const std::string& source, const char* entry, const char* profile, std::string* errors) {
    ID3DBlob* code = nullptr;
    ID3DBlob* messages = nullptr;
    HRESULT hr = D3DCompile(source.data(), source.size(), "test.hlsl", nullptr, nullptr, entry, profile, 0, 0, &code,
                            &messages);
    std::vector<uint8_t> bytes;
    if (SUCCEEDED(hr) && code) {
        auto* p = static_cast<const uint8_t*>(code->GetBufferPointer());
        bytes.assign(p, p + code->GetBufferSize());
    }
    if (errors && messages) errors->assign(static_cast<const char*>(messages->GetBufferPointer()));
    if (code) code->Release();
    if (messages) messages->Release();
    return bytes;
}

D3D11_TEXTURE2D_DESC describe2D(ID3D11Resource* texture) {
    D3D11_TEXTURE2D_DESC d = {};
    ID3D11Texture2D* t = nullptr;
    if (texture && SUCCEEDED(texture->QueryInterface(__uuidof(ID3D11Texture2D), reinterpret_cast<void**>(&t)))) {
        t->GetDesc(&d);
        t->Release();
    }
    return d;
}

std::vector<uint8_t> readTexture2D(ID3D11Resource* texture, uint32_t bytesPerPixel) {
    using Orrery::Gfx::gfxContext;
    std::vector<uint8_t> pixels;
    D3D11_TEXTURE2D_DESC d = describe2D(texture);
    if (!d.Width) return pixels;
    d.MipLevels = 1;
    d.ArraySize = 1;
    d.Usage = D3D11_USAGE_STAGING;
    d.BindFlags = 0;
    d.CPUAccessFlags = D3D11_CPU_ACCESS_READ;
    d.MiscFlags = 0;
    ID3D11Texture2D* staging = nullptr;
    if (FAILED(gfxContext.device->CreateTexture2D(&d, nullptr, &staging))) return pixels;
    gfxContext.immediateContext->CopySubresourceRegion(staging, 0, 0, 0, 0, texture, 0, nullptr);
    D3D11_MAPPED_SUBRESOURCE mapped = {};
    if (SUCCEEDED(gfxContext.immediateContext->Map(staging, 0, D3D11_MAP_READ, 0, &mapped))) {
        const size_t row = size_t(d.Width) * bytesPerPixel;
        pixels.resize(row * d.Height);
        for (UINT y = 0; y < d.Height; ++y)
            std::memcpy(pixels.data() + y * row, static_cast<const uint8_t*>(mapped.pData) + y * mapped.RowPitch, row);
        gfxContext.immediateContext->Unmap(staging, 0);
    }
    staging->Release();
    return pixels;
}

std::vector<uint8_t> readBuffer(ID3D11Buffer* buffer) {
    using Orrery::Gfx::gfxContext;
    std::vector<uint8_t> bytes;
    if (!buffer) return bytes;
    D3D11_BUFFER_DESC d = {};
    buffer->GetDesc(&d);
    d.Usage = D3D11_USAGE_STAGING;
    d.BindFlags = 0;
    d.CPUAccessFlags = D3D11_CPU_ACCESS_READ;
    d.MiscFlags = 0;
    d.StructureByteStride = 0;
    ID3D11Buffer* staging = nullptr;
    if (FAILED(gfxContext.device->CreateBuffer(&d, nullptr, &staging))) return bytes;
    gfxContext.immediateContext->CopyResource(staging, buffer);
    D3D11_MAPPED_SUBRESOURCE mapped = {};
    if (SUCCEEDED(gfxContext.immediateContext->Map(staging, 0, D3D11_MAP_READ, 0, &mapped))) {
        auto* p = static_cast<const uint8_t*>(mapped.pData);
        bytes.assign(p, p + d.ByteWidth);
        gfxContext.immediateContext->Unmap(staging, 0);
    }
    staging->Release();
    return bytes;
}

ContextBuffer blockAt(float time, uint32_t frame) {
    ContextBuffer b;
    std::memset(&b, 0, sizeof b);
    b.time = time;
    b.frame = frame;
    return b;
}

}  // namespace GfxTest
