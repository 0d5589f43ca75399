// The show's window, Direct3D 11 device and swap chain.
//
// One borderless window covering the primary screen, a hardware device, a
// flip-model swap chain shown through DirectComposition (or, where
// composition is not available, attached to the window directly) and one
// render-target view of back buffer 0 that serves every frame.
#pragma once

#include <windows.h>

#include <cstdint>

#include <d3d11.h>
#include <dxgi1_2.h>

struct AppWindow {
    bool quit;  // set by the frame driver on WM_QUIT or Escape
    ID3D11Device* device;
    ID3D11DeviceContext* immediateContext;
    IDXGISwapChain1* swapChain;
    ID3D11RenderTargetView* backBufferView;
    HWND window;
    WNDCLASSEXW windowClass;
};

// Which step of the set-up stopped it, for the start-up error message.
enum class PresentationFailure : int32_t {
    None = 0,
    Device = 1,     // D3D11CreateDevice
    SwapChain = 2,  // neither a composition nor a window swap chain
};

struct PresentationResult {
    PresentationFailure failure;
    HRESULT result;  // the failing call's result; S_OK when failure is None
};

// Registers the window class, creates and centres the window, creates the
// device, the swap chain and its composition tree, the back-buffer view, and
// hides the cursor. `app` must be zeroed. Stops at a failed device or swap
// chain creation, leaving the later fields null.
PresentationResult createPresentation(AppWindow& app, int32_t width, int32_t height);

// The window procedure of the "StageWindow" class.
LRESULT CALLBACK stageWindowProcedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam);

// Whether a GetAsyncKeyState result says the key is down now. Its low bit
// ("pressed since the last call", possibly by another program, or before the
// show started) must not count, or a key pressed to close the previous
// program would end the show on its first frame.
inline bool keyIsDown(SHORT asyncKeyState) { return (asyncKeyState & 0x8000) != 0; }

// The swap chain description shared by the composition and the window path.
DXGI_SWAP_CHAIN_DESC1 showSwapChainDesc(int32_t width, int32_t height);
