// GPU resources: one small class tree whose objects create their Direct3D 11
// objects from a plain descriptor and hand out views to the passes.
//
// A double-buffered resource owns two copies, A and B. `swapped` false means
// A is this frame's copy and B the previous one; the runtime inverts it after
// every frame. Getters that take `previous` return this frame's copy for
// false and last frame's copy for true (always A when single-buffered).
//
// Objects are created with new, live for the whole run and are never deleted
// (hence no virtual destructor). Direct3D results are not examined: a failed
// creation leaves a null pointer that the getters hand out unchanged.
#pragma once

#include <d3d11.h>

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
    virtual ID3D11Resource* getResource(bool previous) = 0;
    virtual ID3D11UnorderedAccessView* getUnorderedAccessView(bool previous) = 0;
    virtual ID3D11ShaderResourceView* getShaderResourceView(bool previous) = 0;
    virtual ID3D11RenderTargetView* getRenderTargetView(bool previous) = 0;
    virtual ID3D11DepthStencilView* getDepthStencilView() = 0;

protected:
    // True when copy B is the one to hand out for `previous`.
    bool selectsCopyB(bool previous) const { return doubleBuffered && previous != swapped; }
};

// Releases a Direct3D object, if there is one, and clears the pointer.
template <typename T>
void releaseAndClear(T*& object) {
    if (object) object->Release();
    object = nullptr;
}

class TextureRuntime : public Resource {
public:
    TextureDesc desc;
    ID3D11Resource* textureA = nullptr;  // ID3D11Texture1D/2D/3D by dimension
    ID3D11Resource* textureB = nullptr;
    ID3D11UnorderedAccessView* uavA = nullptr;
    ID3D11ShaderResourceView* srvA = nullptr;
    ID3D11RenderTargetView* rtvA = nullptr;
    ID3D11DepthStencilView* dsv = nullptr;
    ID3D11UnorderedAccessView* uavB = nullptr;
    ID3D11ShaderResourceView* srvB = nullptr;
    ID3D11RenderTargetView* rtvB = nullptr;

    using Resource::init;
    bool init(const TextureDesc& descriptor, bool doubleBuffered) {
        return init(static_cast<const void*>(&descriptor), doubleBuffered);
    }

    bool init(const void* descriptor, bool doubleBuffered) override;
    bool create() override;
    bool release() override;
    ID3D11Resource* getResource(bool previous) override;
    ID3D11UnorderedAccessView* getUnorderedAccessView(bool previous) override;
    ID3D11ShaderResourceView* getShaderResourceView(bool previous) override;
    ID3D11RenderTargetView* getRenderTargetView(bool previous) override;
    ID3D11DepthStencilView* getDepthStencilView() override;
    // Writes tightly packed pixels into the top level of copy A.
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

    // Hides the TextureDesc overload: an image is only ever given an ImageDesc.
    bool init(const ImageDesc& descriptor) { return init(static_cast<const void*>(&descriptor), false); }

    // Decodes and uploads; false (and no Direct3D objects) when the image
    // cannot be decoded. The doubleBuffered flag is ignored.
    bool init(const void* descriptor, bool doubleBuffered) override;
    bool create() override;

};

class BufferRuntime : public Resource {
public:
    BufferDesc desc;
    ID3D11Buffer* bufferA = nullptr;
    ID3D11Buffer* bufferB = nullptr;
    ID3D11UnorderedAccessView* uavA = nullptr;
    ID3D11ShaderResourceView* srvA = nullptr;
    ID3D11UnorderedAccessView* uavB = nullptr;
    ID3D11ShaderResourceView* srvB = nullptr;

    using Resource::init;
    bool init(const BufferDesc& descriptor, bool doubleBuffered) {
        return init(static_cast<const void*>(&descriptor), doubleBuffered);
    }

    bool init(const void* descriptor, bool doubleBuffered) override;
    bool create() override;
    bool release() override;
    ID3D11Resource* getResource(bool previous) override;
    ID3D11UnorderedAccessView* getUnorderedAccessView(bool previous) override;
    ID3D11ShaderResourceView* getShaderResourceView(bool previous) override;
    ID3D11RenderTargetView* getRenderTargetView(bool previous) override;
    ID3D11DepthStencilView* getDepthStencilView() override;

};

}  // namespace Orrery::Gfx
