// Running one pass: the skip rules, the frame constant buffer, the viewport
// and the mip loop are shared; binding and drawing are the back end's.
#include "Orrery/gfx/Backend.h"
#include "Orrery/gfx/GraphRuntime.h"

namespace Orrery::Gfx {

namespace {

// Re-creates the constant buffer when the recorded size differs from this
// frame's data (or it does not exist yet), then uploads the frame data.
BufferHandle uploadFrameConstants(const uint8_t* frameData, uint32_t size) {
    GfxContext& gfx = gfxContext;
    if (uint32_t(gfx.frameConstantsDesc.stride) != size || !gfx.frameConstants.bufferA) {
        gfx.frameConstantsDesc.stride = int32_t(size);
        gfx.frameConstantsDesc.constant = true;
        gfx.frameConstants.release();
        gfx.frameConstants.desc = gfx.frameConstantsDesc;
        gfx.frameConstants.doubleBuffered = false;
        gfx.frameConstants.create();
    }
    const BufferHandle buffer = gfx.frameConstants.bufferA;
    // A failed creation leaves no buffer to write into.
    if (buffer) backendWriteBuffer(buffer, frameData, size);
    return buffer;
}

// Mip chains of mipmapped textures; other textures do nothing.
void generateMipsOf(Resource* resource) {
    if (resource) static_cast<TextureRuntime*>(resource)->generateMips();
}

}  // namespace

void runDrawPass(DrawPass& pass, const uint8_t* frameData, uint32_t size) {
    if (!pass.program.vertexShader || !pass.program.pixelShader) return;
    const DrawPassDesc& desc = pass.desc;
    const BufferHandle constants = uploadFrameConstants(frameData, size);

    // Targets are 2D colour textures; target 0's descriptor sizes the viewport.
    Viewport viewport = {false, 0.0f, 0.0f};
    if (desc.targets.count > 0 && desc.targets[0].resource) {
        const TextureDesc& t = static_cast<TextureRuntime*>(desc.targets[0].resource)->desc;
        viewport = {true, float(t.width), float(t.height)};
    }
    backendDrawPass(pass, constants, viewport);

    for (uint32_t j = 0; j < desc.targets.count; ++j) generateMipsOf(desc.targets[j].resource);
}

void runComputePass(ComputePass& pass, const uint8_t* frameData, uint32_t size) {
    if (!pass.program.computeShader) return;
    backendComputePass(pass, uploadFrameConstants(frameData, size));
    for (uint32_t j = 0; j < pass.desc.outputs.count; ++j)
        if (pass.desc.outputs[j].kind == ResourceKind::Texture) generateMipsOf(pass.desc.outputs[j].resource);
}

}  // namespace Orrery::Gfx
