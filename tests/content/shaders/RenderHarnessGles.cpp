// The output tests' harness on the OpenGL ES back end: the same programs as
// GLSL ES text (thaw_shader_glsl), drawn through the runtime's own pass code
// on a headless context into an RGBA32F target.
#include <cstring>
#include <string>

#include "Orrery/gfx/GfxContext.h"
#include "Orrery/gfx/Gles.h"
#include "Orrery/gfx/GraphRuntime.h"
#include "RenderHarness.h"
#include "app/linux/HeadlessGl.h"

using namespace Orrery::Gfx;

namespace {

HeadlessGl gGl;
bool gStarted = false;

bool compiles(ShaderBlob blob, GLenum stage) {
    GLuint shader = glCreateShader(stage);
    const GLchar* text = reinterpret_cast<const GLchar*>(blob.bytes);
    const GLint length = GLint(blob.size);
    glShaderSource(shader, 1, &text, &length);
    glCompileShader(shader);
    GLint ok = GL_FALSE;
    glGetShaderiv(shader, GL_COMPILE_STATUS, &ok);
    glDeleteShader(shader);
    return ok == GL_TRUE;
}

}  // namespace

bool harnessStart(std::string& error) {
    if (gStarted) return true;
    char text[512] = "";
    if (!openHeadlessGl(gGl, text, sizeof text)) {
        error = text;
        return false;
    }
    if (const char* problem = glesContextProblem()) {
        error = problem;
        return false;
    }
    // The inputs are 32-bit float textures that some programs filter.
    if (!Orrery::Gfx::glesHasExtension("GL_OES_texture_float_linear")) {
        error = "the context cannot filter 32-bit float textures (no GL_OES_texture_float_linear)";
        return false;
    }
    ContextDesc desc = {};
    growStringInit(desc.name);
    initContext(desc);
    growFree(desc.name);
    gStarted = gfxContext.ready;
    if (!gStarted) error = "initContext did not take the context";
    return gStarted;
}

// GLSL text names no stage, and a fragment program without fragment-only
// built-ins may well compile as a vertex program. A vertex program is one
// that compiles as such and writes gl_Position; a pixel program one that
// compiles as a fragment program and does not.
bool harnessAccepts(ShaderBlob blob, bool vertex) {
    const std::string text(reinterpret_cast<const char*>(blob.bytes), blob.size);
    const bool writesPosition = text.find("gl_Position") != std::string::npos;
    return compiles(blob, vertex ? GL_VERTEX_SHADER : GL_FRAGMENT_SHADER) && writesPosition == vertex;
}

bool harnessRender(ShaderBlob vertexShader, ShaderBlob pixelShader, const std::vector<const ref::Image*>& inputs,
                   const std::vector<uint8_t>& frameConstants, int width, int height, ref::Image& out,
                   std::string& error) {
    std::vector<TextureRuntime*> textures;
    DrawPassDesc desc;
    drawPassDescInit(desc);
    desc.program.vertexBytecode = vertexShader.bytes;
    desc.program.vertexBytecodeSize = vertexShader.size;
    desc.program.pixelBytecode = pixelShader.bytes;
    desc.program.pixelBytecodeSize = pixelShader.size;
    for (const ref::Image* image : inputs) {
        auto* t = new TextureRuntime();
        t->init(texture2DDesc(image->width, image->height, FormatCode::R32G32B32A32Float, true), false);
        t->upload(image->texels.data(), uint32_t(image->width), uint32_t(image->height), 16);
        textures.push_back(t);
        growPush(desc.inputs, ResourceRef{ResourceKind::Texture, t});
    }
    auto* target = new TextureRuntime();
    target->init(texture2DDesc(width, height, FormatCode::R32G32B32A32Float, true), false);
    growPush(desc.targets, TargetRef{target, true});

    DrawPass pass;
    pass.configure(desc);
    bool ok = true;
    if (!pass.program.bindings.program) {
        char log[2048] = "";
        glesLinkProgram(desc.program, pass.program, log, sizeof log);
        error = log;
        ok = false;
    }
    drawPassDescFree(desc);
    if (ok) {
        runDrawPass(pass, frameConstants.data(), uint32_t(frameConstants.size()));
        GLuint framebuffer = 0;
        glGenFramebuffers(1, &framebuffer);
        glBindFramebuffer(GL_READ_FRAMEBUFFER, framebuffer);
        glFramebufferTexture2D(GL_READ_FRAMEBUFFER, GL_COLOR_ATTACHMENT0, GL_TEXTURE_2D, target->textureA, 0);
        out.width = width;
        out.height = height;
        out.texels.assign(size_t(width) * height * 4, 0.0f);
        glPixelStorei(GL_PACK_ALIGNMENT, 4);
        glReadPixels(0, 0, width, height, GL_RGBA, GL_FLOAT, out.texels.data());
        glBindFramebuffer(GL_READ_FRAMEBUFFER, 0);
        glDeleteFramebuffers(1, &framebuffer);
        if (glGetError() != GL_NO_ERROR) {
            error = "reading the target back failed";
            ok = false;
        }
    }
    releasePass(pass);
    // The runtime's objects have no virtual destructor (the show never
    // deletes them); the harness only drops their GL objects.
    for (TextureRuntime* t : textures) t->release();
    target->release();
    return ok;
}
