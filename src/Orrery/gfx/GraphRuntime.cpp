#include "Orrery/gfx/GraphRuntime.h"

#include <cstdlib>
#include <cstring>

#include "Orrery/gfx/GfxContext.h"

#if defined(THAW_HAVE_SHADER_BLOBS)
#include "content/shaders/ShaderBlobs.h"
#endif

namespace Orrery::Gfx {

GraphRuntime::GraphRuntime() {
    growInit(parameters);
    idTableInit(resources);
    idTableInit(passTable);
    outputTexture = nullptr;
    growInit(passes);
    firstFrame = false;
    parameterBlockInit(block);
}

void GraphRuntime::setParameters(const GrowArray<Parameter>& list) {
    growCopy(parameters, list);
    packParameters(block, parameters);
}

Resource*& GraphRuntime::registerResource(int32_t id) { return idTableRegister(resources, id); }

void*& GraphRuntime::registerPass(int32_t id) { return idTableRegister(passTable, id); }

void GraphRuntime::addPass(int32_t kind, void* pass) { growPush(passes, PassEntry{kind, pass}); }

void GraphRuntime::createPresentPass() {
    const TextureDesc screen = texture2DDesc(int32_t(float(screenWidth)), int32_t(float(screenHeight)),
                                             FormatCode::R16G16B16A16Float, false);
    auto* screenTexture = new TextureRuntime();
    screenTexture->init(screen, false);

    DrawPassDesc desc;
    drawPassDescInit(desc);
#if defined(THAW_HAVE_SHADER_BLOBS)
    desc.program.vertexBytecode = kPresentVS;
    desc.program.vertexBytecodeSize = kPresentVSSize;
    desc.program.pixelBytecode = kPresentPS;
    desc.program.pixelBytecodeSize = kPresentPSSize;
#endif
    growPush(desc.targets, TargetRef{screenTexture, true});
    growPush(desc.inputs, ResourceRef{ResourceKind::Texture, outputTexture});
    auto* present = new DrawPass();
    present->configure(desc);
    drawPassDescFree(desc);

    addPass(PassKind::Draw, present);
    outputTexture = screenTexture;
}

TextureRuntime* GraphRuntime::runFrame() {
    packParameters(block, parameters);

    const uint32_t length = frameDataLength(block.size);
    auto* frameData = static_cast<uint8_t*>(std::malloc(length));
    if (frameData) {
        std::memset(frameData, 0, length);
        std::memcpy(frameData, &gfxContext.contextData, kContextBufferBytes);
        if (block.size) std::memcpy(frameData + kContextBufferBytes, block.data, block.size);
    }

    idTableWalk(resources, [](int32_t, Resource* r) {
        if (r) r->update();
    });

    // Without frame data there is nothing to upload to b8; no pass may run.
    if (frameData) {
        const float time = gfxContext.contextData.time;
        for (uint32_t i = 0; i < passes.count; ++i) {
            const PassEntry& entry = passes[i];
            if (!entry.pass) continue;
            if (entry.kind == PassKind::Draw) {
                auto& pass = *static_cast<DrawPass*>(entry.pass);
                if (passIsActive(pass.desc.activation, pass.desc.start, pass.desc.end, time, firstFrame))
                    runDrawPass(pass, frameData, length);
            } else if (entry.kind == PassKind::Compute) {
                auto& pass = *static_cast<ComputePass*>(entry.pass);
                if (passIsActive(pass.desc.activation, pass.desc.start, pass.desc.end, time, firstFrame))
                    runComputePass(pass, frameData, length);
            }
        }
    }

    idTableWalk(resources, [](int32_t, Resource* r) {
        if (r && r->doubleBuffered) r->swapped = !r->swapped;
    });

    firstFrame = false;
    std::free(frameData);
    return outputTexture;
}

void releaseGraph(GraphRuntime& runtime) {
    idTableWalk(runtime.resources, [](int32_t, Resource* r) {
        if (r) r->release();
    });
    if (runtime.outputTexture) runtime.outputTexture->release();
    for (uint32_t i = 0; i < runtime.passes.count; ++i) {
        const PassEntry& entry = runtime.passes[i];
        if (!entry.pass) continue;
        if (entry.kind == PassKind::Draw) releasePass(*static_cast<DrawPass*>(entry.pass));
        else if (entry.kind == PassKind::Compute) releasePass(*static_cast<ComputePass*>(entry.pass));
    }
    growFree(runtime.parameters);
    idTableFree(runtime.resources);
    idTableFree(runtime.passTable);
    growFree(runtime.passes);
    parameterBlockFree(runtime.block);
    runtime.outputTexture = nullptr;
    runtime.firstFrame = false;
}

}  // namespace Orrery::Gfx
