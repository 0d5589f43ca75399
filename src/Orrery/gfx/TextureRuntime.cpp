// Textures: creation order, double-buffer bookkeeping and getters, the same
// on every back end.
#include <cstring>

#include "Orrery/gfx/Backend.h"

namespace Orrery::Gfx {

bool TextureRuntime::init(const void* descriptor, bool doubleBufferedFlag) {
    if (descriptor) std::memcpy(&desc, descriptor, sizeof desc);
    doubleBuffered = doubleBufferedFlag;
    return create();
}

bool TextureRuntime::create() {
    if (!backendReady()) return true;
    const uint32_t mipCount = textureMipCount(desc);
    textureA = backendCreateTexture(desc, mipCount);
    if (doubleBuffered) textureB = backendCreateTexture(desc, mipCount);

    // A depth texture has only its depth view; a second copy has none at all.
    if (isDepthFormat(desc.format)) {
        if (textureA) dsv = backendCreateDepthView(textureA, desc);
        return true;
    }
    if (textureA) uavA = backendCreateUav(textureA, desc);
    if (doubleBuffered && textureB) uavB = backendCreateUav(textureB, desc);
    if (textureA) srvA = backendCreateSrv(textureA, desc, mipCount);
    if (doubleBuffered && textureB) srvB = backendCreateSrv(textureB, desc, mipCount);
    if (desc.dimension == TextureDimension::Texture2D) {
        if (textureA) rtvA = backendCreateRtv(textureA, desc);
        if (doubleBuffered && textureB) rtvB = backendCreateRtv(textureB, desc);
    }
    return true;
}

bool TextureRuntime::release() {
    backendReleaseTexture(*this);
    textureA = textureB = {};
    uavA = uavB = {};
    srvA = srvB = {};
    rtvA = rtvB = {};
    dsv = {};
    return true;
}

ResourceHandle TextureRuntime::getResource(bool previous) { return selectsCopyB(previous) ? textureB : textureA; }
UavHandle TextureRuntime::getUnorderedAccessView(bool previous) { return selectsCopyB(previous) ? uavB : uavA; }
SrvHandle TextureRuntime::getShaderResourceView(bool previous) { return selectsCopyB(previous) ? srvB : srvA; }
RtvHandle TextureRuntime::getRenderTargetView(bool previous) { return selectsCopyB(previous) ? rtvB : rtvA; }
DsvHandle TextureRuntime::getDepthStencilView() { return dsv; }

void TextureRuntime::upload(const void* pixels, uint32_t width, uint32_t height, uint8_t bytesPerPixel) {
    // A texture whose creation failed has nothing to write into.
    if (!textureA || !pixels) return;
    backendUpload(*this, pixels, width, height, bytesPerPixel);
}

void TextureRuntime::generateMips() {
    // Depth textures and failed creations have no shader-resource view.
    if (!desc.mipmapped || isDepthFormat(desc.format)) return;
    if (srvA) backendGenerateMips(srvA, desc);
    if (srvB) backendGenerateMips(srvB, desc);
}

}  // namespace Orrery::Gfx
