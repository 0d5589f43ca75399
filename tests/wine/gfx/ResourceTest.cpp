// The resource classes against a real device: the Direct3D objects each
// descriptor creates. Which views exist is the shared contract
// (tests/gfx/RuntimeContractTest.cpp).
#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "GfxTestDevice.h"
#include "Orrery/gfx/Resource.h"

using namespace Orrery::Gfx;

namespace {

class ResourceTest : public ::testing::Test {
protected:
    void SetUp() override {
        if (!GfxTest::startRuntime()) GTEST_SKIP() << "no Direct3D 11 device";
    }
};

TextureDesc desc2D(int32_t w, int32_t h, int32_t format, bool mipmapped = false) {
    TextureDesc d;
    d.dimension = TextureDimension::Texture2D;
    d.width = w;
    d.height = h;
    d.format = format;
    d.mipmapped = mipmapped;
    return d;
}

template <typename T>
T* as(ID3D11Resource* r) {
    T* t = nullptr;
    if (r) r->QueryInterface(__uuidof(T), reinterpret_cast<void**>(&t));
    if (t) t->Release();  // the resource keeps its own reference
    return t;
}

// The Direct3D description of copy A, whatever its dimension.
struct Made {
    UINT width, height, depth, mips, bind, misc;
    DXGI_FORMAT format;
};

Made describe(ID3D11Resource* r) {
    Made m = {};
    if (auto* t = as<ID3D11Texture1D>(r)) {
        D3D11_TEXTURE1D_DESC d = {};
        t->GetDesc(&d);
        m = {d.Width, 1, 1, d.MipLevels, d.BindFlags, d.MiscFlags, d.Format};
    } else if (auto* t2 = as<ID3D11Texture2D>(r)) {
        D3D11_TEXTURE2D_DESC d = {};
        t2->GetDesc(&d);
        m = {d.Width, d.Height, 1, d.MipLevels, d.BindFlags, d.MiscFlags, d.Format};
    } else if (auto* t3 = as<ID3D11Texture3D>(r)) {
        D3D11_TEXTURE3D_DESC d = {};
        t3->GetDesc(&d);
        m = {d.Width, d.Height, d.Depth, d.MipLevels, d.BindFlags, d.MiscFlags, d.Format};
    }
    return m;
}

// Sizes of at least one texel, the mip chain from the largest side, and the
// bindings: render target for 2D colour textures, and for 1D and 3D ones
// only when mip generation needs it; depth formats bind only as depth.
TEST_F(ResourceTest, EachDescriptorMakesItsDirect3DTexture) {
    constexpr UINT kSrvUav = D3D11_BIND_SHADER_RESOURCE | D3D11_BIND_UNORDERED_ACCESS;
    constexpr UINT kColour = kSrvUav | D3D11_BIND_RENDER_TARGET;
    constexpr UINT kMips = D3D11_RESOURCE_MISC_GENERATE_MIPS;
    struct Case {
        int32_t dimension, width, height, depth, format;
        bool mipmapped;
        Made made;
    };
    const Case cases[] = {
        {1, 64, 32, 0, FormatCode::R16G16B16A16Float, false, {64, 32, 1, 1, kColour, 0, DXGI_FORMAT_R16G16B16A16_FLOAT}},
        {1, 1920, 1080, 0, FormatCode::R8G8B8A8Unorm, true, {1920, 1080, 1, 11, kColour, kMips, DXGI_FORMAT_R8G8B8A8_UNORM}},
        {1, 0, 5, 0, FormatCode::R32Float, false, {1, 5, 1, 1, kColour, 0, DXGI_FORMAT_R32_FLOAT}},
        {1, 16, 16, 0, FormatCode::D32Float, true, {16, 16, 1, 1, D3D11_BIND_DEPTH_STENCIL, 0, DXGI_FORMAT_D32_FLOAT}},
        {0, 32, 7, 0, FormatCode::R8G8B8A8Unorm, false, {32, 1, 1, 1, kSrvUav, 0, DXGI_FORMAT_R8G8B8A8_UNORM}},
        {0, 32, 7, 0, FormatCode::R8G8B8A8Unorm, true, {32, 1, 1, 6, kColour, kMips, DXGI_FORMAT_R8G8B8A8_UNORM}},
        {2, 8, 4, 3, FormatCode::R32Float, false, {8, 4, 3, 1, kSrvUav, 0, DXGI_FORMAT_R32_FLOAT}},
    };
    for (const Case& c : cases) {
        TextureDesc d = desc2D(c.width, c.height, c.format, c.mipmapped);
        d.dimension = c.dimension;
        d.depth = c.depth;
        TextureRuntime tex;
        tex.init(d, false);
        const Made m = describe(tex.textureA);
        const std::string at = std::to_string(&c - cases);
        EXPECT_EQ(m.width, c.made.width) << at;
        EXPECT_EQ(m.height, c.made.height) << at;
        EXPECT_EQ(m.depth, c.made.depth) << at;
        EXPECT_EQ(m.mips, c.made.mips) << at;
        EXPECT_EQ(m.bind, c.made.bind) << at;
        EXPECT_EQ(m.misc, c.made.misc) << at;
        EXPECT_EQ(m.format, c.made.format) << at;
        if (tex.srvA) {
            D3D11_SHADER_RESOURCE_VIEW_DESC s = {};
            tex.srvA->GetDesc(&s);
            EXPECT_EQ(s.Texture2D.MipLevels, c.made.mips) << at;  // the same place for every dimension
        }
        if (c.dimension == TextureDimension::Texture3D) {
            D3D11_UNORDERED_ACCESS_VIEW_DESC u = {};
            tex.uavA->GetDesc(&u);
            EXPECT_EQ(u.ViewDimension, D3D11_UAV_DIMENSION_TEXTURE3D);
            EXPECT_EQ(u.Texture3D.WSize, 3u);
        }
        tex.generateMips();  // harmless on a real chain, and without a view
        tex.release();
    }
}

TEST_F(ResourceTest, UploadWritesCopyAOnly) {
    TextureRuntime tex;
    tex.init(desc2D(3, 2, FormatCode::R8G8B8A8Unorm), true);
    uint8_t pixels[3 * 2 * 4];
    for (int i = 0; i < 24; ++i) pixels[i] = uint8_t(10 * i + 1);
    tex.upload(pixels, 3, 2, 4);
    auto a = GfxTest::readTexture2D(tex.textureA, 4);
    ASSERT_EQ(a.size(), 24u);
    EXPECT_EQ(std::vector<uint8_t>(pixels, pixels + 24), a);
    tex.release();

    TextureRuntime empty;  // never created: nothing to write into
    empty.upload(pixels, 3, 2, 4);
    EXPECT_EQ(empty.textureA, nullptr);
}

TEST_F(ResourceTest, StructuredBufferSizeFlagsAndViews) {
    BufferRuntime buf;
    BufferDesc d;
    d.stride = 4;
    d.countX = 27;
    ASSERT_TRUE(buf.init(d, true));
    ASSERT_NE(buf.bufferA, nullptr);
    D3D11_BUFFER_DESC b = {};
    buf.bufferA->GetDesc(&b);
    EXPECT_EQ(b.ByteWidth, 112u);
    EXPECT_EQ(b.BindFlags, UINT(D3D11_BIND_SHADER_RESOURCE | D3D11_BIND_UNORDERED_ACCESS));
    EXPECT_EQ(b.MiscFlags, UINT(D3D11_RESOURCE_MISC_BUFFER_STRUCTURED));
    EXPECT_EQ(b.StructureByteStride, 4u);
    ASSERT_NE(buf.srvB, nullptr);
    D3D11_SHADER_RESOURCE_VIEW_DESC s = {};
    buf.srvB->GetDesc(&s);
    EXPECT_EQ(s.Buffer.NumElements, 27u);
    buf.release();
}

TEST_F(ResourceTest, ConstantBufferHasNoViewsAndNoSecondCopy) {
    uint8_t initial[720] = {};
    for (int i = 0; i < 716; ++i) initial[i] = uint8_t(i * 7);
    BufferRuntime buf;
    BufferDesc d;
    d.constant = true;
    d.stride = 716;
    d.initialData = initial;
    buf.init(d, true);
    ASSERT_NE(buf.bufferA, nullptr);
    D3D11_BUFFER_DESC b = {};
    buf.bufferA->GetDesc(&b);
    EXPECT_EQ(b.ByteWidth, 720u);
    EXPECT_EQ(b.BindFlags, UINT(D3D11_BIND_CONSTANT_BUFFER));
    EXPECT_EQ(b.MiscFlags, 0u);
    EXPECT_EQ(buf.bufferB, nullptr);
    EXPECT_EQ(buf.srvA, nullptr);
    EXPECT_EQ(buf.uavA, nullptr);
    auto bytes = GfxTest::readBuffer(buf.bufferA);
    ASSERT_EQ(bytes.size(), 720u);
    EXPECT_EQ(std::vector<uint8_t>(bytes.begin(), bytes.begin() + 716), std::vector<uint8_t>(initial, initial + 716));
    buf.release();
}

TEST_F(ResourceTest, StructuredBufferStartsWithItsInitialData) {
    float values[8] = {1, 2, 3, 4, 5, 6, 7, 8};
    BufferRuntime buf;
    BufferDesc d;
    d.stride = 16;
    d.countX = 2;
    d.initialData = values;
    buf.init(d, false);
    auto bytes = GfxTest::readBuffer(buf.bufferA);
    ASSERT_EQ(bytes.size(), 32u);
    EXPECT_EQ(0, std::memcmp(bytes.data(), values, 32));
    EXPECT_EQ(buf.bufferB, nullptr);
    buf.release();
}

}  // namespace
