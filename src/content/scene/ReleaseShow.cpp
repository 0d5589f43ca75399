#include <initializer_list>

#include "content/scene/Show.h"

using namespace Orrery::Gfx;

// The runtime's classes have no virtual destructor (the show keeps them for
// the whole run), so each object is deleted through its own type.
#pragma GCC diagnostic ignored "-Wdelete-non-virtual-dtor"

void releaseShow(Show& show) {
    GraphRuntime* runtime = show.runtime;
    if (runtime) {
        // createPresentPass made the last pass of the list and the screen texture.
        DrawPass* present = nullptr;
        if (runtime->passes.count > kShowPassCount)
            present = static_cast<DrawPass*>(runtime->passes[runtime->passes.count - 1].pass);
        TextureRuntime* screen = runtime->outputTexture != show.finalTarget ? runtime->outputTexture : nullptr;
        releaseGraph(*runtime);
        delete present;
        delete screen;
    }
    for (TextureRuntime* t : {show.scrollTarget, show.paletteTarget, show.blurTarget, show.compositeTarget,
                              show.cloudsTarget, show.backgroundTarget, show.finalTarget, show.raysTarget})
        delete t;
    delete show.fontAtlas;
    for (DrawPass* p : {show.scrollPass, show.palettePass, show.blurPass, show.compositePass, show.cloudsPass,
                        show.backgroundPass, show.crtPass, show.raysPass})
        delete p;
    delete runtime;
    trackSetDestroy(show.tracks);
    show = Show{};
}
