// What each back end gives the tests of the contract every back end keeps
// (ReleaseTest.cpp is compiled once per back end against one of these).
#pragma once

#include <cstdint>

#include "Orrery/gfx/GfxContext.h"
#include "Orrery/gfx/Pass.h"

// A device on which initContext ran; false with the reason when there is none.
bool harnessReady(const char** why);
// Points `desc` at vertex and pixel code this back end builds.
void harnessProgram(Orrery::Gfx::ProgramDesc& desc);
// API objects alive now (textures, buffers, views, shaders, programs, as far
// as the back end can count them).
uint32_t harnessLiveObjects();
// A render target made outside the runtime, and whether it still exists.
Orrery::Gfx::RtvHandle harnessOutsideTarget();
bool harnessOutsideTargetAlive(Orrery::Gfx::RtvHandle target);
