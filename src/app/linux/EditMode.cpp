#include "app/linux/EditMode.h"

#include <GLES3/gl3.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "Orrery/gfx/Gles.h"
#include "Orrery/gfx/GraphRuntime.h"
#include "app/MusicClock.h"
#include "app/ShowSession.h"
#include "app/edit/EditCore.h"
#include "app/edit/TrailPreroll.h"
#include "app/linux/FileWatch.h"
#include "app/linux/SongPlayer.h"
#include "content/module/SongModule.h"
#include "content/timeline/ShowParameters.h"
#include "content/timeline/Timeline.h"
#include "content/timeline/TimelineFile.h"
#include "content/timeline/TimelineTables.h"
#include "edit/SyncLink.h"
#include "app/linux/BuildTree.h"

const char* const kEditUsage =
    "usage: thawline --edit [--timeline FILE] [--shaders DIR] [--sync HOST:PORT] [--size WxH]\n"
    "                       [--preroll N] [--frame-log FILE] [-h | --help]\n"
    "\n"
    "Plays the show in a resizable window for editing, with the song from a\n"
    "render of the whole song. A sync editor at --sync (default 127.0.0.1:1338)\n"
    "moves it and edits its keys; saving FILE reloads its keys.\n"
    "Keys: Space pause/play, Left/Right one beat, Up/Down one row, Page Up/Down\n"
    "64 rows, Home the start, [ and ] a loop's start and end row, \\ no loop,\n"
    "Escape quits.\n"
    "  --timeline FILE  the timeline file (default: src/content/timeline/thawline.rocket\n"
    "                   of the checkout thawline was built from, else of the\n"
    "                   current folder)\n"
    "  --shaders DIR    the HLSL folder (default: src/content/shaders, found alike)\n"
    "  --size WxH       the window's first size (default 960x540)\n"
    "  --preroll N      after a seek, N frames (1/60 s each, 1 to 600, default 15)\n"
    "                   before the row are drawn unseen to rebuild the melt trail\n"
    "  --frame-log FILE one line per drawn frame: its played frame, row, state\n"
    "                   (playing, paused, or held: paused, drawn for changed keys\n"
    "                   with the trail held), size and a hash of its pixels (for\n"
    "                   tests; reads every frame back)\n";

