// Direct3D 11 textures and their views.
#include "Orrery/gfx/Backend.h"

namespace Orrery::Gfx {

namespace {

int32_t atLeastOne(int32_t v) { return v > 1 ? v : 1; }

DXGI_FORMAT formatOf(const TextureDesc& desc) { return DXGI_FORMAT(dxgiFormatOf(desc.format)); }

template <typename T>
void releaseObject(T* object) {
    if (object) object->Release();
}

}  // namespace

ResourceHandle backendCreateTexture(const TextureDesc& desc, uint32_t mipCount) {
    ID3D11Device* device = gfxContext.device;
    const DXGI_FORMAT format = formatOf(desc);
    const bool mips = mipCount > 1;
    // 1D and 3D textures can only be render targets for mip generation.
    UINT bindOneOrThree = D3D11_BIND_SHADER_RESOURCE | D3D11_BIND_UNORDERED_ACCESS | (mips ? D3D11_BIND_RENDER_TARGET : 0);
    UINT misc = mips ? D3D11_RESOURCE_MISC_GENERATE_MIPS : 0;
    switch (desc.dimension) {
    case TextureDimension::Texture1D: {
        D3D11_TEXTURE1D_DESC d = {};
        d.Width = UINT(atLeastOne(desc.width));
        d.MipLevels = mipCount;
        d.ArraySize = 1;
        d.Format = format;
        d.Usage = D3D11_USAGE_DEFAULT;
        d.BindFlags = bindOneOrThree;
        d.MiscFlags = misc;
        ID3D11Texture1D* t = nullptr;
        device->CreateTexture1D(&d, nullptr, &t);
        return t;
    }
    case TextureDimension::Texture2D: {
        D3D11_TEXTURE2D_DESC d = {};
        d.Width = UINT(atLeastOne(desc.width));
        d.Height = UINT(atLeastOne(desc.height));
        d.MipLevels = mipCount;
        d.ArraySize = 1;
        d.Format = format;
        d.SampleDesc.Count = 1;
        d.Usage = D3D11_USAGE_DEFAULT;
        d.BindFlags = isDepthFormat(desc.format)
                          ? D3D11_BIND_DEPTH_STENCIL
                          : D3D11_BIND_SHADER_RESOURCE | D3D11_BIND_RENDER_TARGET | D3D11_BIND_UNORDERED_ACCESS;
        d.MiscFlags = misc;
        ID3D11Texture2D* t = nullptr;
        device->CreateTexture2D(&d, nullptr, &t);
        return t;
    }
    case TextureDimension::Texture3D: {
        D3D11_TEXTURE3D_DESC d = {};
        d.Width = UINT(atLeastOne(desc.width));
        d.Height = UINT(atLeastOne(desc.height));
        d.Depth = UINT(atLeastOne(desc.depth));
        d.MipLevels = mipCount;
        d.Format = format;
        d.Usage = D3D11_USAGE_DEFAULT;
        d.BindFlags = bindOneOrThree;
        d.MiscFlags = misc;
        ID3D11Texture3D* t = nullptr;
        device->CreateTexture3D(&d, nullptr, &t);
        return t;
    }
    default:
        return nullptr;
    }
}

UavHandle backendCreateUav(ResourceHandle texture, const TextureDesc& desc) {
    D3D11_UNORDERED_ACCESS_VIEW_DESC d = {};
    d.Format = formatOf(desc);
    if (desc.dimension == TextureDimension::Texture1D) {
        d.ViewDimension = D3D11_UAV_DIMENSION_TEXTURE1D;
    } else if (desc.dimension == TextureDimension::Texture2D) {
        d.ViewDimension = D3D11_UAV_DIMENSION_TEXTURE2D;
    } else {
        d.ViewDimension = D3D11_UAV_DIMENSION_TEXTURE3D;
        d.Texture3D.FirstWSlice = 0;
        d.Texture3D.WSize = UINT(desc.depth);
    }
    ID3D11UnorderedAccessView* view = nullptr;
    gfxContext.device->CreateUnorderedAccessView(texture, &d, &view);
    return view;
}

SrvHandle backendCreateSrv(ResourceHandle texture, const TextureDesc& desc, uint32_t mipCount) {
    D3D11_SHADER_RESOURCE_VIEW_DESC d = {};
    d.Format = formatOf(desc);
    // MostDetailedMip and MipLevels sit at the same place for every dimension.
    if (desc.dimension == TextureDimension::Texture1D) {
        d.ViewDimension = D3D11_SRV_DIMENSION_TEXTURE1D;
        d.Texture1D.MipLevels = mipCount;
    } else if (desc.dimension == TextureDimension::Texture2D) {
        d.ViewDimension = D3D11_SRV_DIMENSION_TEXTURE2D;
        d.Texture2D.MipLevels = mipCount;
    } else {
        d.ViewDimension = D3D11_SRV_DIMENSION_TEXTURE3D;
        d.Texture3D.MipLevels = mipCount;
    }
    ID3D11ShaderResourceView* view = nullptr;
    gfxContext.device->CreateShaderResourceView(texture, &d, &view);
    return view;
}

RtvHandle backendCreateRtv(ResourceHandle texture, const TextureDesc& desc) {
    D3D11_RENDER_TARGET_VIEW_DESC d = {};
    d.Format = formatOf(desc);
    d.ViewDimension = D3D11_RTV_DIMENSION_TEXTURE2D;
    ID3D11RenderTargetView* view = nullptr;
    gfxContext.device->CreateRenderTargetView(texture, &d, &view);
    return view;
}


DsvHandle backendCreateDepthView(ResourceHandle texture, const TextureDesc& desc) {
    D3D11_DEPTH_STENCIL_VIEW_DESC d = {};
    d.Format = formatOf(desc);
    d.ViewDimension = D3D11_DSV_DIMENSION_TEXTURE2D;
    ID3D11DepthStencilView* view = nullptr;
    gfxContext.device->CreateDepthStencilView(texture, &d, &view);
    return view;
}

void backendReleaseTexture(TextureRuntime& t) {
    // An outside target in rtvA (the swap chain's back buffer) is not a view
    // of copy A and stays its owner's.
    bool ownTarget = false;
    if (t.rtvA) {
        ID3D11Resource* viewed = nullptr;
        t.rtvA->GetResource(&viewed);
        ownTarget = viewed && viewed == t.textureA;
        releaseObject(viewed);
    }
    releaseObject(t.textureA);
    releaseObject(t.uavA);
    releaseObject(t.srvA);
    if (ownTarget) releaseObject(t.rtvA);
    releaseObject(t.dsv);
    releaseObject(t.textureB);
    releaseObject(t.uavB);
    releaseObject(t.srvB);
    releaseObject(t.rtvB);
}

void backendUpload(TextureRuntime& t, const void* pixels, uint32_t width, uint32_t height, uint8_t bytesPerPixel) {
    if (!gfxContext.immediateContext) return;
    D3D11_BOX box = {0, 0, 0, width, height, 1};
    gfxContext.immediateContext->UpdateSubresource(t.textureA, 0, &box, pixels, width * bytesPerPixel, 0);
}

void backendGenerateMips(SrvHandle view, const TextureDesc&) {
    if (gfxContext.immediateContext) gfxContext.immediateContext->GenerateMips(view);
}

}  // namespace Orrery::Gfx
