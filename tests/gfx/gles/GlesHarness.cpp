// The OpenGL ES back end for the contract tests, on the headless context.
#include <cstring>

#include "../BackendHarness.h"
#include "GlesTestContext.h"
#include "content/shaders/ShaderBlobs.h"

using namespace Orrery::Gfx;

bool harnessReady(const char** why) { return ensureGlesTestContext(why); }

void harnessProgram(ProgramDesc& desc) {
    static const char kPixel[] =
        "#version 300 es\nprecision highp float;\nlayout(location = 0) out vec4 o;\nvoid main() { o = vec4(1.0); }\n";
    desc.vertexBytecode = kScreenTriangleShortVS;
    desc.vertexBytecodeSize = kScreenTriangleShortVSSize;
    desc.pixelBytecode = kPixel;
    desc.pixelBytecodeSize = uint32_t(std::strlen(kPixel));
}

// GL has no list of its objects: count the names in use, up to a bound far
// above the few hundred names a test process hands out.
uint32_t harnessLiveObjects() {
    uint32_t live = 0;
    for (GLuint name = 1; name < 65536; ++name)
        live += uint32_t(glIsTexture(name)) + uint32_t(glIsBuffer(name)) + uint32_t(glIsShader(name)) +
                uint32_t(glIsProgram(name));
    return live;
}

RtvHandle harnessOutsideTarget() {
    GLuint texture = 0;
    glGenTextures(1, &texture);
    glBindTexture(GL_TEXTURE_2D, texture);
    glTexStorage2D(GL_TEXTURE_2D, 1, GL_RGBA8, 4, 4);
    glBindTexture(GL_TEXTURE_2D, 0);
    return texture;
}

bool harnessOutsideTargetAlive(RtvHandle target) { return glIsTexture(target) == GL_TRUE; }
