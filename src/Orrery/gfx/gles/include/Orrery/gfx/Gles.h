// What only OpenGL ES programs need besides the runtime.
//
// Start-up for any program: make an OpenGL ES 3 context current (EGL, SDL,
// ...), check it with glesContextProblem, call initContext, then build the
// show. The runtime draws only into textures; a windowed program copies the
// output to its window with glesPresent.
#pragma once

#include <GLES3/gl3.h>

#include <cstddef>
#include <cstdint>

namespace Orrery::Gfx {

class TextureRuntime;
struct GraphRuntime;
struct Program;
struct ProgramDesc;

// Null when the current context can run the show: OpenGL ES 3.0 or later
// with EXT_color_buffer_float (half-float targets). Otherwise a one-line
// reason.
const char* glesContextProblem();

// True when the current context lists the extension `name`.
bool glesHasExtension(const char* name);

// Puts an 8-bit RGBA texture of the screen texture's size in place as its
// outside target, as a swap chain's back buffer is on Windows, and returns
// that texture (0 without a context); the caller owns it. The present pass
// then writes 8-bit pixels that can be read back or copied to a window.
GLuint glesAttachScreenTarget(TextureRuntime& screen);

// Copies the screen texture's render target A (rows top first, as Direct3D
// stores them) into `framebuffer` (0: the window) at width x height,
// flipped so that row 0 appears at the top of a bottom-up framebuffer.
void glesPresent(TextureRuntime& screen, GLuint framebuffer, int32_t width, int32_t height);

// Compiles and links `desc`'s vertex and pixel text into `program` and
// reads its bindings. False with the stage's or the linker's log (one
// message, truncated to logSize) when the driver rejects it.
bool glesLinkProgram(const ProgramDesc& desc, Program& program, char* log, uint32_t logSize);

// What only this back end can lose in an assembled graph: a program that
// the driver did not compile or link leaves its pass skipped in every frame.
// True when every entry of the pass list is a draw pass with its program;
// otherwise false with a one-line reason.
bool allProgramsBuilt(GraphRuntime& runtime, char* reason, size_t reasonSize);

// Parses a combined sampler's name "thaw_t<i>_s<j>"; false for any other name.
bool parseSamplerName(const char* name, uint32_t& textureSlot, uint32_t& samplerSlot);
// Parses a uniform block's name "thaw_b<n>"; false for any other name.
bool parseBlockName(const char* name, uint32_t& binding);

}  // namespace Orrery::Gfx
