// thawline: the show on Linux. A borderless full-screen window on the primary
// display with an OpenGL ES 3 context (EGL), vertical sync and no cursor; the
// song through an SDL audio device whose played position is the clock.
// Escape or closing the window ends it, and so does the song's end; without
// an audio device it plays silent on the wall clock. SIGINT, SIGTERM and
// SIGHUP end it after the frame, with the shell's status for the signal.
// `thawline --edit` plays it in a window for editing instead (EditMode.h).
#include <SDL2/SDL.h>
#include <GLES3/gl3.h>

#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "Orrery/gfx/Gles.h"
#include "Orrery/gfx/GraphRuntime.h"
#include "app/MusicClock.h"
#include "app/ShowSession.h"
#include "app/linux/EditMode.h"
#include "app/linux/SdlAudio.h"
#include "app/linux/ShaderReload.h"
#include "content/module/SongModule.h"

namespace {

const char* const kUsage =
    "usage: thawline [-h | --help]\n"
    "       thawline --edit [OPTIONS] (see thawline --edit --help)\n"
    "\n"
    "Plays the show full screen on the primary display with its song, on\n"
    "OpenGL ES 3 (EGL). Escape or closing the window ends it early. Without a\n"
    "sound device it plays silent. Needs a display (DISPLAY or WAYLAND_DISPLAY)\n"
    "unless SDL_VIDEODRIVER names a driver; SDL_VIDEODRIVER and SDL_AUDIODRIVER\n"
    "choose SDL's drivers (offscreen and dummy run it without a display or sound).\n";

volatile sig_atomic_t stopSignal = 0;

void onStopSignal(int number) { stopSignal = number; }

int fail(const char* what, const char* detail) {
    std::fprintf(stderr, "thawline: %s%s%s\n", what, detail && *detail ? ": " : "", detail ? detail : "");
    return 1;
}

double secondsNow() { return double(SDL_GetPerformanceCounter()) / double(SDL_GetPerformanceFrequency()); }

// Drains the event queue; true once the window was closed or Escape went down.
bool pollQuit() {
    bool quit = false;
    SDL_Event event;
    while (SDL_PollEvent(&event)) {
        if (event.type == SDL_QUIT) quit = true;
        if (event.type == SDL_KEYDOWN && event.key.keysym.sym == SDLK_ESCAPE) quit = true;
    }
    return quit || stopSignal != 0;
}

// The drivers that may show the window. SDL would fall back to its offscreen
// driver when no display answers and play the show unseen, so unless the
// user names a driver, only those of a display that is set are tried.
// Null when there is none.
const char* displayDrivers() {
    const bool x11 = std::getenv("DISPLAY") && *std::getenv("DISPLAY");
    const bool wayland = std::getenv("WAYLAND_DISPLAY") && *std::getenv("WAYLAND_DISPLAY");
    if (x11 && wayland) return "x11,wayland";
    if (x11) return "x11";
    if (wayland) return "wayland";
    return nullptr;
}

int failNoDisplay() {
    char detail[256];
    const char* display = std::getenv("DISPLAY");
    const char* wayland = std::getenv("WAYLAND_DISPLAY");
    std::snprintf(detail, sizeof detail, "nothing answers at%s%s%s%s", display && *display ? " DISPLAY=" : "",
                  display && *display ? display : "", wayland && *wayland ? " WAYLAND_DISPLAY=" : "",
                  wayland && *wayland ? wayland : "");
    return fail("no display", detail);
}

// Edit mode with its shaders rebuilt on save; without a watchable folder it
// says so in one line and runs with the programs it has.
bool pollShaderReload(void* user, Orrery::Gfx::GraphRuntime& runtime, bool& swapped) {
    ShaderReload& reload = *static_cast<ShaderReload*>(user);
    std::vector<ShaderReloadEvent> events;
    shaderReloadPoll(reload, runtime, events);
    for (const ShaderReloadEvent& event : events) {
        std::fprintf(event.fault ? stderr : stdout, "%s\n", event.line.c_str());
        swapped = swapped || !event.fault;
    }
    if (!events.empty()) std::fflush(stdout);
    return shaderReloadFailing(reload);
}

int runEditWithShaderReload(SDL_Window* window, const EditOptions& options) {
    // The passes point into the reload's rebuilt text, so it outlives the loop.
    static ShaderReload reload;
    std::string error;
    EditShaderHook hook = {nullptr, nullptr};
    if (shaderReloadOpen(reload, options.shaderDir, error))
        hook = {&reload, pollShaderReload};
    else
        std::fprintf(stderr, "thawline: shaders are not reloaded: %s\n", error.c_str());
    return runEditMode(window, options, hook, stopSignal);
}

int playShow(SDL_Window* window) {
    int32_t width = 0;
    int32_t height = 0;
    SDL_GL_GetDrawableSize(window, &width, &height);
    if (width <= 0 || height <= 0) return fail("the window has no drawable area", SDL_GetError());

    ShowSession session = {};
    openShowSession(session, Orrery::Gfx::DeviceDesc{}, width, height);
    Orrery::Gfx::TextureRuntime& screen = *session.show.runtime->outputTexture;
    if (!Orrery::Gfx::glesAttachScreenTarget(screen)) return fail("cannot create the screen texture", nullptr);

    SdlAudio audio;
    const bool sound = openSdlAudio(audio, kSongModule, kSongModuleSize);
    if (!sound) {
        const char* reason = SDL_GetError();
        std::fprintf(stderr, "thawline: no sound device%s%s%s; playing silent\n", *reason ? " (" : "", reason,
                     *reason ? ")" : "");
    }

    // Each frame: events, the first frame starts the sound, the clock, the
    // end test, then draw and present. Escape or closing the window end the
    // loop after the frame is presented; the song's end before anything is drawn.
    bool quit = false;
    double wallStart = 0.0;
    for (bool first = true; !quit; first = false) {
        quit = pollQuit();
        if (first) {
            startSdlAudio(audio);
            wallStart = secondsNow();
        }
        const float time = sound ? musicTimeFromFrames(uint32_t(sdlAudioPlayedFrames(audio)))
                                 : static_cast<float>(secondsNow() - wallStart);
        if (!stepShowSession(session, time)) break;
        Orrery::Gfx::glesPresent(screen, 0, width, height);
        SDL_GL_SwapWindow(window);
    }

    closeSdlAudio(audio);
    closeShowSession(session);
    return stopSignal ? 128 + stopSignal : 0;
}

}  // namespace

