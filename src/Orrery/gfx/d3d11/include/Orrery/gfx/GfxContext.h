// The process-wide graphics state: device, immediate context, the kept
// per-frame block and the one constant buffer every pass sees at b8.
#pragma once

#include <d3d11.h>

#include "Orrery/gfx/Resource.h"
#include "app/ContextBuffer.h"
#include "base/GrowString.h"

namespace Orrery::Gfx {

// What the frame driver hands to initContext.
struct ContextDesc {
    ContextBuffer data;  // all zero at start-up
    GrowString name;     // not used by the runtime; the caller frees it
    ID3D11Device* device;
    ID3D11DeviceContext* immediateContext;
};

struct GfxContext {
    ID3D11Device* device = nullptr;
    ID3D11DeviceContext* immediateContext = nullptr;
    ContextBuffer contextData = {};
    BufferRuntime frameConstants;   // no Direct3D objects until the first pass
    BufferDesc frameConstantsDesc;  // `stride` records the byte size in force
};

extern GfxContext gfxContext;

// Stores the device and context, keeps a copy of the block, creates the six
// samplers and binds them to slots 0..5 of the vertex, pixel and compute
// stages for the whole run.
void initContext(ContextDesc desc);

// Folds the frame's block into the kept one (deriveContext) and resets the
// recorded constant-buffer size to the bare block (608 bytes).
void updateContext(ContextBuffer data);

}  // namespace Orrery::Gfx
