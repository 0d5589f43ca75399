// Buffers: creation order, double-buffer bookkeeping and getters, the same
// on every back end.
#include <cstring>

#include "Orrery/gfx/Backend.h"

namespace Orrery::Gfx {

bool BufferRuntime::init(const void* descriptor, bool doubleBufferedFlag) {
    if (descriptor) std::memcpy(&desc, descriptor, sizeof desc);
    doubleBuffered = doubleBufferedFlag;
    return create();
}

bool BufferRuntime::create() {
    if (!backendReady()) return true;
    bufferA = backendCreateBuffer(desc, true);
    // A constant buffer has no views and no second copy.
    if (desc.constant) return true;
    const uint32_t elements = bufferElementCount(desc);
    if (bufferA) backendCreateBufferViews(bufferA, elements, srvA, uavA);
    if (doubleBuffered) {
        bufferB = backendCreateBuffer(desc, false);
        if (bufferB) backendCreateBufferViews(bufferB, elements, srvB, uavB);
    }
    return true;
}

bool BufferRuntime::release() {
    backendReleaseBuffer(*this);
    bufferA = bufferB = {};
    uavA = uavB = {};
    srvA = srvB = {};
    return true;
}

ResourceHandle BufferRuntime::getResource(bool previous) { return selectsCopyB(previous) ? bufferB : bufferA; }
UavHandle BufferRuntime::getUnorderedAccessView(bool previous) { return selectsCopyB(previous) ? uavB : uavA; }
SrvHandle BufferRuntime::getShaderResourceView(bool previous) { return selectsCopyB(previous) ? srvB : srvA; }
RtvHandle BufferRuntime::getRenderTargetView(bool) { return {}; }
DsvHandle BufferRuntime::getDepthStencilView() { return {}; }

}  // namespace Orrery::Gfx
