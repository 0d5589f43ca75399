#pragma once
// Test support for running compiled shader programs under Direct3D 11 (real
// Windows or Wine): one device, one full-screen triangle (3 vertices, no
// vertex buffer) into an offscreen target, pixels read back as float RGBA.
//
// Bindings match the show's runtime: the constant buffer at b8 of both stages,
// textures at t0, t1, ... of the pixel stage, and six samplers at s0..s5 of
// both stages: s0 linear clamp, s1 linear border, s2 linear wrap, s3 point
// clamp, s4 point border, s5 point wrap (border colour 0, 0, 0, 0; LOD range
// unlimited; anisotropy 1).
//
// Typical use:
//   OffscreenRenderer r;
//   std::string error;
//   if (!createRenderer(r, &error)) FAIL() << error;
//   DrawRequest req; req.vertexShader = ...; req.pixelShader = ...;
//   std::vector<float> pixels;  // width * height * 4, row 0 first
//   if (!renderOffscreen(r, req, pixels, &error)) FAIL() << error;
//   destroyRenderer(r);
#include <d3d11.h>

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

struct OffscreenRenderer {
  ID3D11Device* device = nullptr;
  ID3D11DeviceContext* context = nullptr;
  ID3D11SamplerState* samplers[6] = {};
};

// A texture input made from float RGBA data (width * height * 4 floats, row
// 0 first). Supported formats: DXGI_FORMAT_R32G32B32A32_FLOAT,
// DXGI_FORMAT_R16G16B16A16_FLOAT and DXGI_FORMAT_R8G8B8A8_UNORM (values are
// clamped to 0..1 and rounded to the nearest 255th). One mip level.
struct TextureInput {
  uint32_t width = 0;
  uint32_t height = 0;
  DXGI_FORMAT format = DXGI_FORMAT_R32G32B32A32_FLOAT;
  const float* rgba = nullptr;
};

struct DrawRequest {
  const void* vertexShader = nullptr;
  size_t vertexShaderSize = 0;
  const void* pixelShader = nullptr;
  size_t pixelShaderSize = 0;
  // Bound at t0, t1, ... in order. Null entries leave the slot empty.
  const TextureInput* textures = nullptr;
  uint32_t textureCount = 0;
  // Bound at b8 of both stages; the size is rounded up to 16 bytes (the
  // padding is zero). No buffer is bound when constantsSize is 0.
  const void* constants = nullptr;
  uint32_t constantsSize = 0;
  // Target: DXGI_FORMAT_R16G16B16A16_FLOAT, DXGI_FORMAT_R8G8B8A8_UNORM or
  // DXGI_FORMAT_R32G32B32A32_FLOAT.
  uint32_t width = 16;
  uint32_t height = 16;
  DXGI_FORMAT targetFormat = DXGI_FORMAT_R32G32B32A32_FLOAT;
  float clearColor[4] = {0, 0, 0, 1};
};

// Hardware driver, feature level 11_0. False (with a message) on failure.
bool createRenderer(OffscreenRenderer& renderer, std::string* error);
void destroyRenderer(OffscreenRenderer& renderer);

// Whether Direct3D accepts the blob as a vertex / pixel shader; on rejection
// the message carries the HRESULT.
bool acceptsVertexShader(OffscreenRenderer& renderer, const void* blob, size_t size,
                         std::string* error);
bool acceptsPixelShader(OffscreenRenderer& renderer, const void* blob, size_t size,
                        std::string* error);

// Clears the target, draws 3 vertices as a triangle list and reads the target
// back: `pixels` receives width * height * 4 floats, row 0 (the top) first.
bool renderOffscreen(OffscreenRenderer& renderer, const DrawRequest& request,
                     std::vector<float>& pixels, std::string* error);

// Index of pixel (x, y)'s red component in the read-back array.
inline size_t pixelIndex(const DrawRequest& request, uint32_t x, uint32_t y) {
  return (size_t(y) * request.width + x) * 4;
}

// IEEE half <-> float, for building and reading 16-bit float data.
uint16_t floatToHalf(float value);
float halfToFloat(uint16_t half);

// Reads a whole file (for blobs written by the build).
bool readBinaryFile(const std::string& path, std::vector<uint8_t>& bytes);
