// The process-wide graphics state on OpenGL ES 3.0: the kept per-frame block,
// the one uniform buffer every pass sees at binding 8, the six sampler
// objects, and the framebuffer and vertex array every draw uses.
//
// Start-up for any program: make an OpenGL ES 3 context current (EGL, SDL,
// ...), check it with glesContextProblem, call initContext, then build the
// show. The runtime draws only into textures; a windowed program copies the
// output to its window with glesPresent.
#pragma once

#include <GLES3/gl3.h>

#include "Orrery/gfx/Pass.h"
#include "Orrery/gfx/Resource.h"
#include "app/ContextBuffer.h"
#include "base/GrowString.h"

namespace Orrery::Gfx {

// What the program hands to initContext: the current context is implied.
struct ContextDesc {
    ContextBuffer data;  // all zero at start-up
    GrowString name;     // not used by the runtime; the caller frees it
};

struct GfxContext {
    bool ready = false;  // initContext ran on a current, usable context
    ContextBuffer contextData = {};
    BufferRuntime frameConstants;
    BufferDesc frameConstantsDesc;
    GLuint samplers[kSamplerCount] = {};
    GLuint drawFramebuffer = 0;
    GLuint emptyVertexArray = 0;
    GLuint zeroTexture = 0;  // 1 x 1 (0, 0, 0, 0): what an empty input reads
    bool borderClamp = false;
};

extern GfxContext gfxContext;

// Null when the current context can run the show: OpenGL ES 3.0 or later
// with EXT_color_buffer_float (half-float targets). Otherwise a one-line
// reason.
const char* glesContextProblem();

// Keeps a copy of the block and creates the samplers, framebuffer, vertex
// array and zero texture on the current context. Without a usable context
// (glesContextProblem) the runtime stays empty and creates nothing.
void initContext(ContextDesc desc);

// Folds the frame's block into the kept one (deriveContext) and resets the
// recorded constant-buffer size to the bare block (608 bytes).
void updateContext(ContextBuffer data);

// Gives the screen texture (the runtime's output after createPresentPass) an
// 8-bit RGBA texture of its size as render target A, as a swap chain's back
// buffer is on Windows, and returns that texture (0 without a context). The
// present pass then writes 8-bit pixels that can be read back or copied to a
// window.
GLuint glesAttachScreenTarget(TextureRuntime& screen);

// Copies the screen texture's render target A (rows top first, as Direct3D
// stores them) into `framebuffer` (0: the window) at width x height,
// flipped so that row 0 appears at the top of a bottom-up framebuffer.
void glesPresent(TextureRuntime& screen, GLuint framebuffer, int32_t width, int32_t height);

}  // namespace Orrery::Gfx
