// Direct3D 11 objects behind the runtime's records.
#pragma once

#include <d3d11.h>

namespace Orrery::Gfx {

using ResourceHandle = ID3D11Resource*;  // textures: ID3D11Texture1D/2D/3D by dimension
using BufferHandle = ID3D11Buffer*;
using UavHandle = ID3D11UnorderedAccessView*;
using SrvHandle = ID3D11ShaderResourceView*;
using RtvHandle = ID3D11RenderTargetView*;
using DsvHandle = ID3D11DepthStencilView*;
using VertexShaderHandle = ID3D11VertexShader*;
using PixelShaderHandle = ID3D11PixelShader*;
using ComputeShaderHandle = ID3D11ComputeShader*;

// Shaders bind by register: nothing to learn from the code.
struct ProgramBindings {};

// The device from the window's set-up; the runtime keeps the same two.
struct DeviceDesc {
    ID3D11Device* device = nullptr;
    ID3D11DeviceContext* immediateContext = nullptr;
};
using DeviceState = DeviceDesc;

}  // namespace Orrery::Gfx
