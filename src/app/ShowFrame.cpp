#include "app/ShowFrame.h"

#include "Orrery/gfx/GfxContext.h"
#include "Orrery/gfx/GraphRuntime.h"
#include "app/Camera.h"
#include "content/scene/Show.h"

namespace {

// Camera and the frame's share of the block, then the runtime's derivations.
void updateFrameContext(const TrackSet& tracks, float time, uint32_t index, float elapsed, float aspect) {
    float camera[kCameraTrackCount];
    for (uint32_t i = 0; i < kCameraTrackCount; ++i) camera[i] = evaluateTrack(tracks, i, time);
    Mat4 view;
    Mat4 projection;
    buildCamera(camera, aspect, view, projection);
    ContextBuffer block;
    fillFrameContext(block, time, index, elapsed, screenWidth, screenHeight, view, projection);
    Orrery::Gfx::updateContext(block);
}

void updateParameters(Orrery::Gfx::GraphRuntime& runtime, const TrackSet& tracks, float time) {
    const uint32_t count = tracks.tracks.count < runtime.parameters.count ? tracks.tracks.count : runtime.parameters.count;
    for (uint32_t i = 0; i < count; ++i) runtime.parameters[i].value[0] = evaluateTrack(tracks, i, time);
}

}  // namespace

void drawShowFrame(Show& show, uint32_t index, float time, float elapsed, float aspect) {
    updateFrameContext(show.tracks, time, index, elapsed, aspect);
    updateParameters(*show.runtime, show.tracks, time);
    show.runtime->runFrame();
}
