// thawline-capture: the show rendered off-line on OpenGL ES without a
// display, frame by frame at music time k / fps, through the same start-up,
// graph and frame steps as the show. The options and the output are those of
// ThawlineCapture.exe: raw RGBA rows, top first, on standard output; the
// soundtrack to a file.
#include <unistd.h>

#include <csignal>
#include <cstdio>
#include <cstring>
#include <vector>

#include "Orrery/gfx/GfxContext.h"
#include "Orrery/gfx/GraphRuntime.h"
#include "app/capture/CapturePlan.h"
#include "app/capture/CaptureReport.h"
#include "app/ShowFrame.h"
#include "app/gles/GraphCheck.h"
#include "app/gles/HeadlessGl.h"
#include "app/gles/ShowFrames.h"
#include "content/module/SongModule.h"
#include "content/scene/Show.h"
#include "content/scene/ShowCheck.h"

namespace {

const char* kName = "thawline-capture";

// Set by Ctrl-C (SIGINT), SIGTERM or SIGHUP; the frame loop stops at the next
// frame and reports it, as the Windows capture does.
volatile sig_atomic_t interrupted = 0;

void onInterrupt(int) { interrupted = 1; }

void printUsage() {
    // The shared text names the Windows program; the columns stay aligned.
    const char* text = kCaptureUsage;
    const char* windowsName = "ThawlineCapture.exe";
    const char* at = std::strstr(text, windowsName);
    if (!at) {
        std::fputs(text, stdout);
        return;
    }
    std::fwrite(text, 1, size_t(at - text), stdout);
    std::fputs("thawline-capture   ", stdout);
    std::fputs(at + std::strlen(windowsName), stdout);
}

}  // namespace

int main(int argc, char** argv) {
    CaptureOptions options;
    char error[512] = "";
    switch (parseCaptureOptions(argc, argv, options, error, sizeof error)) {
    case CaptureCommand::Help:
        printUsage();
        return 0;
    case CaptureCommand::Error:
        std::fprintf(stderr, "%s: %s\n", kName, error);
        return 2;
    case CaptureCommand::Run:
        break;
    }
    const CapturePlan plan = planCapture(options);
    if (options.describe) {
        std::printf("%d %d %u %u %u %u %llu %llu\n", options.width, options.height, options.fps, plan.firstWritten,
                    plan.writtenFrames, plan.renderedFrames, static_cast<unsigned long long>(plan.firstSoundFrame),
                    static_cast<unsigned long long>(plan.soundFrames));
        return 0;
    }
    // Raw frames would flood a terminal and leave it in a mess.
    if (isatty(STDOUT_FILENO)) {
        std::fprintf(stderr, "%s: standard output is a terminal; send the raw frames into a pipe or a file\n", kName);
        return 2;
    }
    if (options.soundPath && !writeCaptureSoundtrack(kName, options, plan, kSongModule, kSongModuleSize)) return 1;

    HeadlessGl gl;
    if (!openHeadlessGl(gl, error, sizeof error)) {
        std::fprintf(stderr, "%s: %s\n", kName, error);
        return 1;
    }
    if (const char* problem = Orrery::Gfx::glesContextProblem()) {
        std::fprintf(stderr, "%s: %s\n", kName, problem);
        return 1;
    }

    screenWidth = options.width;
    screenHeight = options.height;
    const float aspect = static_cast<float>(screenWidth) / static_cast<float>(screenHeight);

    Show show = {};
    buildShowGraph(show);
    const GLuint screen = Orrery::Gfx::glesAttachScreenTarget(*show.runtime->outputTexture);
    if (!screen) {
        std::fprintf(stderr, "%s: cannot create the off-screen target\n", kName);
        return 1;
    }
    if (!showResourcesComplete(show, error, sizeof error) || !allProgramsBuilt(*show.runtime, error, sizeof error)) {
        std::fprintf(stderr, "%s: the assembled show is incomplete: %s\n", kName, error);
        return 1;
    }

    GLuint readFramebuffer = 0;
    glGenFramebuffers(1, &readFramebuffer);
    glBindFramebuffer(GL_READ_FRAMEBUFFER, readFramebuffer);
    glFramebufferTexture2D(GL_READ_FRAMEBUFFER, GL_COLOR_ATTACHMENT0, GL_TEXTURE_2D, screen, 0);
    glReadBuffer(GL_COLOR_ATTACHMENT0);
    glPixelStorei(GL_PACK_ALIGNMENT, 1);

    // A reader that stops early is reported, not a silent death by SIGPIPE.
    std::signal(SIGPIPE, SIG_IGN);
    std::signal(SIGINT, onInterrupt);
    std::signal(SIGTERM, onInterrupt);
    std::signal(SIGHUP, onInterrupt);
    std::vector<uint8_t> pixels(size_t(options.width) * size_t(options.height) * 4);
    CaptureProgress progress = startCaptureProgress(kName, options.liveProgress, plan.renderedFrames);
    uint32_t written = 0;
    bool failed = false;
    int interruptedStatus = 0;
    for (uint32_t k = 0; k < plan.renderedFrames && !failed; ++k) {
        if (interrupted) {
            std::fprintf(stderr, "%s%s: interrupted after %u of %u frames\n", options.liveProgress ? "\n" : "", kName,
                         k, plan.renderedFrames);
            interruptedStatus = 130;
            failed = true;
            break;
        }
        drawShowFrame(show, k, captureFrameTime(k, options.fps), captureFrameStep(options.fps), aspect);
        // Frames before the span are read back too, so that the progress
        // counts frames drawn rather than frames queued.
        glBindFramebuffer(GL_READ_FRAMEBUFFER, readFramebuffer);
        glReadPixels(0, 0, options.width, options.height, GL_RGBA, GL_UNSIGNED_BYTE, pixels.data());
        if (glGetError() != GL_NO_ERROR) {
            std::fprintf(stderr, "%s: reading frame %u back failed\n", kName, k);
            failed = true;
            break;
        }
        if (k >= plan.firstWritten) {
            if (std::fwrite(pixels.data(), 1, pixels.size(), stdout) != pixels.size()) {
                std::fprintf(stderr, "%s: writing frame %u to standard output failed (did the reader stop?)\n", kName,
                             k);
                failed = true;
                break;
            }
            written += 1;
        }
        reportCaptureProgress(progress, k + 1);
    }
    if (std::fflush(stdout) != 0 && !failed) {
        std::fprintf(stderr, "%s: writing to standard output failed\n", kName);
        failed = true;
    }
    if (!failed && written != plan.writtenFrames) {
        std::fprintf(stderr, "%s: wrote %u of %u planned frames\n", kName, written, plan.writtenFrames);
        failed = true;
    }
    trackSetDestroy(show.tracks);
    closeHeadlessGl(gl);
    if (interruptedStatus) return interruptedStatus;
    return failed ? 1 : 0;
}
