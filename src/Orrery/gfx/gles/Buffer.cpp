#include <cstdlib>
#include <cstring>

#include "Orrery/gfx/GfxContext.h"
#include "Orrery/gfx/Resource.h"

namespace Orrery::Gfx {

namespace {

// A buffer of `bytes` zeros, then the first `initialBytes` of `initial`.
GLuint createBuffer(GLenum target, uint32_t bytes, const void* initial, uint32_t initialBytes) {
    GLuint buffer = 0;
    glGenBuffers(1, &buffer);
    glBindBuffer(target, buffer);
    void* zeros = std::calloc(bytes ? bytes : 1, 1);
    glBufferData(target, GLsizeiptr(bytes), zeros, GL_DYNAMIC_DRAW);
    std::free(zeros);
    if (initial && initialBytes) glBufferSubData(target, 0, GLsizeiptr(initialBytes), initial);
    glBindBuffer(target, 0);
    return buffer;
}

void deleteBuffer(GLuint& buffer) {
    if (buffer) glDeleteBuffers(1, &buffer);
    buffer = 0;
}

}  // namespace

bool BufferRuntime::init(const void* descriptor, bool doubleBufferedFlag) {
    if (descriptor) std::memcpy(&desc, descriptor, sizeof desc);
    doubleBuffered = doubleBufferedFlag;
    return create();
}

bool BufferRuntime::create() {
    if (!gfxContext.ready) return true;
    const uint32_t bytes = bufferByteWidth(desc);
    // The initial data covers the elements, not the rounding up to 16 bytes.
    const uint64_t used = uint64_t(bufferElementCount(desc)) * uint64_t(desc.stride > 0 ? desc.stride : 0);
    const uint32_t initialBytes = used < bytes ? uint32_t(used) : bytes;
    const GLenum target = desc.constant ? GL_UNIFORM_BUFFER : GL_COPY_WRITE_BUFFER;
    bufferA = createBuffer(target, bytes, desc.initialData, initialBytes);
    if (desc.constant) return true;
    srvA = uavA = bufferA;
    if (doubleBuffered) {
        bufferB = createBuffer(target, bytes, nullptr, 0);
        srvB = uavB = bufferB;
    }
    return true;
}

bool BufferRuntime::release() {
    deleteBuffer(bufferA);
    deleteBuffer(bufferB);
    uavA = srvA = uavB = srvB = 0;
    return true;
}

GLuint BufferRuntime::getResource(bool previous) { return selectsCopyB(previous) ? bufferB : bufferA; }
GLuint BufferRuntime::getUnorderedAccessView(bool previous) { return selectsCopyB(previous) ? uavB : uavA; }
GLuint BufferRuntime::getShaderResourceView(bool previous) { return selectsCopyB(previous) ? srvB : srvA; }
GLuint BufferRuntime::getRenderTargetView(bool) { return 0; }
GLuint BufferRuntime::getDepthStencilView() { return 0; }

}  // namespace Orrery::Gfx
