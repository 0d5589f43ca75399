#include "app/gles/ShowFrames.h"

#include "Orrery/gfx/GfxContext.h"
#include "app/Camera.h"

void buildShowGraph(Show& show) {
    Orrery::Gfx::ContextDesc context = {};
    growStringInit(context.name);
    Orrery::Gfx::initContext(context);
    growFree(context.name);

    trackSetInit(show.tracks);
    assembleShow(show);
    show.runtime->createPresentPass();
}

void prepareShowFrame(Show& show, uint32_t index, float time, float elapsed, float aspect) {
    float camera[kCameraTrackCount];
    for (uint32_t i = 0; i < kCameraTrackCount; ++i) camera[i] = evaluateTrack(show.tracks, i, time);
    Mat4 view;
    Mat4 projection;
    buildCamera(camera, aspect, view, projection);
    ContextBuffer block;
    fillFrameContext(block, time, index, elapsed, screenWidth, screenHeight, view, projection);
    Orrery::Gfx::updateContext(block);

    Orrery::Gfx::GraphRuntime& runtime = *show.runtime;
    const uint32_t count =
        show.tracks.tracks.count < runtime.parameters.count ? show.tracks.tracks.count : runtime.parameters.count;
    for (uint32_t i = 0; i < count; ++i) runtime.parameters[i].value[0] = evaluateTrack(show.tracks, i, time);
}

