// The copy of the finished picture to the window: the screen texture holds
// rows top first, as Direct3D stores them, while a window framebuffer counts
// rows from the bottom; the picture must arrive upright.
#include <gtest/gtest.h>

#include "GlesTestContext.h"

using namespace Orrery::Gfx;

TEST(Present, TheTopRowOfThePictureLandsAtTheTopOfTheWindow) {
    const char* error = nullptr;
    ASSERT_TRUE(ensureGlesTestContext(&error)) << error;
    const int32_t width = 2, height = 4;
    TextureRuntime* screen = makeTexture(width, height, FormatCode::R8G8B8A8Unorm);
    const GLuint picture = glesAttachScreenTarget(*screen);
    ASSERT_NE(picture, 0u);
    // Rows top first: red, then black.
    std::vector<uint8_t> pixels(size_t(width) * height * 4, 0);
    for (int32_t x = 0; x < width; ++x) pixels[size_t(x) * 4] = 255, pixels[size_t(x) * 4 + 3] = 255;
    glBindTexture(GL_TEXTURE_2D, picture);
    glPixelStorei(GL_UNPACK_ALIGNMENT, 1);
    glTexSubImage2D(GL_TEXTURE_2D, 0, 0, 0, width, height, GL_RGBA, GL_UNSIGNED_BYTE, pixels.data());
    glBindTexture(GL_TEXTURE_2D, 0);

    // The window: a framebuffer twice the picture's size, as a larger display.
    GLuint windowTexture = 0, window = 0;
    glGenTextures(1, &windowTexture);
    glBindTexture(GL_TEXTURE_2D, windowTexture);
    glTexStorage2D(GL_TEXTURE_2D, 1, GL_RGBA8, 2 * width, 2 * height);
    glGenFramebuffers(1, &window);
    glBindFramebuffer(GL_FRAMEBUFFER, window);
    glFramebufferTexture2D(GL_FRAMEBUFFER, GL_COLOR_ATTACHMENT0, GL_TEXTURE_2D, windowTexture, 0);
    glesPresent(*screen, window, 2 * width, 2 * height);
    ASSERT_EQ(glGetError(), GLenum(GL_NO_ERROR));

    // Read back bottom row first: the last two rows are the picture's top.
    const std::vector<float> shown = readTexture(windowTexture, 2 * width, 2 * height, false);
    for (int32_t row = 0; row < 2 * height; ++row) {
        const float red = shown[size_t(row) * 2 * width * 4];
        EXPECT_EQ(red, row >= 2 * height - 2 ? 1.0f : 0.0f) << "window row " << row << " from the bottom";
    }
    glBindFramebuffer(GL_FRAMEBUFFER, 0);
    glDeleteFramebuffers(1, &window);
    glDeleteTextures(1, &windowTexture);
}
