#include "app/edit/TrailPreroll.h"

#include <GLES3/gl3.h>

#include <initializer_list>
#include <vector>

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

// Leaves every pass out but those `keep` says, runs `draw`, and puts them back.
template <class Keep, class Draw>
void withPassesLeftOut(ShowSession& session, Keep keep, Draw draw) {
    Orrery::Gfx::GraphRuntime& runtime = *session.show.runtime;
    std::vector<void*> kept(runtime.passes.count);
    for (uint32_t i = 0; i < runtime.passes.count; ++i) {
        kept[i] = runtime.passes[i].pass;
        if (!keep(kept[i])) runtime.passes[i].pass = nullptr;  // a pass entry without its pass is skipped
    }
    draw();
    for (uint32_t i = 0; i < runtime.passes.count; ++i) runtime.passes[i].pass = kept[i];
}

}  // namespace

void prerollTrail(ShowSession& session, uint32_t frames, uint32_t& frameIndex, float time, float& previousTime) {
    clearTrail(session);
    uint32_t steps = uint32_t(time / kPrerollStep);
    if (steps > frames) steps = frames;
    float previous = time - float(steps) * kPrerollStep;

    // Only the trail's own pass feeds back, and it reads nothing the others
    // draw: the others are left out of the unseen frames.
    void* trail = session.show.scrollPass;
    withPassesLeftOut(session, [trail](void* pass) { return pass == trail; }, [&] {
        for (uint32_t k = steps; k > 0; --k) {
            const float at = time - float(k) * kPrerollStep;
            prepareShowSessionFrame(session, frameIndex++, at, at - previous);
            session.show.runtime->runFrame();
            previous = at;
        }
    });
    previousTime = steps ? previous : time;
}

void drawHoldingTrail(ShowSession& session, uint32_t& frameIndex, float time) {
    // The frame's end swaps the trail's copies; swapped ahead, this frame's
    // copy is the one the trail last drew, and afterwards all is as it was.
    Orrery::Gfx::TextureRuntime& trail = *session.show.scrollTarget;
    trail.swapped = !trail.swapped;
    void* trailPass = session.show.scrollPass;
    withPassesLeftOut(session, [trailPass](void* pass) { return pass != trailPass; }, [&] {
        // The step a redraw after a pre-roll takes into its frame.
        drawShowSessionFrame(session, frameIndex++, time, kPrerollStep);
    });
}
