// A real Direct3D 11 device for the runtime under test, plus the few tools
// the tests need around it: shaders compiled at test time, pixel readback.
#pragma once

#include <d3d11.h>

#include <cstdint>
#include <string>
#include <vector>

#include "Orrery/gfx/GfxContext.h"

namespace GfxTest {

// Creates a hardware device at feature level 11_0 and hands it to
// initContext with an all-zero block. Returns false when no device exists.
bool startRuntime();

// Compiles HLSL with the system compiler; empty on failure (the message is
// left in `errors`).
std::vector<uint8_t> compile(const std::string& source, const char* entry, const char* profile,
                             std::string* errors = nullptr);

// Copies mip 0 of a 2D texture into CPU memory, `bytesPerPixel` per texel,
// rows tightly packed.
std::vector<uint8_t> readTexture2D(ID3D11Resource* texture, uint32_t bytesPerPixel);
// The contents of a buffer.
std::vector<uint8_t> readBuffer(ID3D11Buffer* buffer);

D3D11_TEXTURE2D_DESC describe2D(ID3D11Resource* texture);

// A ContextBuffer with the given time and frame, everything else zero.
ContextBuffer blockAt(float time, uint32_t frame);

// A full-screen triangle from SV_VertexID, written for the system compiler's
// limits (no conditionals, no user functions).
extern const char* const kFullScreenVS;

}  // namespace GfxTest
