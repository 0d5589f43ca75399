#include "app/linux/TrailPreroll.h"

#include <GLES3/gl3.h>

#include <initializer_list>

#include "Orrery/gfx/GraphRuntime.h"

namespace {

void clearTrail(ShowSession& session) {
    Orrery::Gfx::TextureRuntime& trail = *session.show.scrollTarget;
    GLuint framebuffer = 0;
    glGenFramebuffers(1, &framebuffer);
    glBindFramebuffer(GL_DRAW_FRAMEBUFFER, framebuffer);
    const GLfloat zero[4] = {0.0f, 0.0f, 0.0f, 0.0f};
    for (GLuint texture : {GLuint(trail.rtvA), GLuint(trail.rtvB)}) {
        if (!texture) continue;
        glFramebufferTexture2D(GL_DRAW_FRAMEBUFFER, GL_COLOR_ATTACHMENT0, GL_TEXTURE_2D, texture, 0);
        glClearBufferfv(GL_COLOR, 0, zero);
    }
    glBindFramebuffer(GL_DRAW_FRAMEBUFFER, 0);
    glDeleteFramebuffers(1, &framebuffer);
}

}  // namespace

void prerollTrail(ShowSession& session, uint32_t& frameIndex, float time, float& previousTime) {
    clearTrail(session);
    uint32_t steps = uint32_t(time / kPrerollStep);
    if (steps > kPrerollSteps) steps = kPrerollSteps;
    float previous = time - float(steps) * kPrerollStep;
    for (uint32_t k = steps; k > 0; --k) {
        const float at = time - float(k) * kPrerollStep;
        drawShowSessionFrame(session, frameIndex++, at, at - previous);
        previous = at;
    }
    previousTime = steps ? previous : time;
}
