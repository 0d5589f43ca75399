// The show's start-up and frame step on the OpenGL ES back end.
#pragma once

#include <cstdint>

#include "content/scene/Show.h"

// initContext on the current context, the tracks, assembleShow and the
// present pass. Reads screenWidth and screenHeight.
void buildShowGraph(Show& show);

// Everything of a frame before runFrame (camera, block, parameters), for
// the bench, which times the passes itself. Programs draw whole frames with
// drawShowFrame (app/ShowFrame.h).
void prepareShowFrame(Show& show, uint32_t index, float time, float elapsed, float aspect);

