// GPU resources on OpenGL ES 3.0: the same class tree as the Direct3D 11
// back end, with GL object names where Direct3D has views.
//
// A "view" is the name of the object it views: the shader-resource,
// unordered-access and render-target views of a texture copy are that copy's
// texture name (render targets are level 0 of a 2D texture, attached to the
// runtime's framebuffer when a pass draws), the depth-stencil view is the
// depth texture. Whoever owns the output may put another texture into rtvA
// (the capture's 8-bit target), as the Windows shell puts the back buffer's
// view there.
//
// A double-buffered resource owns two copies, A and B. `swapped` false means
// A is this frame's copy and B the previous one; the runtime inverts it after
// every frame. Getters that take `previous` return this frame's copy for
// false and last frame's copy for true (always A when single-buffered).
//
// Objects are created with new, live for the whole run and are never deleted
// (hence no virtual destructor). Creation needs a current ES 3 context that
// initContext was told about; without one no GL object is made and every
// name stays 0. New textures and buffers read as zero, as on Direct3D.
#pragma once

#include <GLES3/gl3.h>

#include "Orrery/gfx/ResourceDesc.h"

namespace Orrery::Gfx {

class Resource {
public:
    bool doubleBuffered = false;
    bool swapped = false;

    // The descriptor's type depends on the class: TextureDesc, ImageDesc or
    // BufferDesc. Prefer the typed overloads of the classes below.
    virtual bool init(const void* descriptor, bool doubleBuffered) = 0;
    virtual bool create() = 0;
    // Per-frame hook, called on every registered resource at the start of a frame.
    virtual void update();
    virtual bool release() = 0;
    virtual GLuint getResource(bool previous) = 0;
    virtual GLuint getUnorderedAccessView(bool previous) = 0;
    virtual GLuint getShaderResourceView(bool previous) = 0;
    virtual GLuint getRenderTargetView(bool previous) = 0;
    virtual GLuint getDepthStencilView() = 0;

protected:
    // True when copy B is the one to hand out for `previous`.
    bool selectsCopyB(bool previous) const { return doubleBuffered && previous != swapped; }
};

class TextureRuntime : public Resource {
public:
    TextureDesc desc;
    GLuint textureA = 0;  // GL_TEXTURE_2D (1D and 2D) or GL_TEXTURE_3D
    GLuint textureB = 0;
    GLuint uavA = 0;
    GLuint srvA = 0;
    GLuint rtvA = 0;
    GLuint dsv = 0;
    GLuint uavB = 0;
    GLuint srvB = 0;
    GLuint rtvB = 0;

    using Resource::init;
    bool init(const TextureDesc& descriptor, bool doubleBuffered) {
        return init(static_cast<const void*>(&descriptor), doubleBuffered);
    }

    bool init(const void* descriptor, bool doubleBuffered) override;
    bool create() override;
    bool release() override;
    GLuint getResource(bool previous) override;
    GLuint getUnorderedAccessView(bool previous) override;
    GLuint getShaderResourceView(bool previous) override;
    GLuint getRenderTargetView(bool previous) override;
    GLuint getDepthStencilView() override;
    // Writes tightly packed pixels into the top level of copy A, row 0 first
    // (texture row 0 is what a pass writes at SV_Position y = 0.5).
    virtual void upload(const void* pixels, uint32_t width, uint32_t height, uint8_t bytesPerPixel);
    // Rebuilds the mip chains of a mipmapped texture.
    virtual void generateMips();
};

// A texture decoded from a PNG (or any format stb_image reads), either in
// memory or in a file. Stored bottom row first: the image's last row is
// texture row 0.
class ImageRuntime : public TextureRuntime {
public:
    ImageDesc image;

    bool init(const ImageDesc& descriptor) { return init(static_cast<const void*>(&descriptor), false); }

    // Decodes and uploads; false (and no GL objects) when the image cannot be
    // decoded. The doubleBuffered flag is ignored.
    bool init(const void* descriptor, bool doubleBuffered) override;
    bool create() override;
};

// Constant buffers are uniform buffers; other buffers are plain buffer
// objects (OpenGL ES 3.0 has no shader storage, so no pass can view them).
class BufferRuntime : public Resource {
public:
    BufferDesc desc;
    GLuint bufferA = 0;
    GLuint bufferB = 0;
    GLuint uavA = 0;
    GLuint srvA = 0;
    GLuint uavB = 0;
    GLuint srvB = 0;

    using Resource::init;
    bool init(const BufferDesc& descriptor, bool doubleBuffered) {
        return init(static_cast<const void*>(&descriptor), doubleBuffered);
    }

    bool init(const void* descriptor, bool doubleBuffered) override;
    bool create() override;
    bool release() override;
    GLuint getResource(bool previous) override;
    GLuint getUnorderedAccessView(bool previous) override;
    GLuint getShaderResourceView(bool previous) override;
    GLuint getRenderTargetView(bool previous) override;
    GLuint getDepthStencilView() override;
};

}  // namespace Orrery::Gfx
