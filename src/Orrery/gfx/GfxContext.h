// The process-wide graphics state: the back end's device state, the kept
// per-frame block and the one constant buffer every pass sees at b8.
#pragma once

#include "Orrery/gfx/Native.h"
#include "Orrery/gfx/Resource.h"
#include "app/ContextBuffer.h"
#include "base/GrowString.h"

namespace Orrery::Gfx {

// What the program hands to initContext: the block and, from DeviceDesc,
// whatever the back end needs (the Direct3D 11 device and immediate context;
// nothing on OpenGL ES, whose context is the current one).
struct ContextDesc : DeviceDesc {
    ContextBuffer data;  // all zero at start-up
    GrowString name;     // not used by the runtime; the caller frees it
};

struct GfxContext : DeviceState {
    ContextBuffer contextData = {};
    BufferRuntime frameConstants;   // no API objects until the first pass
    BufferDesc frameConstantsDesc;  // `stride` records the byte size in force
};

extern GfxContext gfxContext;

// Stores the device, keeps a copy of the block, creates the six samplers and
// binds them to slots 0..5 for the whole run.
void initContext(ContextDesc desc);

// Folds the frame's block into the kept one (deriveContext) and resets the
// recorded constant-buffer size to the bare block (608 bytes).
void updateContext(ContextBuffer data);

}  // namespace Orrery::Gfx
