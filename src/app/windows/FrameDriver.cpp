#include "app/windows/FrameDriver.h"

#include <cwchar>

#include "Orrery/gfx/GfxContext.h"
#include "Orrery/gfx/GraphRuntime.h"
#include "app/MusicClock.h"
#include "app/ShowSession.h"
#include "app/windows/AppWindow.h"
#include "app/windows/AudioStream.h"
#include "app/windows/FrameProbe.h"
#include "content/module/SongModule.h"
#include "content/scene/Show.h"

namespace {

// Reports a presentation set-up that stopped; the show cannot draw without it.
void reportPresentationFailure(const PresentationResult& result) {
    const wchar_t* step = result.failure == PresentationFailure::Device ? L"creating the device" : L"creating the swap chain";
    wchar_t text[256];
    std::swprintf(text, sizeof text / sizeof text[0],
                  L"Thawline could not start Direct3D 11: %ls failed with HRESULT 0x%08lX.", step,
                  static_cast<unsigned long>(result.result));
    MessageBoxW(nullptr, text, L"Thawline", MB_OK | MB_ICONERROR);
}

// Drains the queue; WM_QUIT sets the flag but the rest is still dispatched.
void pumpMessages(AppWindow& app) {
    MSG message;
    while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
        TranslateMessage(&message);
        DispatchMessageW(&message);
        if (message.message == WM_QUIT) app.quit = true;
    }
}

// The stream holds the 32 KiB ring; it lives for the whole run.
AudioStream audioStream;

}  // namespace

void runShow() {
    probeOpen();
    screenWidth = GetSystemMetrics(SM_CXSCREEN);
    screenHeight = GetSystemMetrics(SM_CYSCREEN);

    AppWindow app = {};
    const PresentationResult presentation = createPresentation(app, screenWidth, screenHeight);
    if (presentation.failure != PresentationFailure::None) {
        probeClose("no-direct3d");
        reportPresentationFailure(presentation);
        return;
    }
    probeMark("window");

    ShowSession session = {};
    Orrery::Gfx::DeviceDesc device;
    device.device = app.device;
    device.immediateContext = app.immediateContext;
    openShowSession(session, device, screenWidth, screenHeight);
    // The present pass draws straight into the swap chain's back buffer.
    session.show.runtime->outputTexture->putOutsideTarget(app.backBufferView);
    probeMark("assembled");

    startAudioStream(audioStream, kSongModule, kSongModuleSize);
    probeMark(audioStream.device ? "audio" : "no-audio");

    // Each frame: messages, Escape, the first audio write, the clock, the end
    // test, then draw and present. Escape or WM_QUIT end the loop after the
    // frame is presented; the music's end before anything is drawn.
    const char* ending = "quit";
    while (!app.quit) {
        pumpMessages(app);
        if (!app.quit && keyIsDown(GetAsyncKeyState(VK_ESCAPE))) app.quit = true;
        writePendingAudio(audioStream);

        const uint32_t positionBytes = audioPositionBytes(audioStream);
        const float time = musicTimeFromBytes(positionBytes);
        const uint32_t frameIndex = session.frameIndex;
        if (!stepShowSession(session, time)) {
            ending = "end-of-music";
            probeEndOfMusic(time, positionBytes);
            break;
        }
        app.swapChain->Present(1, 0);
        probeFrame(frameIndex, time, positionBytes);
    }

    stopAudioStream(audioStream);
    closeShowSession(session);
    probeClose(ending);
}
