#include "GlesTestContext.h"

#include <cstring>
#include <string>

#include "app/linux/HeadlessGl.h"
#include "content/shaders/ShaderBlobs.h"

using namespace Orrery::Gfx;

bool ensureGlesTestContext(const char** error) {
    static bool opened = false;
    static std::string reason;
    static HeadlessGl gl;
    if (!opened) {
        opened = true;
        char text[512] = "";
        if (!openHeadlessGl(gl, text, sizeof text)) {
            reason = text;
        } else if (const char* problem = glesContextProblem()) {
            reason = problem;
        } else {
            ContextDesc desc = {};
            growStringInit(desc.name);
            initContext(desc);
            growFree(desc.name);
        }
    }
    if (error) *error = reason.c_str();
    return reason.empty();
}

TextureRuntime* makeTexture(int32_t width, int32_t height, int32_t format, bool doubleBuffered) {
    auto* texture = new TextureRuntime();
    texture->init(texture2DDesc(width, height, format, true), doubleBuffered);
    return texture;
}

DrawPass* makePass(const char* pixelText, TextureRuntime* target, std::vector<Resource*> inputs,
                   std::vector<char>* log) {
    DrawPassDesc desc;
    drawPassDescInit(desc);
    desc.program.vertexBytecode = kScreenTriangleShortVS;
    desc.program.vertexBytecodeSize = kScreenTriangleShortVSSize;
    desc.program.pixelBytecode = pixelText;
    desc.program.pixelBytecodeSize = uint32_t(std::strlen(pixelText));
    growPush(desc.targets, TargetRef{target, true});
    for (Resource* input : inputs) growPush(desc.inputs, ResourceRef{ResourceKind::Texture, input});
    auto* pass = new DrawPass();
    pass->configure(desc);
    if (!pass->program.bindings.program) {
        if (log) {
            log->assign(2048, '\0');
            glesLinkProgram(desc.program, pass->program, log->data(), uint32_t(log->size()));
        }
        drawPassDescFree(desc);
        return nullptr;
    }
    drawPassDescFree(desc);
    return pass;
}

void runPass(DrawPass& pass, std::vector<uint8_t> frameData) {
    if (frameData.empty()) frameData.assign(720, 0);
    runDrawPass(pass, frameData.data(), uint32_t(frameData.size()));
}

std::vector<float> readTexture(GLuint texture, int32_t width, int32_t height, bool floatFormat) {
    GLuint framebuffer = 0;
    glGenFramebuffers(1, &framebuffer);
    glBindFramebuffer(GL_READ_FRAMEBUFFER, framebuffer);
    glFramebufferTexture2D(GL_READ_FRAMEBUFFER, GL_COLOR_ATTACHMENT0, GL_TEXTURE_2D, texture, 0);
    glPixelStorei(GL_PACK_ALIGNMENT, 1);
    std::vector<float> values(size_t(width) * height * 4);
    if (floatFormat) {
        glReadPixels(0, 0, width, height, GL_RGBA, GL_FLOAT, values.data());
    } else {
        std::vector<uint8_t> bytes(values.size());
        glReadPixels(0, 0, width, height, GL_RGBA, GL_UNSIGNED_BYTE, bytes.data());
        for (size_t i = 0; i < bytes.size(); ++i) values[i] = bytes[i] / 255.0f;
    }
    glBindFramebuffer(GL_READ_FRAMEBUFFER, 0);
    glDeleteFramebuffers(1, &framebuffer);
    return values;
}
