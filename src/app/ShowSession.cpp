#include "app/ShowSession.h"

#include "Orrery/gfx/GfxContext.h"
#include "Orrery/gfx/GraphRuntime.h"
#include "app/Camera.h"
#include "app/MusicClock.h"

void openShowSession(ShowSession& session, const Orrery::Gfx::DeviceDesc& device, int32_t width, int32_t height) {
    screenWidth = width;
    screenHeight = height;
    session.aspect = static_cast<float>(width) / static_cast<float>(height);
    session.frameIndex = 0;
    session.previousTime = 0.0f;

    Orrery::Gfx::ContextDesc context = {};
    static_cast<Orrery::Gfx::DeviceDesc&>(context) = device;
    growStringInit(context.name);
    Orrery::Gfx::initContext(context);
    growFree(context.name);

    trackSetInit(session.show.tracks);
    assembleShow(session.show);
    session.show.runtime->createPresentPass();
}

void prepareShowSessionFrame(ShowSession& session, uint32_t index, float time, float elapsed) {
    const TrackSet& tracks = session.show.tracks;
    float camera[kCameraTrackCount];
    for (uint32_t i = 0; i < kCameraTrackCount; ++i) camera[i] = evaluateTrack(tracks, i, time);
    Mat4 view;
    Mat4 projection;
    buildCamera(camera, session.aspect, view, projection);
    ContextBuffer block;
    fillFrameContext(block, time, index, elapsed, screenWidth, screenHeight, view, projection);
    Orrery::Gfx::updateContext(block);

    Orrery::Gfx::GraphRuntime& runtime = *session.show.runtime;
    const uint32_t count = tracks.tracks.count < runtime.parameters.count ? tracks.tracks.count : runtime.parameters.count;
    for (uint32_t i = 0; i < count; ++i) runtime.parameters[i].value[0] = evaluateTrack(tracks, i, time);
}

void drawShowSessionFrame(ShowSession& session, uint32_t index, float time, float elapsed) {
    prepareShowSessionFrame(session, index, time, elapsed);
    session.show.runtime->runFrame();
}

bool stepShowSession(ShowSession& session, float time) {
    const float elapsed = time - session.previousTime;
    session.previousTime = time;
    if (showHasEnded(time)) return false;
    drawShowSessionFrame(session, session.frameIndex, time, elapsed);
    session.frameIndex += 1;
    return true;
}

void restartShowSession(ShowSession& session) {
    session.frameIndex = 0;
    session.previousTime = 0.0f;
}

void closeShowSession(ShowSession& session) { trackSetDestroy(session.show.tracks); }

void releaseShowSession(ShowSession& session) {
    releaseShow(session.show);
    restartShowSession(session);
}
