// The show as every program runs it, whatever draws it and whoever owns the
// loop: the graph built on the back end the program links, the clock's step
// from frame to frame, the end test, and one frame drawn at a music time.
// What stays with each program is its platform part: the window or
// off-screen target, the device, the sound and where the music time comes
// from.
#pragma once

#include <cstdint>

#include "Orrery/gfx/Native.h"
#include "content/scene/Show.h"

struct ShowSession {
    Show show;
    float aspect;          // screenWidth / screenHeight at opening
    uint32_t frameIndex;   // live frames drawn since opening or the last restart
    float previousTime;    // music time of the last live frame
};

// Sets screenWidth and screenHeight, hands `device` to initContext, builds
// the tracks and the whole graph (assembleShow) and appends the present
// pass. The program then puts its window's or capture's target in place as
// the output texture's outside target.
void openShowSession(ShowSession& session, const Orrery::Gfx::DeviceDesc& device, int32_t width, int32_t height);

// One live frame at music time `time`, with the step from the previous live
// frame (from 0 for the first). False once the show has ended at `time`:
// nothing is drawn then.
bool stepShowSession(ShowSession& session, float time);

// Live frames count and step from the start again (a new run of the page).
void restartShowSession(ShowSession& session);

// Frame `index` at `time` with step `elapsed`, outside the live count: the
// captures' frames at k / fps.
void drawShowSessionFrame(ShowSession& session, uint32_t index, float time, float elapsed);

// Everything of such a frame before runFrame (camera, block, parameters),
// for a bench that runs and times the passes itself.
void prepareShowSessionFrame(ShowSession& session, uint32_t index, float time, float elapsed);

// Frees the tracks. The graph's objects stay, as the show keeps them until
// the process ends.
void closeShowSession(ShowSession& session);

// Releases the whole graph and the tracks (releaseShow): for a program that
// opens the session again, at a new size or with new programs. The show
// programs never call it.
void releaseShowSession(ShowSession& session);
