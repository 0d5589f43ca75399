// The OpenGL ES context: its check, the objects every pass shares, and the
// screen texture's way to a window or a read-back.
#include <cfloat>
#include <cstdio>
#include <cstring>

#include "Orrery/gfx/Backend.h"
#include "Orrery/gfx/PipelineTables.h"
#include "PipelineState.h"

namespace Orrery::Gfx {

bool glesHasExtension(const char* name) {
    GLint count = 0;
    glGetIntegerv(GL_NUM_EXTENSIONS, &count);
    for (GLint i = 0; i < count; ++i) {
        const char* e = reinterpret_cast<const char*>(glGetStringi(GL_EXTENSIONS, GLuint(i)));
        if (e && std::strcmp(e, name) == 0) return true;
    }
    return false;
}

const char* glesContextProblem() {
    const char* version = reinterpret_cast<const char*>(glGetString(GL_VERSION));
    if (!version) return "no current OpenGL ES context";
    int major = 0;
    if (std::sscanf(version, "OpenGL ES %d", &major) != 1 || major < 3) return "the context is not OpenGL ES 3.0 or later";
    if (!glesHasExtension("GL_EXT_color_buffer_float"))
        return "the OpenGL ES context cannot render to half-float textures (no GL_EXT_color_buffer_float)";
    return nullptr;
}

bool backendReady() { return gfxContext.ready; }

void backendInitContext(const ContextDesc&) {
    gfxContext.ready = false;
    if (glesContextProblem()) return;
    gfxContext.ready = true;

    GLint major = 0, minor = 0;
    glGetIntegerv(GL_MAJOR_VERSION, &major);
    glGetIntegerv(GL_MINOR_VERSION, &minor);
    gfxContext.borderClamp = (major > 3 || (major == 3 && minor >= 2)) ||
                             glesHasExtension("GL_EXT_texture_border_clamp") ||
                             glesHasExtension("GL_OES_texture_border_clamp");

    glGenSamplers(kSamplerCount, gfxContext.samplers);
    for (uint32_t slot = 0; slot < kSamplerCount; ++slot) {
        const SamplerState s = samplerStateOf(slot);
        const GLuint sampler = gfxContext.samplers[slot];
        const GLint wrap = GLint(glWrapOf(s.address, gfxContext.borderClamp));
        glSamplerParameteri(sampler, GL_TEXTURE_MIN_FILTER, s.linear ? GL_LINEAR_MIPMAP_LINEAR : GL_NEAREST_MIPMAP_NEAREST);
        glSamplerParameteri(sampler, GL_TEXTURE_MAG_FILTER, s.linear ? GL_LINEAR : GL_NEAREST);
        glSamplerParameteri(sampler, GL_TEXTURE_WRAP_S, wrap);
        glSamplerParameteri(sampler, GL_TEXTURE_WRAP_T, wrap);
        glSamplerParameteri(sampler, GL_TEXTURE_WRAP_R, wrap);
        glSamplerParameterf(sampler, GL_TEXTURE_MIN_LOD, -FLT_MAX);
        glSamplerParameterf(sampler, GL_TEXTURE_MAX_LOD, FLT_MAX);
        glSamplerParameteri(sampler, GL_TEXTURE_COMPARE_MODE, GL_NONE);
    }

    glGenFramebuffers(1, &gfxContext.drawFramebuffer);
    glGenVertexArrays(1, &gfxContext.emptyVertexArray);

    // Direct3D reads an unbound texture register as (0, 0, 0, 0); GL would
    // read (0, 0, 0, 1) from an incomplete texture.
    const uint8_t zero[4] = {0, 0, 0, 0};
    glGenTextures(1, &gfxContext.zeroTexture);
    glBindTexture(GL_TEXTURE_2D, gfxContext.zeroTexture);
    glTexStorage2D(GL_TEXTURE_2D, 1, GL_RGBA8, 1, 1);
    glPixelStorei(GL_UNPACK_ALIGNMENT, 1);
    glTexSubImage2D(GL_TEXTURE_2D, 0, 0, 0, 1, 1, GL_RGBA, GL_UNSIGNED_BYTE, zero);
    glBindTexture(GL_TEXTURE_2D, 0);

    // State that Direct3D has and no pass changes.
    glDisable(GL_DITHER);
    glDisable(GL_SCISSOR_TEST);
    glDisable(GL_STENCIL_TEST);
    glDepthRangef(0.0f, 1.0f);
}

GLuint glesAttachScreenTarget(TextureRuntime& screen) {
    if (!gfxContext.ready) return 0;
    const GLsizei width = screen.desc.width > 1 ? screen.desc.width : 1;
    const GLsizei height = screen.desc.height > 1 ? screen.desc.height : 1;
    GLuint texture = 0;
    glGenTextures(1, &texture);
    glBindTexture(GL_TEXTURE_2D, texture);
    glTexStorage2D(GL_TEXTURE_2D, 1, GL_RGBA8, width, height);
    glBindTexture(GL_TEXTURE_2D, 0);
    screen.putOutsideTarget(texture);
    return texture;
}

void glesPresent(TextureRuntime& screen, GLuint framebuffer, int32_t width, int32_t height) {
    if (!gfxContext.ready || !screen.rtvA) return;
    const GLint w = screen.desc.width;
    const GLint h = screen.desc.height;
    GLuint read = 0;
    glGenFramebuffers(1, &read);
    glBindFramebuffer(GL_READ_FRAMEBUFFER, read);
    glFramebufferTexture2D(GL_READ_FRAMEBUFFER, GL_COLOR_ATTACHMENT0, GL_TEXTURE_2D, screen.rtvA, 0);
    glBindFramebuffer(GL_DRAW_FRAMEBUFFER, framebuffer);
    glBlitFramebuffer(0, 0, w, h, 0, height, width, 0, GL_COLOR_BUFFER_BIT, GL_NEAREST);
    glBindFramebuffer(GL_READ_FRAMEBUFFER, 0);
    glDeleteFramebuffers(1, &read);
}

}  // namespace Orrery::Gfx
