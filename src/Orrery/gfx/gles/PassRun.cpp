// Binding and drawing on OpenGL ES 3.0, with Direct3D's defaults where GL's
// differ.
#include "Orrery/gfx/Backend.h"
#include "Orrery/gfx/PipelineTables.h"
#include "PipelineState.h"

namespace Orrery::Gfx {

namespace {

constexpr GLuint kFrameConstantsBinding = 8;
// OpenGL ES 3.0 guarantees four colour attachments.
constexpr uint32_t kMaxTargets = 4;

TextureRuntime* targetTexture(const TargetRef& target) { return static_cast<TextureRuntime*>(target.resource); }

void clearTarget(uint32_t slot, const TextureRuntime& target, const float color[4]) {
    if (target.desc.format == FormatCode::R32Uint) {
        const GLuint value[4] = {GLuint(color[0]), GLuint(color[1]), GLuint(color[2]), GLuint(color[3])};
        glClearBufferuiv(GL_COLOR, GLint(slot), value);
    } else {
        glClearBufferfv(GL_COLOR, GLint(slot), color);
    }
}

void applyRasterState(const DrawPassDesc& desc) {
    if (desc.cullBack) {
        glEnable(GL_CULL_FACE);
        glCullFace(GL_BACK);
    } else {
        glDisable(GL_CULL_FACE);
    }
    // Clockwise on screen is front, as Direct3D's default, once y is flipped.
    glFrontFace(GL_CCW);
}

void applyBlendState(const DrawPassDesc& desc) {
    const BlendState b = blendStateOf(desc);
    if (b.enabled) glEnable(GL_BLEND);
    else glDisable(GL_BLEND);
    glBlendFuncSeparate(glBlendFactorOf(b.src), glBlendFactorOf(b.dst), glBlendFactorOf(b.srcAlpha),
                        glBlendFactorOf(b.dstAlpha));
    glBlendEquationSeparate(GL_FUNC_ADD, GL_FUNC_ADD);
    glColorMask(GL_TRUE, GL_TRUE, GL_TRUE, GL_TRUE);
}

}  // namespace

void backendDrawPass(const DrawPass& pass, GLuint constants, Viewport viewport) {
    const ProgramBindings& program = pass.program.bindings;
    const DrawPassDesc& desc = pass.desc;
    GfxContext& gfx = gfxContext;

    if (viewport.set) glViewport(0, 0, GLsizei(viewport.width), GLsizei(viewport.height));

    const uint32_t targetCount = desc.targets.count < kMaxTargets ? desc.targets.count : kMaxTargets;
    glBindFramebuffer(GL_DRAW_FRAMEBUFFER, gfx.drawFramebuffer);
    GLenum drawBuffers[kMaxTargets] = {GL_NONE, GL_NONE, GL_NONE, GL_NONE};
    for (uint32_t j = 0; j < targetCount; ++j) {
        TextureRuntime* target = targetTexture(desc.targets[j]);
        const GLuint view = target ? target->getRenderTargetView(false) : 0;
        glFramebufferTexture2D(GL_DRAW_FRAMEBUFFER, GL_COLOR_ATTACHMENT0 + j, GL_TEXTURE_2D, view, 0);
        drawBuffers[j] = view ? GL_COLOR_ATTACHMENT0 + j : GL_NONE;
    }
    glDrawBuffers(GLsizei(targetCount), drawBuffers);

    GLuint depth = 0;
    if (desc.useDepth && desc.depthTarget) depth = desc.depthTarget->getDepthStencilView();
    const bool depthHasStencil = depth && static_cast<TextureRuntime*>(desc.depthTarget)->desc.format ==
                                              FormatCode::D24UnormS8Uint;
    glFramebufferTexture2D(GL_DRAW_FRAMEBUFFER, depthHasStencil ? GL_DEPTH_STENCIL_ATTACHMENT : GL_DEPTH_ATTACHMENT,
                           GL_TEXTURE_2D, depth, 0);

    // A clear writes whole targets whatever the pipeline state says.
    glDisable(GL_SCISSOR_TEST);
    glColorMask(GL_TRUE, GL_TRUE, GL_TRUE, GL_TRUE);
    if (desc.clear) {
        for (uint32_t j = 0; j < targetCount; ++j)
            if (drawBuffers[j] != GL_NONE) clearTarget(j, *targetTexture(desc.targets[j]), desc.clearColor);
        if (depth) {
            glDepthMask(GL_TRUE);
            if (depthHasStencil) glClearBufferfi(GL_DEPTH_STENCIL, 0, 1.0f, 0);
            else {
                const GLfloat far = 1.0f;
                glClearBufferfv(GL_DEPTH, 0, &far);
            }
        }
    }
    // Direct3D's default depth state: test LESS and write, when a depth
    // target is bound.
    if (depth) {
        glEnable(GL_DEPTH_TEST);
        glDepthFunc(GL_LESS);
        glDepthMask(GL_TRUE);
    } else {
        glDisable(GL_DEPTH_TEST);
    }

    applyRasterState(desc);
    applyBlendState(desc);

    glBindBufferBase(GL_UNIFORM_BUFFER, kFrameConstantsBinding, constants);

    for (uint32_t k = 0; k < program.samplerCount; ++k) {
        const ProgramSampler& binding = program.samplers[k];
        GLuint texture = binding.target == GL_TEXTURE_2D ? gfx.zeroTexture : 0;
        if (binding.textureSlot < desc.inputs.count && desc.inputs[binding.textureSlot].resource)
            texture = desc.inputs[binding.textureSlot].resource->getShaderResourceView(true);
        glActiveTexture(GL_TEXTURE0 + binding.unit);
        glBindTexture(binding.target, texture);
        glBindSampler(binding.unit, gfx.samplers[binding.samplerSlot]);
    }

    glUseProgram(program.program);
    glBindVertexArray(gfx.emptyVertexArray);
    const GLenum mode = topologyOf(desc.topology);
    if (mode != GL_NONE) glDrawArraysInstanced(mode, 0, GLsizei(desc.vertexCount), GLsizei(desc.instanceCount));

    // Unbind, so that the next pass may draw into what this one read.
    for (uint32_t k = 0; k < program.samplerCount; ++k) {
        glActiveTexture(GL_TEXTURE0 + program.samplers[k].unit);
        glBindTexture(program.samplers[k].target, 0);
        glBindSampler(program.samplers[k].unit, 0);
    }
    glActiveTexture(GL_TEXTURE0);
    for (uint32_t j = 0; j < targetCount; ++j)
        glFramebufferTexture2D(GL_DRAW_FRAMEBUFFER, GL_COLOR_ATTACHMENT0 + j, GL_TEXTURE_2D, 0, 0);
    if (depth)
        glFramebufferTexture2D(GL_DRAW_FRAMEBUFFER, depthHasStencil ? GL_DEPTH_STENCIL_ATTACHMENT : GL_DEPTH_ATTACHMENT,
                               GL_TEXTURE_2D, 0, 0);
    glBindFramebuffer(GL_DRAW_FRAMEBUFFER, 0);
    glUseProgram(0);
}

// OpenGL ES 3.0 has no compute stage, so no compute program is ever built
// and this is never reached: the pass is skipped as one without its shader.
void backendComputePass(const ComputePass&, GLuint) {}

}  // namespace Orrery::Gfx
