// Shader hot reload for edit mode: watches a folder of the show's HLSL
// sources and, when one is saved, rebuilds that program with the build's own
// chain and tools (glslangValidator's HLSL front end -> SPIR-V -> spirv-opt
// -> thaw-glsl -> GLSL ES 3.00), then links the new text into every pass of
// the graph that uses the program and releases the old objects. A saved
// .hlsli rebuilds every program.
//
// Nothing here blocks a frame: the folder is watched through a non-blocking
// inotify descriptor, the tools run in a child process whose output and end
// are polled, and only the driver's compile and link of the finished text
// run inside shaderReloadPoll. A save that is complete (the file closed after
// writing, or renamed into place) starts its build at once; a file only
// created waits until the folder has been quiet for kShaderReloadQuietSeconds
// or its close arrives. A save during a build stops it and starts it again,
// so a burst of saves ends in one build of the last text.
//
// On any failure (a tool's error, a missing file, the driver refusing the
// text) the passes keep the last good program, each error line comes back as
// a fault event, and shaderReloadFailing stays true until a good build of
// every failed program replaces it.
//
// Use, on the thread that owns the OpenGL ES context:
//   ShaderReload reload;
//   std::string error;
//   if (!shaderReloadOpen(reload, "src/content/shaders", error)) ...print error, play on...
//   per frame, before drawing:
//     shaderReloadPoll(reload, runtime, events);   // events: appended, caller clears
//   title: shaderReloadFailing(reload) ? "shader error" : ...
//   shaderReloadClose(reload);
// The rebuilt texts belong to the ShaderReload, and the passes point at them:
// close it only after the graph has been released, or not at all. A graph
// built again from the embedded programs (a new session at a new size) is
// given the rebuilt programs again by the next poll.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "app/linux/ChildProcess.h"

namespace Orrery::Gfx {
struct GraphRuntime;
}

constexpr double kShaderReloadQuietSeconds = 0.05;

// One printable line (no newline) for the terminal: a program rebuilt and
// swapped in, or a fault (a compiler's error with its file and line, a link
// log, a tool that could not run).
struct ShaderReloadEvent {
    std::string line;
    bool fault;
};

struct ShaderReloadProgram {
    const char* name;        // "BlurPS"
    const char* source;      // "Blur.ps.hlsl", in the watched folder
    const char* stage;       // glslang's: "vert" or "frag"
    const char* entry;       // "vertex_main" or "pixel_main"
    const unsigned char* embedded;  // the text built into the program
    std::vector<char> text;  // the last good rebuilt text, zero-terminated (empty: none yet)
    bool wanted;             // saved since its last build started
    bool whole;              // its last save was complete (closed or renamed into place)
    bool failing;            // its last build failed
};

struct ShaderReload {
    std::string shaderDir;
    std::string buildTree;   // the build the program runs from: its converter and generated includes
    std::string workDir;     // the chain's intermediate files (a temporary folder)
    int notify = -1;         // inotify descriptor
    std::vector<ShaderReloadProgram> programs;
    double quietSince = 0;   // time of the last save seen
    // The build under way: one program at a time, its three tools in one child.
    int building = -1;       // index into programs, or -1
    ChildProcess child;
};

// Starts watching `shaderDir`. False with a one-line reason when the folder
// cannot be watched or the temporary folder cannot be made.
bool shaderReloadOpen(ShaderReload& reload, const char* shaderDir, std::string& error);

// Once per frame: reads the folder's events, advances the build under way,
// swaps finished programs into `runtime`'s passes and appends what happened
// to `events`. Never waits.
void shaderReloadPoll(ShaderReload& reload, Orrery::Gfx::GraphRuntime& runtime, std::vector<ShaderReloadEvent>& events);

// True while any program's last build failed ("shader error" in the title).
bool shaderReloadFailing(const ShaderReload& reload);

// True while saves wait for their quiet time or a build runs.
bool shaderReloadBusy(const ShaderReload& reload);

// Stops the watch and any running tool and removes the temporary folder.
void shaderReloadClose(ShaderReload& reload);
