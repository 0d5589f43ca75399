// Every object is a fresh number; the live set records what it views, so that
// release can tell a texture's own render target from an outside one.
#include <unordered_map>

#include "Orrery/gfx/Backend.h"

namespace Orrery::Gfx {

namespace {

struct NullDevice {
    uint32_t next = 0;
    std::unordered_map<uint32_t, uint32_t> live;  // object -> the texture or buffer it views (0: none)
    uint32_t badReleases = 0;
    uint32_t passesRun = 0;
};

NullDevice& device() {
    static NullDevice d;
    return d;
}

uint32_t make(uint32_t viewed = 0) {
    NullDevice& d = device();
    const uint32_t object = ++d.next;
    d.live[object] = viewed;
    return object;
}

void drop(uint32_t object) {
    if (!object) return;
    if (device().live.erase(object) == 0) device().badReleases += 1;
}

uint32_t viewedBy(uint32_t view) {
    const auto found = device().live.find(view);
    return found == device().live.end() ? 0 : found->second;
}

}  // namespace

uint32_t nullLiveObjects() { return uint32_t(device().live.size()); }
uint32_t nullBadReleases() { return device().badReleases; }
uint32_t nullPassesRun() { return device().passesRun; }

bool backendReady() { return gfxContext.ready; }
void backendInitContext(const ContextDesc&) { gfxContext.ready = true; }

ResourceHandle backendCreateTexture(const TextureDesc& desc, uint32_t) {
    return desc.dimension >= 0 && desc.dimension <= 2 ? make() : 0;
}
DsvHandle backendCreateDepthView(ResourceHandle texture, const TextureDesc&) { return make(texture); }
UavHandle backendCreateUav(ResourceHandle texture, const TextureDesc&) { return make(texture); }
SrvHandle backendCreateSrv(ResourceHandle texture, const TextureDesc&, uint32_t) { return make(texture); }
RtvHandle backendCreateRtv(ResourceHandle texture, const TextureDesc&) { return make(texture); }

void backendReleaseTexture(TextureRuntime& t) {
    const bool ownTarget = t.rtvA && viewedBy(t.rtvA) == t.textureA;
    drop(t.textureA);
    drop(t.uavA);
    drop(t.srvA);
    if (ownTarget) drop(t.rtvA);
    drop(t.dsv);
    drop(t.textureB);
    drop(t.uavB);
    drop(t.srvB);
    drop(t.rtvB);
}

void backendUpload(TextureRuntime&, const void*, uint32_t, uint32_t, uint8_t) {}
void backendGenerateMips(SrvHandle, const TextureDesc&) {}

BufferHandle backendCreateBuffer(const BufferDesc&, bool) { return make(); }
void backendCreateBufferViews(BufferHandle buffer, uint32_t, SrvHandle& srv, UavHandle& uav) {
    srv = make(buffer);
    uav = make(buffer);
}
void backendReleaseBuffer(BufferRuntime& b) {
    const uint32_t objects[6] = {b.bufferA, b.bufferB, b.uavA, b.srvA, b.uavB, b.srvB};
    for (uint32_t object : objects) drop(object);
}
void backendWriteBuffer(BufferHandle, const void*, uint32_t) {}

void backendBuildProgram(Program& p) {
    if (p.desc.kind == ProgramKind::Graphics) {
        if (p.desc.vertexBytecode) p.vertexShader = make();
        if (p.desc.pixelBytecode) p.pixelShader = make();
    } else if (p.desc.kind == ProgramKind::Compute && p.desc.computeBytecode) {
        p.computeShader = make();
    }
}

void backendReleaseProgram(Program& p) {
    drop(p.vertexShader);
    drop(p.pixelShader);
    drop(p.computeShader);
}

void backendDrawPass(const DrawPass&, BufferHandle, Viewport) { device().passesRun += 1; }
void backendComputePass(const ComputePass&, BufferHandle) { device().passesRun += 1; }

}  // namespace Orrery::Gfx
