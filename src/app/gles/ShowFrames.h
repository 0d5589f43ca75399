// The show's start-up and frame step on the OpenGL ES back end.
#pragma once

#include <cstdint>

#include "content/scene/Show.h"

// initContext on the current context, the tracks, assembleShow and the
// present pass. Reads screenWidth and screenHeight.
void buildShowGraph(Show& show);

// Everything of a frame before runFrame: camera, block, parameters.
void prepareShowFrame(Show& show, uint32_t index, float time, float elapsed, float aspect);

// One frame at music time `time`: prepareShowFrame, then runFrame.
void drawShowFrame(Show& show, uint32_t index, float time, float elapsed, float aspect);
