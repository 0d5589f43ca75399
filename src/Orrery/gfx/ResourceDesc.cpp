#include "Orrery/gfx/ResourceDesc.h"

#include <cmath>

namespace Orrery::Gfx {

TextureDesc texture2DDesc(int32_t width, int32_t height, int32_t format, bool fixedSize) {
    TextureDesc desc;
    desc.dimension = TextureDimension::Texture2D;
    desc.width = width;
    desc.height = height;
    desc.depth = 0;
    desc.fixedSize = fixedSize;
    desc.sizeScale = 1.0f;
    desc.mipmapped = false;
    desc.format = format;
    desc.reserved0 = 1;
    desc.reserved1 = 1;
    return desc;
}

bool isDepthFormat(int32_t format) {
    return format == FormatCode::D24UnormS8Uint || format == FormatCode::D32Float;
}

uint32_t dxgiFormatOf(int32_t format) {
    static const uint32_t kDxgi[8] = {
        41,  // DXGI_FORMAT_R32_FLOAT
        28,  // DXGI_FORMAT_R8G8B8A8_UNORM
        87,  // DXGI_FORMAT_B8G8R8A8_UNORM
        10,  // DXGI_FORMAT_R16G16B16A16_FLOAT
        2,   // DXGI_FORMAT_R32G32B32A32_FLOAT
        45,  // DXGI_FORMAT_D24_UNORM_S8_UINT
        40,  // DXGI_FORMAT_D32_FLOAT
        42,  // DXGI_FORMAT_R32_UINT
    };
    if (format < 0 || format > 7) return 0;
    return kDxgi[format];
}

uint32_t textureMipCount(const TextureDesc& desc) {
    if (!desc.mipmapped || isDepthFormat(desc.format)) return 1;
    uint32_t size = static_cast<uint32_t>(desc.width);
    if (desc.dimension == TextureDimension::Texture2D || desc.dimension == TextureDimension::Texture3D) {
        uint32_t h = static_cast<uint32_t>(desc.height);
        if (h > size) size = h;
    }
    if (desc.dimension == TextureDimension::Texture3D) {
        uint32_t d = static_cast<uint32_t>(desc.depth);
        if (d > size) size = d;
    }
    uint32_t count = 1;
    while (size > 1) {
        size >>= 1;
        ++count;
    }
    return count;
}

uint32_t bufferElementCount(const BufferDesc& desc) {
    if (desc.countX < 0 || desc.countY < 0 || desc.countZ < 0) return 0;
    uint64_t n = uint64_t(desc.countZ) * uint64_t(desc.countY) * uint64_t(desc.countX);
    return n > 0xFFFFFFFFu ? 0xFFFFFFFFu : static_cast<uint32_t>(n);
}

uint32_t bufferByteWidth(const BufferDesc& desc) {
    if (desc.stride < 0) return 0;
    float bytes = static_cast<float>(bufferElementCount(desc)) * static_cast<float>(desc.stride);
    float rounded = std::ceil(bytes / 16.0f) * 16.0f;
    // Anything beyond 32 bits cannot be created anyway; keep the cast defined.
    if (!(rounded < 4294967296.0f)) return 0;
    return static_cast<uint32_t>(rounded);
}

}  // namespace Orrery::Gfx
