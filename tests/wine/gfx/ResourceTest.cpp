// The resource classes against a real device: what each descriptor creates.
#include <gtest/gtest.h>

#include <cstring>

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

TEST_F(ResourceTest, ColourTextureHasEveryViewAndBinding) {
    TextureRuntime tex;
    ASSERT_TRUE(tex.init(desc2D(64, 32, FormatCode::R16G16B16A16Float), false));
    ASSERT_NE(tex.textureA, nullptr);
    EXPECT_EQ(tex.textureB, nullptr);
    D3D11_TEXTURE2D_DESC d = GfxTest::describe2D(tex.textureA);
    EXPECT_EQ(d.Width, 64u);
    EXPECT_EQ(d.Height, 32u);
    EXPECT_EQ(d.MipLevels, 1u);
    EXPECT_EQ(d.Format, DXGI_FORMAT_R16G16B16A16_FLOAT);
    EXPECT_EQ(d.BindFlags, UINT(D3D11_BIND_SHADER_RESOURCE | D3D11_BIND_RENDER_TARGET | D3D11_BIND_UNORDERED_ACCESS));
    EXPECT_EQ(d.MiscFlags, 0u);
    EXPECT_NE(tex.srvA, nullptr);
    EXPECT_NE(tex.rtvA, nullptr);
    EXPECT_NE(tex.uavA, nullptr);
    EXPECT_EQ(tex.dsv, nullptr);
    EXPECT_EQ(tex.srvB, nullptr);
    EXPECT_EQ(tex.rtvB, nullptr);
    tex.release();
}

TEST_F(ResourceTest, MipmappedTextureGetsTheFullChainFromItsLargestSide) {
    TextureRuntime tex;
    tex.init(desc2D(1920, 1080, FormatCode::R8G8B8A8Unorm, true), false);
    ASSERT_NE(tex.textureA, nullptr);
    D3D11_TEXTURE2D_DESC d = GfxTest::describe2D(tex.textureA);
    EXPECT_EQ(d.MipLevels, 11u);
    EXPECT_EQ(d.MiscFlags, UINT(D3D11_RESOURCE_MISC_GENERATE_MIPS));
    D3D11_SHADER_RESOURCE_VIEW_DESC s = {};
    ASSERT_NE(tex.srvA, nullptr);
    tex.srvA->GetDesc(&s);
    EXPECT_EQ(s.Texture2D.MipLevels, 11u);
    tex.generateMips();  // must be harmless on a real chain
    tex.release();
}

TEST_F(ResourceTest, ZeroWidthBecomesOneTexel) {
    TextureRuntime tex;
    tex.init(desc2D(0, 5, FormatCode::R32Float), false);
    D3D11_TEXTURE2D_DESC d = GfxTest::describe2D(tex.textureA);
    EXPECT_EQ(d.Width, 1u);
    EXPECT_EQ(d.Height, 5u);
    EXPECT_EQ(d.Format, DXGI_FORMAT_R32_FLOAT);
    tex.release();
}

TEST_F(ResourceTest, DepthTextureHasOnlyADepthView) {
    TextureRuntime tex;
    tex.init(desc2D(16, 16, FormatCode::D32Float, true), true);
    ASSERT_NE(tex.textureA, nullptr);
    D3D11_TEXTURE2D_DESC d = GfxTest::describe2D(tex.textureA);
    EXPECT_EQ(d.MipLevels, 1u);
    EXPECT_EQ(d.BindFlags, UINT(D3D11_BIND_DEPTH_STENCIL));
    EXPECT_EQ(d.MiscFlags, 0u);
    EXPECT_EQ(d.Format, DXGI_FORMAT_D32_FLOAT);
    EXPECT_NE(tex.dsv, nullptr);
    EXPECT_EQ(tex.getDepthStencilView(), tex.dsv);
    EXPECT_EQ(tex.srvA, nullptr);
    EXPECT_EQ(tex.rtvA, nullptr);
    EXPECT_EQ(tex.uavA, nullptr);
    // The second copy exists but gets no view at all.
    EXPECT_NE(tex.textureB, nullptr);
    EXPECT_EQ(tex.srvB, nullptr);
    EXPECT_EQ(tex.rtvB, nullptr);
    EXPECT_EQ(tex.uavB, nullptr);
    tex.generateMips();  // no view to generate from: must not touch the device
    tex.release();
}

