#include <cstring>

#include "Orrery/gfx/GfxContext.h"
#include "Orrery/gfx/Resource.h"

namespace Orrery::Gfx {

namespace {

int32_t atLeastOne(int32_t v) { return v > 1 ? v : 1; }

ID3D11Resource* createTexture(const TextureDesc& desc, UINT mipCount, DXGI_FORMAT format) {
    ID3D11Device* device = gfxContext.device;
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

ID3D11UnorderedAccessView* createUav(ID3D11Resource* texture, const TextureDesc& desc, DXGI_FORMAT format) {
    if (!texture) return nullptr;
    D3D11_UNORDERED_ACCESS_VIEW_DESC d = {};
    d.Format = format;
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

ID3D11ShaderResourceView* createSrv(ID3D11Resource* texture, const TextureDesc& desc, DXGI_FORMAT format,
                                    UINT mipCount) {
    if (!texture) return nullptr;
    D3D11_SHADER_RESOURCE_VIEW_DESC d = {};
    d.Format = format;
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

ID3D11RenderTargetView* createRtv(ID3D11Resource* texture, DXGI_FORMAT format) {
    if (!texture) return nullptr;
    D3D11_RENDER_TARGET_VIEW_DESC d = {};
    d.Format = format;
    d.ViewDimension = D3D11_RTV_DIMENSION_TEXTURE2D;
    ID3D11RenderTargetView* view = nullptr;
    gfxContext.device->CreateRenderTargetView(texture, &d, &view);
    return view;
}

}  // namespace

bool TextureRuntime::init(const void* descriptor, bool doubleBufferedFlag) {
    if (descriptor) std::memcpy(&desc, descriptor, sizeof desc);
    doubleBuffered = doubleBufferedFlag;
    return create();
}

bool TextureRuntime::create() {
    if (!gfxContext.device) return true;
    const UINT mipCount = textureMipCount(desc);
    const DXGI_FORMAT format = DXGI_FORMAT(dxgiFormatOf(desc.format));
    textureA = createTexture(desc, mipCount, format);
    if (doubleBuffered) textureB = createTexture(desc, mipCount, format);

    if (isDepthFormat(desc.format)) {
        if (textureA) {
            D3D11_DEPTH_STENCIL_VIEW_DESC d = {};
            d.Format = format;
            d.ViewDimension = D3D11_DSV_DIMENSION_TEXTURE2D;
            gfxContext.device->CreateDepthStencilView(textureA, &d, &dsv);
        }
        return true;
    }

    uavA = createUav(textureA, desc, format);
    if (doubleBuffered) uavB = createUav(textureB, desc, format);
    srvA = createSrv(textureA, desc, format, mipCount);
    if (doubleBuffered) srvB = createSrv(textureB, desc, format, mipCount);
    if (desc.dimension == TextureDimension::Texture2D) {
        rtvA = createRtv(textureA, format);
        if (doubleBuffered) rtvB = createRtv(textureB, format);
    }
    return true;
}

bool TextureRuntime::release() {
    releaseAndClear(textureA);
    releaseAndClear(uavA);
    releaseAndClear(srvA);
    releaseAndClear(rtvA);
    releaseAndClear(dsv);
    releaseAndClear(textureB);
    releaseAndClear(uavB);
    releaseAndClear(srvB);
    releaseAndClear(rtvB);
    return true;
}

ID3D11Resource* TextureRuntime::getResource(bool previous) { return selectsCopyB(previous) ? textureB : textureA; }

ID3D11UnorderedAccessView* TextureRuntime::getUnorderedAccessView(bool previous) {
    return selectsCopyB(previous) ? uavB : uavA;
}

ID3D11ShaderResourceView* TextureRuntime::getShaderResourceView(bool previous) {
    return selectsCopyB(previous) ? srvB : srvA;
}

ID3D11RenderTargetView* TextureRuntime::getRenderTargetView(bool previous) {
    return selectsCopyB(previous) ? rtvB : rtvA;
}

ID3D11DepthStencilView* TextureRuntime::getDepthStencilView() { return dsv; }

void TextureRuntime::upload(const void* pixels, uint32_t width, uint32_t height, uint8_t bytesPerPixel) {
    // A texture whose creation failed has nothing to write into.
    if (!textureA || !pixels || !gfxContext.immediateContext) return;
    D3D11_BOX box = {0, 0, 0, width, height, 1};
    gfxContext.immediateContext->UpdateSubresource(textureA, 0, &box, pixels, width * bytesPerPixel, 0);
}

void TextureRuntime::generateMips() {
    if (!desc.mipmapped || !gfxContext.immediateContext) return;
    // Depth textures and failed creations have no shader-resource view.
    if (srvA) gfxContext.immediateContext->GenerateMips(srvA);
    if (srvB) gfxContext.immediateContext->GenerateMips(srvB);
}

}  // namespace Orrery::Gfx
