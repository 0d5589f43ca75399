#include "content/scene/ShowCheck.h"

#include <cstdio>

#include "content/scene/Show.h"

using namespace Orrery::Gfx;

namespace {

const char* passName(const Show& show, const DrawPass* pass) {
    const struct {
        const DrawPass* pass;
        const char* name;
    } names[] = {{show.scrollPass, "scroller"},   {show.palettePass, "palette"},       {show.blurPass, "blur"},
                 {show.compositePass, "composite"}, {show.cloudsPass, "clouds"},        {show.backgroundPass, "background"},
                 {show.crtPass, "CRT"},           {show.raysPass, "light rays"}};
    for (const auto& entry : names)
        if (entry.pass == pass) return entry.name;
    return "present";
}

// Both copies of a double-buffered resource are used on alternate frames.
bool hasTargetViews(Resource* resource) {
    return resource && resource->getRenderTargetView(false) && resource->getRenderTargetView(true);
}

bool hasInputViews(Resource* resource) {
    return resource && resource->getShaderResourceView(false) && resource->getShaderResourceView(true);
}

}  // namespace

bool showResourcesComplete(const Show& show, char* reason, size_t reasonSize) {
    const GraphRuntime& runtime = *show.runtime;
    for (uint32_t p = 0; p < runtime.passes.count; ++p) {
        if (runtime.passes[p].kind != PassKind::Draw) continue;
        const auto* pass = static_cast<const DrawPass*>(runtime.passes[p].pass);
        for (uint32_t t = 0; t < pass->desc.targets.count; ++t) {
            if (hasTargetViews(pass->desc.targets[t].resource)) continue;
            snprintf(reason, reasonSize, "the %s pass has no render target %u (its texture was not created)",
                     passName(show, pass), t);
            return false;
        }
        for (uint32_t i = 0; i < pass->desc.inputs.count; ++i) {
            if (hasInputViews(pass->desc.inputs[i].resource)) continue;
            snprintf(reason, reasonSize, "the %s pass has no input %u (its texture was not created)",
                     passName(show, pass), i);
            return false;
        }
    }
    return true;
}
