#include "app/windows/CaptureTarget.h"

#include <cstring>

HRESULT createCaptureTarget(CaptureTarget& target, ID3D11Device* device, uint32_t width, uint32_t height) {
    target = {};
    target.width = width;
    target.height = height;

    // The swap chain's format, so the picture is the one the screen gets.
    D3D11_TEXTURE2D_DESC desc = {};
    desc.Width = width;
    desc.Height = height;
    desc.MipLevels = 1;
    desc.ArraySize = 1;
    desc.Format = DXGI_FORMAT_R8G8B8A8_UNORM;
    desc.SampleDesc.Count = 1;
    desc.Usage = D3D11_USAGE_DEFAULT;
    desc.BindFlags = D3D11_BIND_RENDER_TARGET;
    HRESULT hr = device->CreateTexture2D(&desc, nullptr, &target.texture);
    if (FAILED(hr)) return hr;
    hr = device->CreateRenderTargetView(target.texture, nullptr, &target.view);
    if (FAILED(hr)) return hr;

    desc.Usage = D3D11_USAGE_STAGING;
    desc.BindFlags = 0;
    desc.CPUAccessFlags = D3D11_CPU_ACCESS_READ;
    return device->CreateTexture2D(&desc, nullptr, &target.staging);
}

HRESULT readCaptureFrame(CaptureTarget& target, ID3D11DeviceContext* context, uint8_t* rgba) {
    context->CopyResource(target.staging, target.texture);
    D3D11_MAPPED_SUBRESOURCE mapped = {};
    const HRESULT hr = context->Map(target.staging, 0, D3D11_MAP_READ, 0, &mapped);
    if (FAILED(hr)) return hr;
    const size_t rowBytes = size_t(target.width) * 4;
    const uint8_t* source = static_cast<const uint8_t*>(mapped.pData);
    for (uint32_t y = 0; y < target.height; ++y) memcpy(rgba + y * rowBytes, source + size_t(y) * mapped.RowPitch, rowBytes);
    context->Unmap(target.staging, 0);
    return S_OK;
}
