// The image loader: decoding, row order, and refusing what is not an image.
#define STB_IMAGE_WRITE_IMPLEMENTATION
#include <stb/stb_image_write.h>

#include <gtest/gtest.h>
#include <windows.h>

#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "GfxTestDevice.h"
#include "Orrery/gfx/Resource.h"

using namespace Orrery::Gfx;

namespace {

constexpr int kW = 3;
constexpr int kH = 4;

// Every texel distinct: (x, y) holds (x, y, 10x + y, 255 - y).
std::vector<uint8_t> testPixels() {
    std::vector<uint8_t> p(kW * kH * 4);
    for (int y = 0; y < kH; ++y)
        for (int x = 0; x < kW; ++x) {
            uint8_t* t = &p[(y * kW + x) * 4];
            t[0] = uint8_t(x);
            t[1] = uint8_t(y);
            t[2] = uint8_t(10 * x + y);
            t[3] = uint8_t(255 - y);
        }
    return p;
}

void appendBytes(void* context, void* data, int size) {
    auto* out = static_cast<std::vector<uint8_t>*>(context);
    out->insert(out->end(), static_cast<uint8_t*>(data), static_cast<uint8_t*>(data) + size);
}

std::vector<uint8_t> encodePng() {
    std::vector<uint8_t> png;
    auto pixels = testPixels();
    stbi_write_png_to_func(appendBytes, &png, kW, kH, 4, pixels.data(), kW * 4);
    return png;
}

std::string tempPath(const char* name) {
    char dir[MAX_PATH] = {};
    GetTempPathA(MAX_PATH, dir);
    return std::string(dir) + name;
}

class ImageTest : public ::testing::Test {
protected:
    void SetUp() override {
        if (!GfxTest::startRuntime()) GTEST_SKIP() << "no Direct3D 11 device";
    }
    // The texture must hold the image upside down: texture row r is image row H-1-r.
    void expectFlipped(ImageRuntime& image) {
        auto texels = GfxTest::readTexture2D(image.textureA, 4);
        ASSERT_EQ(texels.size(), size_t(kW * kH * 4));
        auto source = testPixels();
        for (int r = 0; r < kH; ++r)
            EXPECT_EQ(0, std::memcmp(&texels[r * kW * 4], &source[(kH - 1 - r) * kW * 4], kW * 4)) << "row " << r;
    }
};

TEST_F(ImageTest, DecodesFromMemoryIntoAnUpsideDownRgbaTexture) {
    auto png = encodePng();
    ImageDesc desc;
    desc.data = png.data();
    desc.size = int32_t(png.size());
    auto* image = new ImageRuntime();
    ASSERT_TRUE(image->init(desc));
    EXPECT_EQ(image->desc.width, kW);
    EXPECT_EQ(image->desc.height, kH);
    EXPECT_EQ(image->desc.format, FormatCode::R8G8B8A8Unorm);
    EXPECT_FALSE(image->desc.mipmapped);
    EXPECT_FALSE(image->doubleBuffered);
    D3D11_TEXTURE2D_DESC d = GfxTest::describe2D(image->textureA);
    EXPECT_EQ(d.Format, DXGI_FORMAT_R8G8B8A8_UNORM);
    EXPECT_EQ(d.MipLevels, 1u);
    EXPECT_NE(image->srvA, nullptr);
    expectFlipped(*image);
    EXPECT_EQ(image->image.data, png.data());
    image->release();
}

TEST_F(ImageTest, MemoryWinsOverThePath) {
    auto png = encodePng();
    ImageDesc desc;
    std::strcpy(desc.path, "Z:\\definitely\\not\\here.png");
    desc.data = png.data();
    desc.size = int32_t(png.size());
    ImageRuntime image;
    ASSERT_TRUE(image.init(desc));
    expectFlipped(image);
    image.release();
}

TEST_F(ImageTest, LoadsFromAFileWhenNoMemoryIsGiven) {
    std::string path = tempPath("thaw-gfx-image-test.png");
    auto pixels = testPixels();
    ASSERT_NE(stbi_write_png(path.c_str(), kW, kH, 4, pixels.data(), kW * 4), 0);
    ImageDesc desc;
    std::strcpy(desc.path, path.c_str());
    ImageRuntime image;
    ASSERT_TRUE(image.init(desc));
    expectFlipped(image);
    image.release();
    std::remove(path.c_str());
}

TEST_F(ImageTest, BadDataFailsWithoutCreatingAnything) {
    auto png = encodePng();
    std::vector<uint8_t> corrupt(png.begin(), png.begin() + png.size() / 2);
    const uint8_t garbage[] = {'n', 'o', 't', ' ', 'a', 'n', ' ', 'i', 'm', 'a', 'g', 'e'};

    ImageDesc desc;
    desc.data = garbage;
    desc.size = sizeof garbage;
    ImageRuntime a;
    EXPECT_FALSE(a.init(desc));
    EXPECT_EQ(a.textureA, nullptr);
    EXPECT_EQ(a.srvA, nullptr);

    desc.data = corrupt.data();
    desc.size = int32_t(corrupt.size());
    ImageRuntime b;
    EXPECT_FALSE(b.init(desc));
    EXPECT_EQ(b.textureA, nullptr);

    // A length that does not describe any bytes is refused before decoding.
    desc.data = png.data();
    desc.size = -5;
    ImageRuntime c;
    EXPECT_FALSE(c.init(desc));
    desc.size = 0;
    EXPECT_FALSE(c.init(desc));
    EXPECT_EQ(c.textureA, nullptr);
}

TEST_F(ImageTest, MissingFileFails) {
    ImageDesc desc;
    std::strcpy(desc.path, tempPath("thaw-gfx-no-such-image.png").c_str());
    ImageRuntime image;
    EXPECT_FALSE(image.init(desc));
    EXPECT_EQ(image.textureA, nullptr);

    // A path field filled to the brim is still read as a (missing) file name.
    ImageDesc full;
    std::memset(full.path, 'a', sizeof full.path);
    ImageRuntime other;
    EXPECT_FALSE(other.init(full));
}

}  // namespace
