// The runtime that owns the show's parameters, resource and pass tables and
// the ordered pass list, and runs one frame of it.
#pragma once

#include "Orrery/gfx/IdTable.h"
#include "Orrery/gfx/Parameter.h"
#include "Orrery/gfx/Pass.h"
#include "Orrery/gfx/Resource.h"

// The primary screen's size in pixels, written once by the frame driver at
// start-up before anything reads it. Defined by the graphics runtime.
extern int32_t screenWidth;
extern int32_t screenHeight;

namespace Orrery::Gfx {

struct GraphRuntime {
    GrowArray<Parameter> parameters;  // live values, in cbuffer order
    IdTable<Resource> resources;
    IdTable<void> passTable;          // filled at start-up, never read per frame
    TextureRuntime* outputTexture;
    GrowArray<PassEntry> passes;      // execution order
    bool firstFrame;
    ParameterBlock block;

    GraphRuntime();  // empty lists, 16-bucket tables, firstFrame false

    // Keeps a copy of `list` as `parameters` and packs it once into `block`.
    void setParameters(const GrowArray<Parameter>& list);
    // Find-or-insert slots: assign the object through the returned reference.
    Resource*& registerResource(int32_t id);
    void*& registerPass(int32_t id);
    // Appends to the execution order; the list never shrinks.
    void addPass(int32_t kind, void* pass);

    // Appends the pass that draws `outputTexture` (flipped vertically) into a
    // new screen-sized texture, and makes that texture the output. The frame
    // driver then puts the back buffer's view into the texture's rtvA.
    void createPresentPass();

    // One frame: packs the parameters behind the kept block, runs the update
    // hooks, every active pass in order, swaps double-buffered resources.
    // Returns outputTexture.
    TextureRuntime* runFrame();
};

// Releases the API objects of every registered resource, of the output
// texture and of every pass in the list, and frees the runtime's own storage
// (parameters, tables, pass list, block): it holds nothing afterwards and
// can be filled again or deleted. The
// resource and pass objects stay their creators' to delete. The show never
// calls it; a program that rebuilds its graph does.
void releaseGraph(GraphRuntime& runtime);

// Run one pass with the frame data that goes to b8 (called by runFrame).
// A draw pass without both its shaders, or a compute pass without its
// shader, is skipped without any API call.
void runDrawPass(DrawPass& pass, const uint8_t* frameData, uint32_t size);
void runComputePass(ComputePass& pass, const uint8_t* frameData, uint32_t size);

}  // namespace Orrery::Gfx
