// OpenGL ES 3.0 buffers: constant buffers are uniform buffers, other buffers
// plain buffer objects (OpenGL ES 3.0 has no shader storage, so no pass can
// view them; their views are the buffer's name).
#include <cstdlib>

#include "Orrery/gfx/Backend.h"

namespace Orrery::Gfx {

namespace {

GLenum targetOf(const BufferDesc& desc) { return desc.constant ? GL_UNIFORM_BUFFER : GL_COPY_WRITE_BUFFER; }

}  // namespace

BufferHandle backendCreateBuffer(const BufferDesc& desc, bool withInitialData) {
    const uint32_t bytes = bufferByteWidth(desc);
    // The initial data covers the elements, not the rounding up to 16 bytes.
    const uint64_t used = uint64_t(bufferElementCount(desc)) * uint64_t(desc.stride > 0 ? desc.stride : 0);
    const uint32_t initialBytes = used < bytes ? uint32_t(used) : bytes;
    const GLenum target = targetOf(desc);
    GLuint buffer = 0;
    glGenBuffers(1, &buffer);
    glBindBuffer(target, buffer);
    // A buffer of zeros, then the initial data over its start.
    void* zeros = std::calloc(bytes ? bytes : 1, 1);
    glBufferData(target, GLsizeiptr(bytes), zeros, GL_DYNAMIC_DRAW);
    std::free(zeros);
    if (withInitialData && desc.initialData && initialBytes)
        glBufferSubData(target, 0, GLsizeiptr(initialBytes), desc.initialData);
    glBindBuffer(target, 0);
    return buffer;
}

void backendCreateBufferViews(BufferHandle buffer, uint32_t, SrvHandle& srv, UavHandle& uav) { srv = uav = buffer; }

void backendReleaseBuffer(BufferRuntime& b) {
    const GLuint buffers[2] = {b.bufferA, b.bufferB};
    for (GLuint buffer : buffers)
        if (buffer) glDeleteBuffers(1, &buffer);
}

void backendWriteBuffer(BufferHandle buffer, const void* data, uint32_t size) {
    glBindBuffer(GL_UNIFORM_BUFFER, buffer);
    glBufferSubData(GL_UNIFORM_BUFFER, 0, GLsizeiptr(size), data);
    glBindBuffer(GL_UNIFORM_BUFFER, 0);
}

}  // namespace Orrery::Gfx
