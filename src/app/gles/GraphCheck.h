// Checks the assembled graph for what only the OpenGL ES back end can lose:
// a program that the driver did not compile or link leaves its pass skipped
// in every frame. (Missing targets and inputs: showResourcesComplete.)
#pragma once

#include <cstddef>

#include "Orrery/gfx/GraphRuntime.h"

// True when every entry of the pass list is a draw pass with its program;
// otherwise false with a one-line reason.
bool allProgramsBuilt(Orrery::Gfx::GraphRuntime& runtime, char* reason, size_t reasonSize);
