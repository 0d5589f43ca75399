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

// The real-time clock: the audio device's position, read once per frame
// after the messages and the keyboard.
struct LiveClock {
    AppWindow* app;
    float previousTime;
    uint32_t positionBytes;
    const char* ending;
};

bool nextLiveFrame(void* user, FrameTime& frame) {
    LiveClock& clock = *static_cast<LiveClock*>(user);
    AppWindow& app = *clock.app;
    if (app.quit) return false;
    pumpMessages(app);
    if (!app.quit && keyIsDown(GetAsyncKeyState(VK_ESCAPE))) app.quit = true;
    writePendingAudio(audioStream);

    clock.positionBytes = audioPositionBytes(audioStream);
    frame.time = musicTimeFromBytes(clock.positionBytes);
    frame.elapsed = frame.time - clock.previousTime;
    clock.previousTime = frame.time;
    if (showHasEnded(frame.time)) {
        clock.ending = "end-of-music";
        probeEndOfMusic(frame.time, clock.positionBytes);
        return false;
    }
    return true;
}

void presentLiveFrame(void* user, uint32_t frameIndex, const FrameTime& frame) {
    LiveClock& clock = *static_cast<LiveClock*>(user);
    clock.app->swapChain->Present(1, 0);
    probeFrame(frameIndex, frame.time, clock.positionBytes);
}

}  // namespace

void buildShowGraph(Show& show, ID3D11Device* device, ID3D11DeviceContext* immediateContext,
                    ID3D11RenderTargetView* output) {
    Orrery::Gfx::ContextDesc context = {};
    growStringInit(context.name);
    context.device = device;
    context.immediateContext = immediateContext;
    Orrery::Gfx::initContext(context);
    growFree(context.name);

    trackSetInit(show.tracks);
    assembleShow(show);
    show.runtime->createPresentPass();
    // The present pass draws straight into the caller's target.
    show.runtime->outputTexture->rtvA = output;
}

void runShowFrames(Show& show, float aspect, const FrameSeams& seams) {
    uint32_t frameIndex = 0;
    FrameTime frame;
    while (seams.nextFrame(seams.user, frame)) {
        updateFrameContext(show.tracks, frame.time, frameIndex, frame.elapsed, aspect);
        updateParameters(*show.runtime, show.tracks, frame.time);
        show.runtime->runFrame();
        seams.finishFrame(seams.user, frameIndex, frame);
        frameIndex += 1;
    }
}

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

    Show show = {};
    buildShowGraph(show, app.device, app.immediateContext, app.backBufferView);
    probeMark("assembled");

    startAudioStream(audioStream, kSongModule, kSongModuleSize);
    probeMark(audioStream.device ? "audio" : "no-audio");

    LiveClock clock = {&app, 0.0f, 0, "quit"};
    runShowFrames(show, aspect, {&clock, nextLiveFrame, presentLiveFrame});

    stopAudioStream(audioStream);
    trackSetDestroy(show.tracks);
    probeClose(clock.ending);
}
