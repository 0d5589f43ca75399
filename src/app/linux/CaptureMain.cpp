// thawline-capture: the show rendered off-line on OpenGL ES without a
// display, frame by frame at music time k / fps, through the same session
// as the show. The options and the output are those of ThawlineCapture.exe:
// raw RGBA rows, top first, on standard output; the soundtrack to a file.
#include <unistd.h>

#include <csignal>
#include <cstdio>

#include "Orrery/gfx/Gles.h"
#include "Orrery/gfx/GraphRuntime.h"
#include "app/ShowSession.h"
#include "app/capture/CaptureRun.h"
#include "Orrery/gfx/Gles.h"
#include "app/linux/HeadlessGl.h"
#include "content/scene/ShowCheck.h"

namespace {

const char* kName = "thawline-capture";

// Set by Ctrl-C (SIGINT), SIGTERM or SIGHUP; the frame loop stops at the next
// frame and reports it, as the Windows capture does.
volatile sig_atomic_t interrupted = 0;

void onInterrupt(int) { interrupted = 1; }

struct ReadBack {
    GLuint framebuffer;
    int32_t width;
    int32_t height;
};

bool readFrame(void* user, uint8_t* pixels, char* reason, size_t reasonSize) {
    const ReadBack& target = *static_cast<const ReadBack*>(user);
    glBindFramebuffer(GL_READ_FRAMEBUFFER, target.framebuffer);
    glReadPixels(0, 0, target.width, target.height, GL_RGBA, GL_UNSIGNED_BYTE, pixels);
    const GLenum error = glGetError();
    if (error == GL_NO_ERROR) return true;
    std::snprintf(reason, reasonSize, "GL error 0x%04X", error);
    return false;
}

bool writeOutput(void*, const uint8_t* data, size_t size) {
    return std::fwrite(data, 1, size, stdout) == size && std::fflush(stdout) == 0;
}

bool wasInterrupted(void*) { return interrupted != 0; }

int fail(const char* what, const char* detail) {
    std::fprintf(stderr, "%s: %s%s\n", kName, what, detail ? detail : "");
    return 1;
}

}  // namespace

int main(int argc, char** argv) {
    const CaptureStart start = startCapture(kName, kName, argc, argv, isatty(STDOUT_FILENO) != 0);
    if (!start.run) return start.status;

    char error[512] = "";
    HeadlessGl gl;
    if (!openHeadlessGl(gl, error, sizeof error)) return fail(error, nullptr);
    if (const char* problem = Orrery::Gfx::glesContextProblem()) return fail(problem, nullptr);

    ShowSession session = {};
    openShowSession(session, Orrery::Gfx::DeviceDesc{}, start.options.width, start.options.height);
    const GLuint screen = Orrery::Gfx::glesAttachScreenTarget(*session.show.runtime->outputTexture);
    if (!screen) return fail("cannot create the off-screen target", nullptr);
    if (!showResourcesComplete(session.show, error, sizeof error) ||
        !allProgramsBuilt(*session.show.runtime, error, sizeof error))
        return fail("the assembled show is incomplete: ", error);

    ReadBack target = {0, start.options.width, start.options.height};
    glGenFramebuffers(1, &target.framebuffer);
    glBindFramebuffer(GL_READ_FRAMEBUFFER, target.framebuffer);
    glFramebufferTexture2D(GL_READ_FRAMEBUFFER, GL_COLOR_ATTACHMENT0, GL_TEXTURE_2D, screen, 0);
    glReadBuffer(GL_COLOR_ATTACHMENT0);
    glPixelStorei(GL_PACK_ALIGNMENT, 1);

    // A reader that stops early is reported, not a silent death by SIGPIPE.
    std::signal(SIGPIPE, SIG_IGN);
    std::signal(SIGINT, onInterrupt);
    std::signal(SIGTERM, onInterrupt);
    std::signal(SIGHUP, onInterrupt);
    const CaptureDevice device = {&target, readFrame, writeOutput, wasInterrupted};
    const int status = runCapture(kName, session, start, device);
    closeShowSession(session);
    closeHeadlessGl(gl);
    return status;
}