namespace {

const TrackNames kNames{kShowParameterNames, kShowParameterCount};
double secondsNow() { return double(SDL_GetPerformanceCounter()) / double(SDL_GetPerformanceFrequency()); }

bool fileExists(const std::string& path) {
    std::FILE* file = std::fopen(path.c_str(), "rb");
    if (file) std::fclose(file);
    return file != nullptr;
}

// The checkout's copy of `relative`: the one thawline was built from (found
// through its build tree), else the current folder's.
std::string checkoutPath(const char* relative) {
    const std::string source = buildTreeSourceDir(findBuildTree());
    const std::string built = source + "/" + relative;
    return !source.empty() && fileExists(built) ? built : std::string(relative);
}

struct Edit {
    SDL_Window* window;
    const EditOptions* options;
    ShowSession session;
    GLuint screen;
    int32_t width;
    int32_t height;
    SongPlayer song;
    EditCore core;
    SyncLink link;
    bool linked;
    FileWatch watch;
    uint32_t rows;
    std::FILE* frameLog;
    GLuint readFramebuffer;
    std::vector<uint8_t> pixels;
    double fpsSince;
    uint32_t fpsFrames;
    float fps;
    double titleAt;
    bool shaderError;
};

uint64_t hashBytes(const uint8_t* bytes, size_t size) {
    uint64_t hash = 1469598103934665603ull;
    for (size_t i = 0; i < size; ++i) hash = (hash ^ bytes[i]) * 1099511628211ull;
    return hash;
}

void say(const char* line) {
    std::fprintf(stdout, "%s\n", line);
    std::fflush(stdout);
}

void fault(const char* line) { std::fprintf(stderr, "thawline: %s\n", line); }

void sayLine(void*, const char* line, bool isFault) {
    if (isFault) fault(line);
    else say(line);
}

// The editor's save renames a new file over the watched one: that is the
// program's own write, not a save to read back.
void onSyncEvent(void* user, const SyncEvent& event) {
    Edit& edit = *static_cast<Edit*>(user);
    if (event.kind == SyncEventKind::Saved) fileWatchOwnWrite(edit.watch);
    editSyncEvent(&edit.core, event);
}

void songSeek(void* song, uint64_t frame) { songPlayerSeek(*static_cast<SongPlayer*>(song), frame); }
void songSetPaused(void* song, bool paused) { songPlayerSetPaused(*static_cast<SongPlayer*>(song), paused); }
void songSetLoop(void* song, bool on, uint64_t start, uint64_t end) {
    songPlayerSetLoop(*static_cast<SongPlayer*>(song), on, start, end);
}

// Opens the session at the window's drawable size; `keep` (the edited
// tracks) replaces the tracks it builds.
bool openAtWindowSize(Edit& edit, TrackSet* keep) {
    SDL_GL_GetDrawableSize(edit.window, &edit.width, &edit.height);
    if (edit.width <= 0 || edit.height <= 0) return false;
    openShowSession(edit.session, Orrery::Gfx::DeviceDesc{}, edit.width, edit.height);
    if (keep) {
        trackSetDestroy(edit.session.show.tracks);
        edit.session.show.tracks = *keep;
    }
    edit.screen = Orrery::Gfx::glesAttachScreenTarget(*edit.session.show.runtime->outputTexture);
    if (!edit.screen) return false;
    if (edit.frameLog) {
        if (!edit.readFramebuffer) glGenFramebuffers(1, &edit.readFramebuffer);
        glBindFramebuffer(GL_READ_FRAMEBUFFER, edit.readFramebuffer);
        glFramebufferTexture2D(GL_READ_FRAMEBUFFER, GL_COLOR_ATTACHMENT0, GL_TEXTURE_2D, edit.screen, 0);
        glBindFramebuffer(GL_READ_FRAMEBUFFER, 0);
        edit.pixels.resize(size_t(edit.width) * size_t(edit.height) * 4);
    }
    return true;
}

// A new drawing size: the graph is built again, the edited keys kept.
bool reopenAtWindowSize(Edit& edit) {
    TrackSet keep = edit.session.show.tracks;
    edit.session.show.tracks = TrackSet{};
    releaseShowSession(edit.session);
    glDeleteTextures(1, &edit.screen);
    edit.screen = 0;
    const bool opened = openAtWindowSize(edit, &keep);
    editRedraw(edit.core);
    return opened;
}

void reloadTimeline(Edit& edit) {
    TrackSet fresh;
    trackSetInit(fresh);
    fresh.beatsPerMinute = edit.session.show.tracks.beatsPerMinute;
    fresh.ticksPerBeat = edit.session.show.tracks.ticksPerBeat;
    uint32_t rows = 0;
    std::string error;
    if (!readTimelineFile(edit.options->timelinePath, kNames, fresh, rows, error)) {
        trackSetDestroy(fresh);
        fault((error + "; keeping the keys").c_str());
        return;
    }
    uint32_t keys = 0;
    for (uint32_t i = 0; i < fresh.tracks.count; ++i) keys += fresh.tracks[i].keys.count;
    trackSetDestroy(edit.session.show.tracks);
    edit.session.show.tracks = fresh;
    char line[1024];
    std::snprintf(line, sizeof line, "reloaded %u keys from %s", keys, edit.options->timelinePath);
    say(line);
}

void onKey(Edit& edit, SDL_Keycode key) {
    static const struct {
        SDL_Keycode sdl;
        EditKey key;
    } keys[] = {
        {SDLK_SPACE, EditKey::PlayPause},     {SDLK_LEFT, EditKey::BeatBack},        {SDLK_RIGHT, EditKey::BeatOn},
        {SDLK_UP, EditKey::RowBack},          {SDLK_DOWN, EditKey::RowOn},           {SDLK_PAGEUP, EditKey::PageBack},
        {SDLK_PAGEDOWN, EditKey::PageOn},     {SDLK_HOME, EditKey::Start},           {SDLK_LEFTBRACKET, EditKey::LoopStart},
        {SDLK_RIGHTBRACKET, EditKey::LoopEnd}, {SDLK_BACKSLASH, EditKey::LoopClear},
    };
    for (const auto& k : keys) {
        if (k.sdl == key) return editKey(edit.core, k.key, songPlayerPosition(edit.song));
    }
}

// Events: true once Escape went down or the window was closed.
bool pollEvents(Edit& edit, bool& resized) {
    bool quit = false;
    SDL_Event event;
    while (SDL_PollEvent(&event)) {
        if (event.type == SDL_QUIT) quit = true;
        if (event.type == SDL_WINDOWEVENT && event.window.event == SDL_WINDOWEVENT_SIZE_CHANGED) resized = true;
        if (event.type != SDL_KEYDOWN) continue;
        if (event.key.keysym.sym == SDLK_ESCAPE) quit = true;
        else onKey(edit, event.key.keysym.sym);
    }
    return quit;
}

void updateTitle(Edit& edit, const EditFrame& frame, double now) {
    edit.fpsFrames += 1;
    if (now - edit.fpsSince >= 1.0) {
        edit.fps = float(edit.fpsFrames / (now - edit.fpsSince));
        edit.fpsFrames = 0;
        edit.fpsSince = now;
    }
    if (now - edit.titleAt < 0.25) return;
    edit.titleAt = now;
    const char* connection = !edit.linked                   ? "no editor"
                             : syncLinkConnected(edit.link) ? "editor connected"
                                                            : "waiting for the editor";
    char status[224];
    editStatusLine(edit.core, frame, edit.fps, connection, edit.shaderError, status, sizeof status);
    char title[256];
    std::snprintf(title, sizeof title, "Thawline edit | %s", status);
    SDL_SetWindowTitle(edit.window, title);
}

void logFrame(Edit& edit, const EditFrame& frame) {
    glBindFramebuffer(GL_READ_FRAMEBUFFER, edit.readFramebuffer);
    glPixelStorei(GL_PACK_ALIGNMENT, 1);
    glReadPixels(0, 0, edit.width, edit.height, GL_RGBA, GL_UNSIGNED_BYTE, edit.pixels.data());
    glBindFramebuffer(GL_READ_FRAMEBUFFER, 0);
    std::fprintf(edit.frameLog, "frame %llu row %u %s size %dx%d hash %016llx\n",
                 static_cast<unsigned long long>(frame.position), frame.row, frame.trailHeld ? "held" : edit.core.paused ? "paused" : "playing", edit.width,
                 edit.height,
                 static_cast<unsigned long long>(hashBytes(edit.pixels.data(), edit.pixels.size())));
    std::fflush(edit.frameLog);
}

}  // namespace