int main(int argc, char** argv) {
    const bool edit = argc > 1 && !std::strcmp(argv[1], "--edit");
    EditOptions editOptions = {};
    if (edit) {
        const int parsed = parseEditOptions(argc - 2, argv + 2, editOptions);
        if (parsed) return parsed == 1 ? 0 : 2;
    }
    for (int i = 1; i < argc && !edit; ++i) {
        if (!std::strcmp(argv[i], "-h") || !std::strcmp(argv[i], "--help")) {
            std::fputs(kUsage, stdout);
            return 0;
        }
        std::fprintf(stderr, "thawline: unknown option %s (try --help)\n", argv[i]);
        return 2;
    }

    const char* askedDriver = std::getenv("SDL_VIDEODRIVER");
    if (!askedDriver || !*askedDriver) {
        const char* drivers = displayDrivers();
        if (!drivers) return fail("no display", "neither DISPLAY nor WAYLAND_DISPLAY is set");
        SDL_SetHint(SDL_HINT_VIDEODRIVER, drivers);
    }
    // An ES context through EGL, also where GLX would offer one.
    SDL_SetHint(SDL_HINT_VIDEO_X11_FORCE_EGL, "1");
    SDL_SetHint(SDL_HINT_OPENGL_ES_DRIVER, "1");
    // SDL would turn SIGINT and SIGTERM into a quit event, which ends the
    // show as Escape does, with status 0.
    SDL_SetHint(SDL_HINT_NO_SIGNAL_HANDLERS, "1");
    if (SDL_Init(SDL_INIT_VIDEO | SDL_INIT_EVENTS) != 0) {
        if (!askedDriver || !*askedDriver) return failNoDisplay();
        return fail("no display", SDL_GetError());
    }
    std::signal(SIGINT, onStopSignal);
    std::signal(SIGTERM, onStopSignal);
    std::signal(SIGHUP, onStopSignal);
    SDL_GL_SetAttribute(SDL_GL_CONTEXT_PROFILE_MASK, SDL_GL_CONTEXT_PROFILE_ES);
    SDL_GL_SetAttribute(SDL_GL_CONTEXT_MAJOR_VERSION, 3);
    SDL_GL_SetAttribute(SDL_GL_CONTEXT_MINOR_VERSION, 0);
    SDL_GL_SetAttribute(SDL_GL_DOUBLEBUFFER, 1);
    SDL_GL_SetAttribute(SDL_GL_DEPTH_SIZE, 0);

    SDL_DisplayMode mode = {};
    if (SDL_GetDesktopDisplayMode(0, &mode) != 0) return fail("no display", SDL_GetError());
    SDL_Window* window =
        edit ? SDL_CreateWindow("Thawline edit", SDL_WINDOWPOS_CENTERED_DISPLAY(0), SDL_WINDOWPOS_CENTERED_DISPLAY(0),
                                editOptions.width, editOptions.height, SDL_WINDOW_OPENGL | SDL_WINDOW_RESIZABLE)
             : SDL_CreateWindow("Thawline", SDL_WINDOWPOS_CENTERED_DISPLAY(0), SDL_WINDOWPOS_CENTERED_DISPLAY(0),
                                mode.w, mode.h,
                                SDL_WINDOW_OPENGL | SDL_WINDOW_BORDERLESS | SDL_WINDOW_FULLSCREEN_DESKTOP);
    if (!window) return fail("cannot open a window", SDL_GetError());
    SDL_GLContext context = SDL_GL_CreateContext(window);
    if (!context) return fail("no OpenGL ES 3 context", SDL_GetError());
    if (const char* problem = Orrery::Gfx::glesContextProblem())
        return fail(problem, reinterpret_cast<const char*>(glGetString(GL_RENDERER)));
    SDL_GL_SetSwapInterval(1);
    if (!edit) SDL_ShowCursor(SDL_DISABLE);

    const int status = edit ? runEditWithShaderReload(window, editOptions) : playShow(window);
    SDL_GL_DeleteContext(context);
    SDL_DestroyWindow(window);
    SDL_Quit();
    return status;
}
