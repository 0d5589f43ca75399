#include "app/windows/AppWindow.h"

#include <dcomp.h>

namespace {

constexpr WORD kIconResourceId = 101;

void registerStageClass(AppWindow& app) {
    WNDCLASSEXW& wc = app.windowClass;
    wc.cbSize = sizeof(WNDCLASSEXW);
    wc.style = CS_CLASSDC;
    wc.lpfnWndProc = stageWindowProcedure;
    wc.cbClsExtra = 0;
    wc.cbWndExtra = 0;
    wc.hInstance = GetModuleHandleW(nullptr);
    wc.hIcon = LoadIconW(wc.hInstance, MAKEINTRESOURCEW(kIconResourceId));
    wc.hCursor = nullptr;
    wc.hbrBackground = nullptr;
    wc.lpszMenuName = nullptr;
    wc.lpszClassName = L"StageWindow";
    wc.hIconSm = nullptr;
    RegisterClassExW(&wc);
}

void createCentredWindow(AppWindow& app, int32_t width, int32_t height) {
    app.window = CreateWindowExW(0, app.windowClass.lpszClassName, L"Thawline", WS_POPUP | WS_VISIBLE, 0, 0,
                                 width, height, nullptr, nullptr, app.windowClass.hInstance, nullptr);
    RECT desktop = {};
    GetClientRect(GetDesktopWindow(), &desktop);
    SetWindowPos(app.window, nullptr, (desktop.right - width) / 2, (desktop.bottom - height) / 2, 0, 0,
                 SWP_NOZORDER | SWP_NOSIZE);
}

// Shows the composition swap chain in the window. Fails only when no
// composition device can be made; the later calls' results are not needed.
HRESULT composeIntoWindow(AppWindow& app) {
    IDCompositionDevice* composition = nullptr;
    HRESULT hr = DCompositionCreateDevice(nullptr, __uuidof(IDCompositionDevice),
                                          reinterpret_cast<void**>(&composition));
    if (FAILED(hr) || !composition) return FAILED(hr) ? hr : E_POINTER;
    // Target and visual are held for the life of the process so the tree
    // keeps showing the swap chain.
    IDCompositionTarget* target = nullptr;
    IDCompositionVisual* visual = nullptr;
    composition->CreateTargetForHwnd(app.window, TRUE, &target);
    composition->CreateVisual(&visual);
    if (visual) visual->SetContent(app.swapChain);
    if (target) target->SetRoot(visual);
    composition->Commit();
    return S_OK;
}

}  // namespace

DXGI_SWAP_CHAIN_DESC1 showSwapChainDesc(int32_t width, int32_t height) {
    DXGI_SWAP_CHAIN_DESC1 desc = {};
    desc.Width = static_cast<UINT>(width);
    desc.Height = static_cast<UINT>(height);
    desc.Format = DXGI_FORMAT_R8G8B8A8_UNORM;
    desc.Stereo = FALSE;
    desc.SampleDesc.Count = 1;
    desc.SampleDesc.Quality = 0;
    desc.BufferUsage = DXGI_USAGE_RENDER_TARGET_OUTPUT;
    desc.BufferCount = 2;
    desc.Scaling = DXGI_SCALING_STRETCH;
    desc.SwapEffect = DXGI_SWAP_EFFECT_FLIP_DISCARD;
    desc.AlphaMode = DXGI_ALPHA_MODE_PREMULTIPLIED;
    desc.Flags = 0;
    return desc;
}

PresentationResult createPresentation(AppWindow& app, int32_t width, int32_t height) {
    registerStageClass(app);
    createCentredWindow(app, width, height);

    const D3D_FEATURE_LEVEL requested = D3D_FEATURE_LEVEL_11_0;
    HRESULT hr = D3D11CreateDevice(nullptr, D3D_DRIVER_TYPE_HARDWARE, nullptr, 0, &requested, 1, D3D11_SDK_VERSION,
                                   &app.device, nullptr, &app.immediateContext);
    if (FAILED(hr)) return {PresentationFailure::Device, hr};

    IDXGIDevice* dxgiDevice = nullptr;
    IDXGIAdapter* adapter = nullptr;
    IDXGIFactory2* factory = nullptr;
    app.device->QueryInterface(__uuidof(IDXGIDevice), reinterpret_cast<void**>(&dxgiDevice));
    if (dxgiDevice) dxgiDevice->GetAdapter(&adapter);
    if (adapter) adapter->GetParent(__uuidof(IDXGIFactory2), reinterpret_cast<void**>(&factory));
    if (!factory) return {PresentationFailure::SwapChain, E_NOINTERFACE};

    DXGI_SWAP_CHAIN_DESC1 desc = showSwapChainDesc(width, height);
    hr = factory->CreateSwapChainForComposition(app.device, &desc, nullptr, &app.swapChain);
    if (SUCCEEDED(hr)) {
        if (FAILED(composeIntoWindow(app))) {
            // A composition swap chain nobody composes would never be seen.
            app.swapChain->Release();
            app.swapChain = nullptr;
            hr = E_NOTIMPL;
        }
    }
    if (FAILED(hr)) {
        // Wine and Proton implement neither composition swap chains nor
        // DirectComposition: attach the same flip-model chain to the window.
        // Window swap chains take no premultiplied alpha.
        desc.AlphaMode = DXGI_ALPHA_MODE_UNSPECIFIED;
        hr = factory->CreateSwapChainForHwnd(app.device, app.window, &desc, nullptr, nullptr, &app.swapChain);
        if (FAILED(hr)) {
            app.swapChain = nullptr;
            return {PresentationFailure::SwapChain, hr};
        }
    }

    ID3D11Texture2D* backBuffer = nullptr;
    app.swapChain->GetBuffer(0, __uuidof(ID3D11Texture2D), reinterpret_cast<void**>(&backBuffer));
    if (backBuffer) app.device->CreateRenderTargetView(backBuffer, nullptr, &app.backBufferView);

    ShowWindow(app.window, SW_SHOWDEFAULT);
    UpdateWindow(app.window);
    ShowCursor(FALSE);
    ShowWindow(GetConsoleWindow(), SW_HIDE);
    return {PresentationFailure::None, S_OK};
}

LRESULT CALLBACK stageWindowProcedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
    case WM_DESTROY:
        PostQuitMessage(0);
        return 0;
    case WM_SIZE:
        return 0;
    case WM_SYSCOMMAND:
        if ((wParam & 0xFFF0) == SC_KEYMENU) return 0;  // Alt and F10 never open the window menu
        break;
    default:
        break;
    }
    return DefWindowProcW(window, message, wParam, lParam);
}
