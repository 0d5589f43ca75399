// The capture's stand-in for the swap chain: an off-screen 8-bit RGBA target
// that the present pass draws into, and a staging copy to read it back.
#pragma once

#include <cstdint>

#include <d3d11.h>

struct CaptureTarget {
    uint32_t width;
    uint32_t height;
    ID3D11Texture2D* texture;
    ID3D11RenderTargetView* view;
    ID3D11Texture2D* staging;
};

// Returns the failing call's result, S_OK when all three objects exist.
HRESULT createCaptureTarget(CaptureTarget& target, ID3D11Device* device, uint32_t width, uint32_t height);

// Copies the finished frame into `rgba` (width * height * 4 bytes, rows
// packed, top row first). Waits for the frame to be drawn.
HRESULT readCaptureFrame(CaptureTarget& target, ID3D11DeviceContext* context, uint8_t* rgba);