int parseEditOptions(int argc, char** argv, EditOptions& options) {
    options = EditOptions{nullptr, nullptr, kSyncDefaultAddress, 960, 540, kDefaultPrerollFrames, nullptr};
    for (int i = 0; i < argc; ++i) {
        const char* arg = argv[i];
        if (!std::strcmp(arg, "-h") || !std::strcmp(arg, "--help")) {
            std::fputs(kEditUsage, stdout);
            return 1;
        }
        const char** value = !std::strcmp(arg, "--timeline")    ? &options.timelinePath
                             : !std::strcmp(arg, "--shaders")   ? &options.shaderDir
                             : !std::strcmp(arg, "--sync")      ? &options.syncAddress
                             : !std::strcmp(arg, "--frame-log") ? &options.frameLogPath
                                                                : nullptr;
        const bool size = !std::strcmp(arg, "--size");
        const bool preroll = !std::strcmp(arg, "--preroll");
        if (!value && !size && !preroll) {
            std::fprintf(stderr, "thawline: unknown option %s (try --edit --help)\n", arg);
            return 2;
        }
        if (i + 1 >= argc) {
            std::fprintf(stderr, "thawline: %s needs a value (try --edit --help)\n", arg);
            return 2;
        }
        const char* given = argv[++i];
        if (value) {
            *value = given;
            continue;
        }
        char extra = 0;
        if (preroll) {
            unsigned frames = 0;
            if (std::sscanf(given, "%u%c", &frames, &extra) != 1 || frames < 1 || frames > kMaxPrerollFrames ||
                given[0] == '-') {
                std::fprintf(stderr, "thawline: --preroll %s is not a frame count from 1 to %u\n", given,
                             kMaxPrerollFrames);
                return 2;
            }
            options.prerollFrames = frames;
            continue;
        }
        int w = 0;
        int h = 0;
        if (std::sscanf(given, "%dx%d%c", &w, &h, &extra) != 2 || w < 16 || h < 16 || w > 8192 || h > 8192) {
            std::fprintf(stderr, "thawline: --size %s is not WxH between 16 and 8192\n", given);
            return 2;
        }
        options.width = w;
        options.height = h;
    }
    static std::string timeline;
    static std::string shaders;
    if (!options.timelinePath) {
        timeline = checkoutPath("src/content/timeline/thawline.rocket");
        options.timelinePath = timeline.c_str();
    }
    if (!options.shaderDir) {
        shaders = checkoutPath("src/content/shaders");
        options.shaderDir = shaders.c_str();
    }
    return 0;
}

