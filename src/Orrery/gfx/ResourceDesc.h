// Plain descriptors that GPU resources are built from, and the arithmetic
// that turns them into Direct3D creation parameters without needing Direct3D.
#pragma once

#include <cstdint>

namespace Orrery::Gfx {

namespace TextureDimension {
enum Value : int32_t { Texture1D = 0, Texture2D = 1, Texture3D = 2 };
}

namespace FormatCode {
enum Value : int32_t {
    R32Float = 0,
    R8G8B8A8Unorm = 1,
    B8G8R8A8Unorm = 2,
    R16G16B16A16Float = 3,
    R32G32B32A32Float = 4,
    D24UnormS8Uint = 5,  // depth
    D32Float = 6,        // depth
    R32Uint = 7,
};
}

struct TextureDesc {
    int32_t dimension = TextureDimension::Texture2D;
    int32_t width = 2;
    int32_t height = 2;   // ignored for 1D
    int32_t depth = 0;    // 3D only
    bool fixedSize = false;  // carried for the producers; nothing reads it
    float sizeScale = 1.0f;  // carried for the producers; nothing reads it
    bool mipmapped = false;
    int32_t format = FormatCode::R16G16B16A16Float;
    int32_t reserved0 = 1;  // carried for the producers; nothing reads it
    int32_t reserved1 = 1;  // carried for the producers; nothing reads it
};

constexpr uint32_t kImagePathSize = 4096;

struct ImageDesc {
    char path[kImagePathSize] = {};  // zero-terminated file path
    const uint8_t* data = nullptr;   // encoded image in memory; wins over `path`
    int32_t size = 0;                // bytes at `data`
};

struct BufferDesc {
    bool constant = false;  // constant buffer (no views, no second copy)
    int32_t stride = 4;     // bytes per element; a constant buffer's whole size
    int32_t countX = 1;
    int32_t countY = 1;
    int32_t countZ = 1;
    const void* initialData = nullptr;  // contents of copy A, or null
};

// A 2D texture of one level with the given size and format, the fields that
// nothing reads at their usual values.
TextureDesc texture2DDesc(int32_t width, int32_t height, int32_t format, bool fixedSize);

bool isDepthFormat(int32_t format);

// The DXGI_FORMAT value of a format code; 0 (DXGI_FORMAT_UNKNOWN) for codes
// outside 0..7.
uint32_t dxgiFormatOf(int32_t format);

// floor(log2(largest used extent)) + 1 for a mipmapped colour texture, else 1.
uint32_t textureMipCount(const TextureDesc& desc);

// Elements of a buffer: countZ * countY * countX (0 when any count is negative).
uint32_t bufferElementCount(const BufferDesc& desc);

// The buffer's byte size rounded up to a multiple of 16, in single precision.
uint32_t bufferByteWidth(const BufferDesc& desc);

}  // namespace Orrery::Gfx
