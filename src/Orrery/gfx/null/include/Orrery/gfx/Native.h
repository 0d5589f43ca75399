// The null back end: no graphics API. Every object is a number from one
// counter, and the back end keeps the set of live objects, so that the
// shared half of the runtime (bookkeeping, release, frame order) can be
// built and tested natively, with sanitizers, without a device.
#pragma once

#include <cstdint>

namespace Orrery::Gfx {

using ResourceHandle = uint32_t;
using BufferHandle = uint32_t;
using UavHandle = uint32_t;
using SrvHandle = uint32_t;
using RtvHandle = uint32_t;
using DsvHandle = uint32_t;
using VertexShaderHandle = uint32_t;
using PixelShaderHandle = uint32_t;
using ComputeShaderHandle = uint32_t;

struct ProgramBindings {};

struct DeviceDesc {};

struct DeviceState {
    bool ready = false;
};

// Objects created and not yet released.
uint32_t nullLiveObjects();
// Releases of an object that was not live (released twice, or never made
// here): each one is a fault of the caller.
uint32_t nullBadReleases();
// Draw and compute passes the back end was asked to run since start-up.
uint32_t nullPassesRun();

}  // namespace Orrery::Gfx