int runEditMode(SDL_Window* window, const EditOptions& options, EditShaderHook shaderHook,
                volatile sig_atomic_t& stopSignal) {
    static Edit edit;  // the sync link's and the sound callback's user: one place for the program's life
    edit = Edit{};
    edit.window = window;
    edit.options = &options;
    if (options.frameLogPath) {
        edit.frameLog = std::fopen(options.frameLogPath, "w");
        if (!edit.frameLog) {
            fault((std::string("cannot write the frame log ") + options.frameLogPath).c_str());
            return 1;
        }
    }

    // The timeline file's keys; without it the built-in ones, and the show plays on.
    TrackSet loaded;
    trackSetInit(loaded);
    loaded.beatsPerMinute = kShowBeatsPerMinute;
    loaded.ticksPerBeat = kShowTicksPerBeat;
    std::string error;
    edit.rows = kTimelineRows;
    const bool fromFile = readTimelineFile(options.timelinePath, kNames, loaded, edit.rows, error);
    if (!fromFile) {
        fault((error + "; playing the built-in keys").c_str());
        trackSetDestroy(loaded);
        edit.rows = kTimelineRows;
    }
    if (!openAtWindowSize(edit, fromFile ? &loaded : nullptr)) {
        fault("the window has no drawable area or screen texture");
        return 1;
    }
    if (!openSongPlayer(edit.song, kSongModule, kSongModuleSize)) {
        fault("cannot render the song");
        return 1;
    }
    if (!edit.song.device) {
        const char* reason = SDL_GetError();
        std::fprintf(stderr, "thawline: no sound device%s%s%s; playing silent\n", *reason ? " (" : "", reason,
                     *reason ? ")" : "");
    }

    if (!fileWatchOpen(edit.watch, options.timelinePath, error)) fault(error.c_str());

    editCoreInit(edit.core, edit.session, EditSong{&edit.song, songSeek, songSetPaused, songSetLoop}, sayLine, nullptr,
                 options.prerollFrames);
    SyncLinkSetup setup = {options.syncAddress, kNames, edit.rows, options.timelinePath, onSyncEvent, &edit};
    edit.linked = syncLinkInit(edit.link, setup, error);
    if (!edit.linked) fault(error.c_str());

    edit.fpsSince = secondsNow();
    bool quit = false;
    while (!quit && !stopSignal) {
        bool resized = false;
        quit = pollEvents(edit, resized);
        if (resized && !reopenAtWindowSize(edit)) {
            fault("the window has no drawable area or screen texture");
            break;
        }
        const double now = secondsNow();
        if (edit.linked) syncLinkPoll(edit.link, now, edit.session.show.tracks);
        if (fileWatchPoll(edit.watch)) reloadTimeline(edit);
        // shader reload
        if (shaderHook.poll) {
            bool swapped = false;
            edit.shaderError = shaderHook.poll(shaderHook.user, *edit.session.show.runtime, swapped);
            if (swapped) editRedraw(edit.core);
        }

        const EditFrame frame =
            editFrame(edit.core, songPlayerPosition(edit.song), secondsNow(), edit.linked ? &edit.link.session : nullptr);
        if (!frame.drawn) SDL_Delay(8);  // nothing new to show: no busy loop while paused
        Orrery::Gfx::glesPresent(*edit.session.show.runtime->outputTexture, 0, edit.width, edit.height);
        SDL_GL_SwapWindow(window);
        if (edit.frameLog && frame.drawn) logFrame(edit, frame);
        updateTitle(edit, frame, secondsNow());
    }

    if (edit.linked) syncLinkClose(edit.link);
    fileWatchClose(edit.watch);
    closeSongPlayer(edit.song);
    if (edit.frameLog) std::fclose(edit.frameLog);
    closeShowSession(edit.session);
    return stopSignal ? 128 + stopSignal : 0;
}
