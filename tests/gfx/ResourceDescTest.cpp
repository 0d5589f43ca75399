#include <gtest/gtest.h>

#include "Orrery/gfx/ResourceDesc.h"

using namespace Orrery::Gfx;

namespace {

TextureDesc texture(int32_t dimension, int32_t w, int32_t h, int32_t d, int32_t format, bool mips) {
    TextureDesc t;
    t.dimension = dimension;
    t.width = w;
    t.height = h;
    t.depth = d;
    t.format = format;
    t.mipmapped = mips;
    return t;
}

}  // namespace

TEST(FormatCodeTest, MapsToDxgiFormats) {
    const uint32_t expected[8] = {41, 28, 87, 10, 2, 45, 40, 42};
    for (int32_t code = 0; code < 8; ++code) EXPECT_EQ(dxgiFormatOf(code), expected[code]) << code;
    EXPECT_EQ(dxgiFormatOf(8), 0u);
    EXPECT_EQ(dxgiFormatOf(-1), 0u);
    EXPECT_TRUE(isDepthFormat(5));
    EXPECT_TRUE(isDepthFormat(6));
    EXPECT_FALSE(isDepthFormat(7));
    EXPECT_FALSE(isDepthFormat(0));
}

TEST(MipCount, LargestUsedExtentDecides) {
    using D = TextureDimension::Value;
    EXPECT_EQ(textureMipCount(texture(D::Texture2D, 1920, 1080, 0, 3, true)), 11u);
    EXPECT_EQ(textureMipCount(texture(D::Texture2D, 1024, 1024, 0, 1, true)), 11u);
    EXPECT_EQ(textureMipCount(texture(D::Texture2D, 1, 1, 0, 1, true)), 1u);
    EXPECT_EQ(textureMipCount(texture(D::Texture2D, 16, 600, 0, 1, true)), 10u);
    // 1D ignores the height; 3D also looks at the depth.
    EXPECT_EQ(textureMipCount(texture(D::Texture1D, 16, 600, 0, 1, true)), 5u);
    EXPECT_EQ(textureMipCount(texture(D::Texture3D, 4, 8, 64, 1, true)), 7u);
    EXPECT_EQ(textureMipCount(texture(D::Texture2D, 4, 8, 64, 1, true)), 4u);
}

TEST(MipCount, OneLevelWithoutMipmapsOrForDepth) {
    using D = TextureDimension::Value;
    EXPECT_EQ(textureMipCount(texture(D::Texture2D, 1920, 1080, 0, 3, false)), 1u);
    EXPECT_EQ(textureMipCount(texture(D::Texture2D, 1920, 1080, 0, 5, true)), 1u);
    EXPECT_EQ(textureMipCount(texture(D::Texture2D, 1920, 1080, 0, 6, true)), 1u);
    EXPECT_EQ(textureMipCount(texture(D::Texture2D, 0, 0, 0, 1, true)), 1u);
}

TEST(BufferSize, RoundsUpToSixteenBytes) {
    BufferDesc b;
    b.stride = 4;
    b.countX = 27;
    EXPECT_EQ(bufferByteWidth(b), 112u);
    EXPECT_EQ(bufferElementCount(b), 27u);

    BufferDesc c;
    c.constant = true;
    c.stride = 716;
    EXPECT_EQ(bufferByteWidth(c), 720u);

    BufferDesc grid;
    grid.stride = 16;
    grid.countX = 4;
    grid.countY = 3;
    grid.countZ = 2;
    EXPECT_EQ(bufferElementCount(grid), 24u);
    EXPECT_EQ(bufferByteWidth(grid), 384u);
}

TEST(BufferSize, NegativeCountsOrStrideGiveNothing) {
    BufferDesc b;
    b.countY = -2;
    EXPECT_EQ(bufferElementCount(b), 0u);
    EXPECT_EQ(bufferByteWidth(b), 0u);
    BufferDesc s;
    s.stride = -4;
    EXPECT_EQ(bufferByteWidth(s), 0u);
}
