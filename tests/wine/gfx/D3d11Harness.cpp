// The Direct3D 11 back end for the contract tests, on the test device.
#include <vector>

#include "../../gfx/BackendHarness.h"
#include "GfxTestDevice.h"
#include "TestShaders.h"

using namespace Orrery::Gfx;

bool harnessReady(const char** why) {
    *why = "no Direct3D 11 device";
    return GfxTest::startRuntime();
}

void harnessProgram(ProgramDesc& desc) {
    static const std::vector<uint8_t> vs = GfxTest::compile(GfxTest::kFullScreenVS, "vertex_main", "vs_5_0");
    static const std::vector<uint8_t> ps = GfxTest::compile(GfxTest::kOnePS, "pixel_main", "ps_5_0");
    desc.vertexBytecode = vs.data();
    desc.vertexBytecodeSize = uint32_t(vs.size());
    desc.pixelBytecode = ps.data();
    desc.pixelBytecodeSize = uint32_t(ps.size());
}

// Every object made on the device holds a reference to it, so the device's
// count of references follows the objects alive.
uint32_t harnessLiveObjects() {
    gfxContext.device->AddRef();
    return gfxContext.device->Release();
}

RtvHandle harnessOutsideTarget() {
    D3D11_TEXTURE2D_DESC d = {};
    d.Width = d.Height = 4;
    d.MipLevels = d.ArraySize = 1;
    d.Format = DXGI_FORMAT_R8G8B8A8_UNORM;
    d.SampleDesc.Count = 1;
    d.BindFlags = D3D11_BIND_RENDER_TARGET;
    ID3D11Texture2D* texture = nullptr;
    ID3D11RenderTargetView* view = nullptr;
    if (FAILED(gfxContext.device->CreateTexture2D(&d, nullptr, &texture))) return nullptr;
    gfxContext.device->CreateRenderTargetView(texture, nullptr, &view);
    texture->Release();  // the view keeps the texture
    // One reference for its owner, one for the check below, which a release
    // by the runtime would take away.
    if (view) view->AddRef();
    return view;
}

bool harnessOutsideTargetAlive(RtvHandle target) {
    target->AddRef();
    return target->Release() == 2;
}
