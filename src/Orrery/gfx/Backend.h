// The narrow set of functions each back end (d3d11/, gles/, null/) supplies.
// Everything else in the runtime is compiled once from the shared sources:
// the double-buffer bookkeeping and getters, frame-constant sizing, the
// viewport, the mip loop, and what each blend mode and sampler slot means.
//
// Only the runtime's own sources include this. Creation functions return an
// empty handle when they fail or when there is no device; none reports why.
#pragma once

#include "Orrery/gfx/GfxContext.h"
#include "Orrery/gfx/Pass.h"

namespace Orrery::Gfx {

// initContext ran with a device that can create objects.
bool backendReady();
// The samplers and whatever else the back end keeps for the whole run.
void backendInitContext(const ContextDesc& desc);

// A texture of the descriptor's dimension, size and format with `mipCount`
// levels, and its views. A depth format gets only its depth view.
ResourceHandle backendCreateTexture(const TextureDesc& desc, uint32_t mipCount);
DsvHandle backendCreateDepthView(ResourceHandle texture, const TextureDesc& desc);
UavHandle backendCreateUav(ResourceHandle texture, const TextureDesc& desc);
SrvHandle backendCreateSrv(ResourceHandle texture, const TextureDesc& desc, uint32_t mipCount);
RtvHandle backendCreateRtv(ResourceHandle texture, const TextureDesc& desc);
// Releases every object the texture owns (not an outside target in rtvA);
// the caller clears the handles.
void backendReleaseTexture(TextureRuntime& texture);
void backendUpload(TextureRuntime& texture, const void* pixels, uint32_t width, uint32_t height,
                   uint8_t bytesPerPixel);
void backendGenerateMips(SrvHandle view, const TextureDesc& desc);

// A buffer of bufferByteWidth(desc) bytes; copy A takes desc.initialData.
BufferHandle backendCreateBuffer(const BufferDesc& desc, bool withInitialData);
void backendCreateBufferViews(BufferHandle buffer, uint32_t elements, SrvHandle& srv, UavHandle& uav);
void backendReleaseBuffer(BufferRuntime& buffer);
void backendWriteBuffer(BufferHandle buffer, const void* data, uint32_t size);

// Creates the program's shader objects from code that is there; releases them.
void backendBuildProgram(Program& program);
void backendReleaseProgram(Program& program);

// Target 0's size, when the pass has one; otherwise the viewport stays.
struct Viewport {
    bool set;
    float width, height;
};

// Binds and runs a pass whose shaders exist, with the frame constants at b8,
// and unbinds what it bound. Mip generation follows in shared code.
void backendDrawPass(const DrawPass& pass, BufferHandle constants, Viewport viewport);
void backendComputePass(const ComputePass& pass, BufferHandle constants);

}  // namespace Orrery::Gfx
