// The show in a browser: the C++ half. The page (page.js) owns the canvas,
// the start screen, the sound and the clock; it calls these functions to
// build the graph on a WebGL 2 context, render the song and draw frames.
// Every function reports failure by its result, never by an exception.
#include <emscripten/emscripten.h>
#include <emscripten/html5.h>
#include <GLES3/gl3.h>

#include <cstdio>

#include "Orrery/gfx/Gles.h"
#include "Orrery/gfx/GraphRuntime.h"
#include "app/MusicClock.h"
#include "app/capture/CapturePlan.h"
#include "app/web/WebShow.h"
#include "content/module/SongModule.h"
#include "content/scene/Show.h"
#include "content/scene/ShowCheck.h"

namespace {

// Ten minutes: far beyond the song, a bound for a module that never ends.
constexpr uint64_t kMaxSongFrames = uint64_t(kAudioSampleRate) * 600;

}  // namespace

WebShow web = {};

bool readScreen(uint8_t* pixels) {
    glBindFramebuffer(GL_READ_FRAMEBUFFER, web.readFramebuffer);
    glFramebufferTexture2D(GL_READ_FRAMEBUFFER, GL_COLOR_ATTACHMENT0, GL_TEXTURE_2D, web.screen, 0);
    glReadBuffer(GL_COLOR_ATTACHMENT0);
    glPixelStorei(GL_PACK_ALIGNMENT, 1);
    glReadPixels(0, 0, screenWidth, screenHeight, GL_RGBA, GL_UNSIGNED_BYTE, pixels);
    glBindFramebuffer(GL_READ_FRAMEBUFFER, 0);
    return glGetError() == GL_NO_ERROR;
}

extern "C" {

// Creates a WebGL 2 context on the page's canvas (#show, already sized
// width x height) and builds the show's graph at that size. 0 on success;
// otherwise thaw_web_error() says why in one line.
EMSCRIPTEN_KEEPALIVE int thaw_web_init(int width, int height) {
    EmscriptenWebGLContextAttributes attributes;
    emscripten_webgl_init_context_attributes(&attributes);
    attributes.majorVersion = 2;
    attributes.minorVersion = 0;
    attributes.alpha = EM_FALSE;
    attributes.depth = EM_FALSE;
    attributes.stencil = EM_FALSE;
    attributes.antialias = EM_FALSE;  // the present blit cannot target a multisampled canvas
    attributes.premultipliedAlpha = EM_FALSE;
    attributes.powerPreference = EM_WEBGL_POWER_PREFERENCE_HIGH_PERFORMANCE;
    const EMSCRIPTEN_WEBGL_CONTEXT_HANDLE context = emscripten_webgl_create_context("#show", &attributes);
    if (context <= 0 || emscripten_webgl_make_context_current(context) != EMSCRIPTEN_RESULT_SUCCESS) {
        std::snprintf(web.error, sizeof web.error, "this browser offers no WebGL 2");
        return 1;
    }
    // WebGL turns extensions on only when asked.
    emscripten_webgl_enable_extension(context, "EXT_color_buffer_float");
    emscripten_webgl_enable_extension(context, "EXT_float_blend");
    if (const char* problem = Orrery::Gfx::glesContextProblem()) {
        std::snprintf(web.error, sizeof web.error, "%s", problem);
        return 1;
    }

    openShowSession(web.session, Orrery::Gfx::DeviceDesc{}, width, height);
    web.screen = Orrery::Gfx::glesAttachScreenTarget(*web.session.show.runtime->outputTexture);
    if (!web.screen) {
        std::snprintf(web.error, sizeof web.error, "cannot create the screen texture");
        return 1;
    }
    char reason[400] = "";
    if (!showResourcesComplete(web.session.show, reason, sizeof reason) ||
        !allProgramsBuilt(*web.session.show.runtime, reason, sizeof reason)) {
        std::snprintf(web.error, sizeof web.error, "the show could not be assembled: %s", reason);
        return 1;
    }
    glGenFramebuffers(1, &web.readFramebuffer);
    return 0;
}

EMSCRIPTEN_KEEPALIVE const char* thaw_web_error() { return web.error; }

// The music time at which the show ends, in seconds.
EMSCRIPTEN_KEEPALIVE double thaw_web_show_seconds() { return kShowEndTime; }

// Renders the whole song once; the samples stay until the page closes.
// Returns the frame count (0 if the module cannot be played).
EMSCRIPTEN_KEEPALIVE uint32_t thaw_web_render_song() {
    if (!web.song.samples && renderWholeSong(web.song, kSongModule, kSongModuleSize, kMaxSongFrames) != 0) return 0;
    return uint32_t(web.song.frames);
}

// Interleaved stereo floats of the rendered song.
EMSCRIPTEN_KEEPALIVE const float* thaw_web_song_samples() { return web.song.samples; }

// Where a run starts: frame numbering and the elapsed step begin again.
EMSCRIPTEN_KEEPALIVE void thaw_web_restart() { restartShowSession(web.session); }

// One live frame at `playedFrames` of the song heard so far: draws it and
// shows it on the canvas (width x height device pixels). Returns 0 once the
// show has ended (nothing drawn), 1 otherwise.
EMSCRIPTEN_KEEPALIVE int thaw_web_frame(uint32_t playedFrames, int width, int height) {
    // As the native show: the first frame's step is from time 0.
    if (!stepShowSession(web.session, musicTimeFromFrames(playedFrames))) return 0;
    Orrery::Gfx::glesPresent(*web.session.show.runtime->outputTexture, 0, width, height);
    return 1;
}

// Frame k of the off-line stepping at music time k / fps, as the capture
// draws it, shown on the canvas. With `pixels` set, its RGBA rows (top row
// first, width * height * 4 bytes) are read back into it. Returns 0 if the
// read-back failed.
EMSCRIPTEN_KEEPALIVE int thaw_web_step(uint32_t frame, uint32_t fps, uint8_t* pixels) {
    drawShowSessionFrame(web.session, frame, captureFrameTime(frame, fps), captureFrameStep(fps));
    if (pixels && !readScreen(pixels)) return 0;
    Orrery::Gfx::glesPresent(*web.session.show.runtime->outputTexture, 0, screenWidth, screenHeight);
    return 1;
}

}  // extern "C"
