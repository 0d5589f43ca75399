// Checks the assembled graph before the first frame: a pass whose program
// did not build, whose target has nothing to draw into, or whose input has
// nothing to read would silently leave a hole in every picture.
#pragma once

#include <cstddef>

#include "Orrery/gfx/GraphRuntime.h"

// True when every draw pass in the list has its program, a texture behind
// each target and each input; otherwise false with a one-line reason.
bool checkAssembledGraph(Orrery::Gfx::GraphRuntime& runtime, char* reason, size_t reasonSize);
