#include "app/win32/FrameDriver.h"

#include <cwchar>

#include "Orrery/gfx/GfxContext.h"
#include "Orrery/gfx/GraphRuntime.h"
#include "app/Camera.h"
#include "app/MusicClock.h"
#include "app/win32/AppWindow.h"
#include "app/win32/AudioStream.h"
#include "app/win32/FrameProbe.h"
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

// Camera and the frame driver's share of the block, then the runtime's
// derivations.
void updateFrameContext(const TrackSet& tracks, float time, uint32_t frameIndex, float elapsed, float aspect) {
    float camera[kCameraTrackCount];
    for (uint32_t i = 0; i < kCameraTrackCount; ++i) camera[i] = evaluateTrack(tracks, i, time);
    Mat4 view;
    Mat4 projection;
    buildCamera(camera, aspect, view, projection);
    ContextBuffer block;
    fillFrameContext(block, time, frameIndex, elapsed, screenWidth, screenHeight, view, projection);
    Orrery::Gfx::updateContext(block);
}

void updateParameters(Orrery::Gfx::GraphRuntime& runtime, const TrackSet& tracks, float time) {
    const uint32_t count = tracks.tracks.count < runtime.parameters.count ? tracks.tracks.count : runtime.parameters.count;
    for (uint32_t i = 0; i < count; ++i) runtime.parameters[i].value[0] = evaluateTrack(tracks, i, time);
}

// The stream holds the 32 KiB ring; it lives for the whole run.
AudioStream audioStream;

}  // namespace

void runShow() {
    probeOpen();
    screenWidth = GetSystemMetrics(SM_CXSCREEN);
    screenHeight = GetSystemMetrics(SM_CYSCREEN);
    const float aspect = static_cast<float>(screenWidth) / static_cast<float>(screenHeight);

    AppWindow app = {};
    const PresentationResult presentation = createPresentation(app, screenWidth, screenHeight);
    if (presentation.failure != PresentationFailure::None) {
        probeClose("no-direct3d");
        reportPresentationFailure(presentation);
        return;
    }
    probeMark("window");

    Orrery::Gfx::ContextDesc context = {};
    growStringInit(context.name);
    context.device = app.device;
    context.immediateContext = app.immediateContext;
    Orrery::Gfx::initContext(context);
    growFree(context.name);

    Show show = {};
    trackSetInit(show.tracks);
    assembleShow(show);
    show.runtime->createPresentPass();
    // The present pass draws straight into the swap chain's back buffer.
    show.runtime->outputTexture->rtvA = app.backBufferView;
    probeMark("assembled");

    startAudioStream(audioStream, kSongModule, kSongModuleSize);
    probeMark(audioStream.device ? "audio" : "no-audio");

    float previousTime = 0.0f;
    uint32_t frameIndex = 0;
    const char* ending = "quit";
    while (!app.quit) {
        pumpMessages(app);
        if (!app.quit && keyIsDown(GetAsyncKeyState(VK_ESCAPE))) app.quit = true;
        writePendingAudio(audioStream);

        const uint32_t positionBytes = audioPositionBytes(audioStream);
        const float time = musicTimeFromBytes(positionBytes);
        const float elapsed = time - previousTime;
        previousTime = time;
        if (showHasEnded(time)) {
            ending = "end-of-music";
            probeEndOfMusic(time, positionBytes);
            break;
        }

        updateFrameContext(show.tracks, time, frameIndex, elapsed, aspect);
        updateParameters(*show.runtime, show.tracks, time);
        show.runtime->runFrame();
        app.swapChain->Present(1, 0);
        probeFrame(frameIndex, time, positionBytes);
        frameIndex += 1;
    }

    stopAudioStream(audioStream);
    trackSetDestroy(show.tracks);
    probeClose(ending);
}
