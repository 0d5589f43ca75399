// thawline --edit: the show in a resizable window as an authoring tool. The
// song plays from a render of the whole song, so any row can be sought to
// exactly; the keyboard and a sync editor move, pause and loop it; the
// editor's key changes and saves of the timeline file show at once.
#pragma once

#include <SDL2/SDL.h>

#include <csignal>
#include <cstdint>

namespace Orrery::Gfx {
struct GraphRuntime;
}

// Where shader reload plugs in: called once per frame with the running
// graph; returns true while a shader fails to build (the title says so) and
// sets `swapped` when a new program went in (the picture is drawn again).
struct EditShaderHook {
    void* user;
    bool (*poll)(void* user, Orrery::Gfx::GraphRuntime& runtime, bool& swapped);
};

struct EditOptions {
    const char* timelinePath;
    const char* shaderDir;
    const char* syncAddress;
    int32_t width;  // the window's first size
    int32_t height;
    uint32_t prerollFrames;    // drawn unseen after a seek to rebuild the melt trail
    const char* frameLogPath;  // tests: one line per drawn frame with its pixels' hash
};

extern const char* const kEditUsage;

// Parses the arguments after "--edit". 0 to run, 1 after printing the usage
// (--help), 2 after printing one line about a bad argument.
int parseEditOptions(int argc, char** argv, EditOptions& options);

// Runs edit mode in `window` (its GL context current) until Escape, the
// window's close or `stopSignal`. Its exit status.
int runEditMode(SDL_Window* window, const EditOptions& options, EditShaderHook shaderHook,
                volatile sig_atomic_t& stopSignal);
