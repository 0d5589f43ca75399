// The running show: the graphics runtime with its parameters, textures and
// passes, and the tracks that animate them. Filled once by assembleShow.
#pragma once

#include <cstdint>

#include "Orrery/gfx/GraphRuntime.h"
#include "anim/TrackSet.h"

struct Show {
    Orrery::Gfx::GraphRuntime* runtime;  // created by assembleShow, lives until exit
    TrackSet tracks;                     // track i drives parameter i

    // Textures, in resource id order 0 to 8.
    Orrery::Gfx::TextureRuntime* scrollTarget;  // double-buffered: the melt trail's feedback
    Orrery::Gfx::ImageRuntime* fontAtlas;
    Orrery::Gfx::TextureRuntime* paletteTarget;
    Orrery::Gfx::TextureRuntime* blurTarget;
    Orrery::Gfx::TextureRuntime* compositeTarget;
    Orrery::Gfx::TextureRuntime* cloudsTarget;
    Orrery::Gfx::TextureRuntime* backgroundTarget;
    Orrery::Gfx::TextureRuntime* finalTarget;  // the content's output
    Orrery::Gfx::TextureRuntime* raysTarget;

    // Passes, in pass id order 0 to 7 (not the execution order).
    Orrery::Gfx::DrawPass* scrollPass;
    Orrery::Gfx::DrawPass* palettePass;
    Orrery::Gfx::DrawPass* blurPass;
    Orrery::Gfx::DrawPass* compositePass;
    Orrery::Gfx::DrawPass* cloudsPass;
    Orrery::Gfx::DrawPass* backgroundPass;
    Orrery::Gfx::DrawPass* crtPass;
    Orrery::Gfx::DrawPass* raysPass;
};

// Resource ids of the textures.
enum ShowTextureId : int32_t {
    kScrollTargetId = 0,
    kFontAtlasId = 1,
    kPaletteTargetId = 2,
    kBlurTargetId = 3,
    kCompositeTargetId = 4,
    kCloudsTargetId = 5,
    kBackgroundTargetId = 6,
    kFinalTargetId = 7,
    kRaysTargetId = 8,
    kShowTextureCount = 9,
};

// Pass ids, in creation order.
enum ShowPassId : int32_t {
    kScrollPassId = 0,
    kPalettePassId = 1,
    kBlurPassId = 2,
    kCompositePassId = 3,
    kCloudsPassId = 4,
    kBackgroundPassId = 5,
    kCrtPassId = 6,
    kRaysPassId = 7,
    kShowPassCount = 8,
};

// The fixed render size of the text layer, whatever the screen.
constexpr int32_t kTextLayerWidth = 1920;
constexpr int32_t kTextLayerHeight = 1080;

// Builds the whole graph on the device that initContext was given: the
// runtime, its 27 parameters, the tempo and the 27 tracks with their keys,
// nine render textures and the glyph atlas, eight passes and their execution
// order; sets the runtime's output to finalTarget. `show.tracks` must be an
// initialised set. Reads screenWidth and screenHeight. Checks no result: an
// object whose creation fails stays registered in its empty state.
void assembleShow(Show& show);

// Releases the API objects of the whole graph (releaseGraph), deletes every
// object assembleShow and createPresentPass made, frees the tracks and
// leaves `show` empty, ready to be assembled again. The show never calls
// it; a program that rebuilds its graph (a new size, an editor) does.
void releaseShow(Show& show);
