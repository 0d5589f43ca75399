// OpenGL ES 3.0 textures. Views are the texture's own name.
#include <cstdlib>

#include "Orrery/gfx/Backend.h"
#include "TextureFormats.h"

namespace Orrery::Gfx {

namespace {

int32_t atLeastOne(int32_t v) { return v > 1 ? v : 1; }

// OpenGL ES has no 1D textures: a 1D texture is a 2D texture one row high.
GLenum bindTargetOf(const TextureDesc& desc) {
    return desc.dimension == TextureDimension::Texture3D ? GL_TEXTURE_3D : GL_TEXTURE_2D;
}

struct Extent {
    GLsizei width, height, depth;
};

Extent extentOf(const TextureDesc& desc) {
    Extent e = {atLeastOne(desc.width), 1, 1};
    if (desc.dimension != TextureDimension::Texture1D) e.height = atLeastOne(desc.height);
    if (desc.dimension == TextureDimension::Texture3D) e.depth = atLeastOne(desc.depth);
    return e;
}

// Direct3D creates resources filled with zeros; GL storage starts undefined.
void fillWithZeros(GLenum target, const GlesFormat& f, Extent e, GLsizei levels) {
    const size_t bytes = size_t(e.width) * size_t(e.height) * size_t(e.depth) * f.bytesPerPixel;
    void* zeros = std::calloc(bytes ? bytes : 1, 1);
    if (!zeros) return;
    glPixelStorei(GL_UNPACK_ALIGNMENT, 1);
    for (GLsizei level = 0; level < levels; ++level) {
        if (target == GL_TEXTURE_3D)
            glTexSubImage3D(target, level, 0, 0, 0, e.width, e.height, e.depth, f.format, f.type, zeros);
        else
            glTexSubImage2D(target, level, 0, 0, e.width, e.height, f.format, f.type, zeros);
        e.width = e.width > 1 ? e.width / 2 : 1;
        e.height = e.height > 1 ? e.height / 2 : 1;
        e.depth = e.depth > 1 ? e.depth / 2 : 1;
    }
    std::free(zeros);
}

}  // namespace

ResourceHandle backendCreateTexture(const TextureDesc& desc, uint32_t mipCount) {
    const GLsizei levels = GLsizei(mipCount);
    const GlesFormat f = glesFormatOf(desc.format);
    if (!f.internalFormat || desc.dimension < 0 || desc.dimension > 2) return 0;
    // Depth formats are 2D only, as their Direct3D depth view is.
    if (isDepthFormat(desc.format) && desc.dimension != TextureDimension::Texture2D) return 0;
    const GLenum target = bindTargetOf(desc);
    const Extent e = extentOf(desc);
    GLuint texture = 0;
    glGenTextures(1, &texture);
    glBindTexture(target, texture);
    while (glGetError() != GL_NO_ERROR) {
    }
    if (target == GL_TEXTURE_3D)
        glTexStorage3D(target, levels, f.internalFormat, e.width, e.height, e.depth);
    else
        glTexStorage2D(target, levels, f.internalFormat, e.width, e.height);
    if (glGetError() != GL_NO_ERROR) {
        glBindTexture(target, 0);
        glDeleteTextures(1, &texture);
        return 0;
    }
    fillWithZeros(target, f, e, levels);
    glBindTexture(target, 0);
    return texture;
}

DsvHandle backendCreateDepthView(ResourceHandle texture, const TextureDesc&) { return texture; }
UavHandle backendCreateUav(ResourceHandle texture, const TextureDesc&) { return texture; }
SrvHandle backendCreateSrv(ResourceHandle texture, const TextureDesc&, uint32_t) { return texture; }
RtvHandle backendCreateRtv(ResourceHandle texture, const TextureDesc&) { return texture; }

void backendReleaseTexture(TextureRuntime& t) {
    // The views are the textures' names; an outside target in rtvA stays its
    // owner's.
    const GLuint textures[2] = {t.textureA, t.textureB};
    for (GLuint texture : textures)
        if (texture) glDeleteTextures(1, &texture);
}

// Rows go in row 0 first (texture row 0 is what a pass writes at
// SV_Position y = 0.5).
void backendUpload(TextureRuntime& t, const void* pixels, uint32_t width, uint32_t height, uint8_t bytesPerPixel) {
    if (width == 0 || height == 0) return;
    const TextureDesc& desc = t.desc;
    const GlesFormat f = glesFormatOf(desc.format);
    // Rows are width * bytesPerPixel bytes apart; a size that does not match
    // the format's pixels cannot be handed to GL without reading past them.
    if (bytesPerPixel != f.bytesPerPixel) return;
    const Extent e = extentOf(desc);
    const uint32_t w = width < uint32_t(e.width) ? width : uint32_t(e.width);
    const uint32_t h = height < uint32_t(e.height) ? height : uint32_t(e.height);

    const uint8_t* source = static_cast<const uint8_t*>(pixels);
    uint8_t* swapped = nullptr;
    if (f.swapRedBlue) {
        const size_t bytes = size_t(width) * height * 4;
        swapped = static_cast<uint8_t*>(std::malloc(bytes));
        if (!swapped) return;
        for (size_t i = 0; i < bytes; i += 4) {
            swapped[i] = source[i + 2];
            swapped[i + 1] = source[i + 1];
            swapped[i + 2] = source[i];
            swapped[i + 3] = source[i + 3];
        }
        source = swapped;
    }
    const GLenum target = bindTargetOf(desc);
    glBindTexture(target, t.textureA);
    glPixelStorei(GL_UNPACK_ALIGNMENT, 1);
    glPixelStorei(GL_UNPACK_ROW_LENGTH, GLint(width));
    if (target == GL_TEXTURE_3D)
        glTexSubImage3D(target, 0, 0, 0, 0, GLsizei(w), GLsizei(h), 1, f.format, f.type, source);
    else
        glTexSubImage2D(target, 0, 0, 0, GLsizei(w), GLsizei(h), f.format, f.type, source);
    glPixelStorei(GL_UNPACK_ROW_LENGTH, 0);
    glBindTexture(target, 0);
    std::free(swapped);
}

void backendGenerateMips(SrvHandle view, const TextureDesc& desc) {
    const GLenum target = bindTargetOf(desc);
    glBindTexture(target, view);
    glGenerateMipmap(target);
    glBindTexture(target, 0);
}

}  // namespace Orrery::Gfx