TEST_F(ResourceTest, OneAndThreeDimensionalTexturesHaveNoRenderTargetView) {
    TextureDesc one = desc2D(32, 7, FormatCode::R8G8B8A8Unorm);
    one.dimension = TextureDimension::Texture1D;
    TextureRuntime tex1;
    tex1.init(one, false);
    ID3D11Texture1D* t1 = as<ID3D11Texture1D>(tex1.textureA);
    ASSERT_NE(t1, nullptr);
    D3D11_TEXTURE1D_DESC d1 = {};
    t1->GetDesc(&d1);
    EXPECT_EQ(d1.Width, 32u);
    EXPECT_EQ(d1.BindFlags, UINT(D3D11_BIND_SHADER_RESOURCE | D3D11_BIND_UNORDERED_ACCESS));
    EXPECT_NE(tex1.srvA, nullptr);
    EXPECT_NE(tex1.uavA, nullptr);
    EXPECT_EQ(tex1.rtvA, nullptr);
    tex1.release();

    // Mipmapped, the render-target binding appears (mip generation needs it)
    // but still no render-target view.
    one.mipmapped = true;
    TextureRuntime mipped;
    mipped.init(one, false);
    t1 = as<ID3D11Texture1D>(mipped.textureA);
    ASSERT_NE(t1, nullptr);
    t1->GetDesc(&d1);
    EXPECT_EQ(d1.MipLevels, 6u);
    EXPECT_EQ(d1.BindFlags,
              UINT(D3D11_BIND_SHADER_RESOURCE | D3D11_BIND_UNORDERED_ACCESS | D3D11_BIND_RENDER_TARGET));
    EXPECT_EQ(d1.MiscFlags, UINT(D3D11_RESOURCE_MISC_GENERATE_MIPS));
    EXPECT_EQ(mipped.rtvA, nullptr);
    mipped.release();

    TextureDesc three = desc2D(8, 4, FormatCode::R32Float);
    three.dimension = TextureDimension::Texture3D;
    three.depth = 3;
    TextureRuntime tex3;
    tex3.init(three, true);
    ID3D11Texture3D* t3 = as<ID3D11Texture3D>(tex3.textureA);
    ASSERT_NE(t3, nullptr);
    D3D11_TEXTURE3D_DESC d3 = {};
    t3->GetDesc(&d3);
    EXPECT_EQ(d3.Depth, 3u);
    EXPECT_EQ(d3.BindFlags, UINT(D3D11_BIND_SHADER_RESOURCE | D3D11_BIND_UNORDERED_ACCESS));
    EXPECT_EQ(tex3.rtvA, nullptr);
    EXPECT_EQ(tex3.rtvB, nullptr);
    ASSERT_NE(tex3.uavB, nullptr);
    D3D11_UNORDERED_ACCESS_VIEW_DESC u = {};
    tex3.uavA->GetDesc(&u);
    EXPECT_EQ(u.ViewDimension, D3D11_UAV_DIMENSION_TEXTURE3D);
    EXPECT_EQ(u.Texture3D.WSize, 3u);
    tex3.release();
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
    d.constant = false;
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
    ASSERT_NE(buf.srvA, nullptr);
    D3D11_SHADER_RESOURCE_VIEW_DESC s = {};
    buf.srvA->GetDesc(&s);
    EXPECT_EQ(s.Buffer.NumElements, 27u);
    EXPECT_NE(buf.uavA, nullptr);
    EXPECT_NE(buf.bufferB, nullptr);
    EXPECT_NE(buf.srvB, nullptr);
    EXPECT_NE(buf.uavB, nullptr);
    EXPECT_EQ(buf.getRenderTargetView(false), nullptr);
    EXPECT_EQ(buf.getDepthStencilView(), nullptr);
    EXPECT_EQ(buf.getShaderResourceView(true), buf.srvB);
    buf.swapped = true;
    EXPECT_EQ(buf.getShaderResourceView(true), buf.srvA);
    EXPECT_EQ(buf.getUnorderedAccessView(false), buf.uavB);
    EXPECT_TRUE(buf.release());
    EXPECT_EQ(buf.bufferA, nullptr);
    EXPECT_EQ(buf.uavB, nullptr);
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
