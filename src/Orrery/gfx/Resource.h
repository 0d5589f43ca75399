// GPU resources: one small class tree whose objects create their graphics
// API objects from a plain descriptor and hand out views to the passes. The
// handle types come from the back end (Orrery/gfx/Native.h): Direct3D 11
// interface pointers, OpenGL ES object names, or the null back end's counters.
// On OpenGL ES a "view" is the name of the object it views.
//
// A double-buffered resource owns two copies, A and B. `swapped` false means
// A is this frame's copy and B the previous one; the runtime inverts it after
// every frame. Getters that take `previous` return this frame's copy for
// false and last frame's copy for true (always A when single-buffered).
//
// The show creates its objects with new and keeps them for the whole run
// (hence no virtual destructor); whoever builds graphs at run time releases
// and deletes them through their own type. API results are not examined: a
// failed creation leaves an empty handle that the getters hand out unchanged.
#pragma once

#include "Orrery/gfx/Native.h"
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
    virtual ResourceHandle getResource(bool previous) = 0;
    virtual UavHandle getUnorderedAccessView(bool previous) = 0;
    virtual SrvHandle getShaderResourceView(bool previous) = 0;
    virtual RtvHandle getRenderTargetView(bool previous) = 0;
    virtual DsvHandle getDepthStencilView() = 0;

protected:
    // True when copy B is the one to hand out for `previous`.
    bool selectsCopyB(bool previous) const { return doubleBuffered && previous != swapped; }
};

class TextureRuntime : public Resource {
public:
    TextureDesc desc;
    ResourceHandle textureA = {};
    ResourceHandle textureB = {};
    UavHandle uavA = {};
    SrvHandle srvA = {};
    RtvHandle rtvA = {};
    DsvHandle dsv = {};
    UavHandle uavB = {};
    SrvHandle srvB = {};
    RtvHandle rtvB = {};

    using Resource::init;
    bool init(const TextureDesc& descriptor, bool doubleBuffered) {
        return init(static_cast<const void*>(&descriptor), doubleBuffered);
    }

    bool init(const void* descriptor, bool doubleBuffered) override;
    bool create() override;
    bool release() override;
    ResourceHandle getResource(bool previous) override;
    UavHandle getUnorderedAccessView(bool previous) override;
    SrvHandle getShaderResourceView(bool previous) override;
    RtvHandle getRenderTargetView(bool previous) override;
    DsvHandle getDepthStencilView() override;
    // Writes tightly packed pixels into the top level of copy A.
    virtual void upload(const void* pixels, uint32_t width, uint32_t height, uint8_t bytesPerPixel);
    // Rebuilds the mip chains of a mipmapped texture.
    virtual void generateMips();

    // Draws into an outside target (a swap chain's back buffer, a capture's
    // 8-bit texture) instead of copy A. The outside target stays its owner's:
    // release leaves it alone.
    void putOutsideTarget(RtvHandle target) { rtvA = target; }
};

// A texture decoded from a PNG (or any format stb_image reads), either in
// memory or in a file. Stored bottom row first: the image's last row is
// texture row 0.
class ImageRuntime : public TextureRuntime {
public:
    ImageDesc image;

    // Hides the TextureDesc overload: an image is only ever given an ImageDesc.
    bool init(const ImageDesc& descriptor) { return init(static_cast<const void*>(&descriptor), false); }

    // Decodes and uploads; false (and no API objects) when the image
    // cannot be decoded. The doubleBuffered flag is ignored.
    bool init(const void* descriptor, bool doubleBuffered) override;
    bool create() override;
};

class BufferRuntime : public Resource {
public:
    BufferDesc desc;
    BufferHandle bufferA = {};
    BufferHandle bufferB = {};
    UavHandle uavA = {};
    SrvHandle srvA = {};
    UavHandle uavB = {};
    SrvHandle srvB = {};

    using Resource::init;
    bool init(const BufferDesc& descriptor, bool doubleBuffered) {
        return init(static_cast<const void*>(&descriptor), doubleBuffered);
    }

    bool init(const void* descriptor, bool doubleBuffered) override;
    bool create() override;
    bool release() override;
    ResourceHandle getResource(bool previous) override;
    UavHandle getUnorderedAccessView(bool previous) override;
    SrvHandle getShaderResourceView(bool previous) override;
    RtvHandle getRenderTargetView(bool previous) override;
    DsvHandle getDepthStencilView() override;
};

}  // namespace Orrery::Gfx
