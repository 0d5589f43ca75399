// Draws every pixel program of the show once, on fixed inputs and frame
// constants, and writes the float results to a file: built for Direct3D 11
// (run under Wine) and for OpenGL ES (native) from the same source, so the
// two renderers' programs can be compared pass by pass at full precision,
// without the show's thresholds and feedback amplifying the differences.
//
//   pass_dump OUT.bin
// OUT.bin holds, per program: a 32-byte name, int32 width, int32 height and
// width * height * 4 floats, rows first.
#include <cmath>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "AtlasImage.h"
#include "RenderHarness.h"
#include "ShaderReference.h"
#include "content/shaders/ShaderBlobs.h"

namespace {

using ref::Image;

#define BLOB(n) ShaderBlob{k##n, k##n##Size}

// Smooth but uneven content in every channel, values over 0..1.
Image pattern(int w, int h, float seed) {
    Image image = ref::makeImage(w, h, {0, 0, 0, 1});
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) {
            const float u = (x + 0.5f) / w, v = (y + 0.5f) / h;
            image.set(x, y,
                      {0.5f + 0.5f * std::sin(9.0f * u + 4.0f * v + seed),
                       0.5f + 0.5f * std::sin(5.0f * u - 7.0f * v + 2.0f * seed),
                       0.5f + 0.5f * std::cos(3.0f * u * v * 11.0f + seed), 1.0f});
        }
    return image;
}

// Grey levels with a few bright, nearly white, patches (text-like).
Image greyText(int w, int h) {
    Image image = ref::makeImage(w, h, {0, 0, 0, 1});
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) {
            const float g = ((x / 6 + y / 5) % 3 == 0) ? 1.0f : 0.35f * (0.5f + 0.5f * std::sin(0.3f * x + 0.2f * y));
            image.set(x, y, {g, g, g, 1.0f});
        }
    return image;
}

struct Case {
    std::string name;
    Image out;
};

bool draw(std::vector<Case>& cases, const char* name, ShaderBlob vs, ShaderBlob ps, std::vector<const Image*> inputs,
          const ref::Frame& frame, int w, int h) {
    Case c;
    c.name = name;
    std::string error;
    if (!harnessRender(vs, ps, inputs, ref::packFrame(frame), w, h, c.out, error)) {
        std::fprintf(stderr, "pass_dump: %s: %s\n", name, error.c_str());
        return false;
    }
    cases.push_back(std::move(c));
    return true;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: pass_dump OUT.bin\n");
        return 2;
    }
    std::string error;
    if (!harnessStart(error)) {
        std::fprintf(stderr, "pass_dump: %s\n", error.c_str());
        return 1;
    }
    const int w = 160, h = 90;
    ref::Frame frame;
    frame.width = float(w);
    frame.height = float(h);
    frame.time = 23.4f;

    Image atlas;
    if (!decodeUploadedAtlas(atlas)) {
        std::fprintf(stderr, "pass_dump: the atlas does not decode\n");
        return 1;
    }
    const Image text = greyText(384, 216);
    const Image a = pattern(w, h, 0.3f), b = pattern(w, h, 1.7f), big = pattern(384, 216, 2.9f);
    std::vector<Case> cases;
    bool ok = true;

    ref::Frame scroll = frame;
    scroll.params[ref::kOutlines] = 1.5f;
    scroll.params[ref::kNoiseStrength] = 0.75f;
    scroll.params[ref::kFeedbackStrength] = 0.8f;
    scroll.params[ref::kMeltGradientSpread] = 0.2f;
    scroll.params[ref::kBayerOn] = 1.0f;
    scroll.params[ref::kScrollSpeed] = 50.5f;
    ok &= draw(cases, "scroller", BLOB(ScreenTriangleLongVS), BLOB(ScrollerPS), {&atlas, &big}, scroll, 384, 216);
    scroll.params[ref::kIsNearestSampling] = 1.0f;
    ok &= draw(cases, "scroller-nearest", BLOB(ScreenTriangleLongVS), BLOB(ScrollerPS), {&atlas, &big}, scroll, 384,
               216);
    ok &= draw(cases, "palette", BLOB(ScreenTriangleLongVS), BLOB(PalettePS), {&big}, frame, 384, 216);
    ok &= draw(cases, "clouds", BLOB(ScreenTriangleShortVS), BLOB(CloudsPS), {}, frame, w, h);
    ok &= draw(cases, "background", BLOB(ScreenTriangleShortVS), BLOB(BackgroundPS), {&a}, frame, w, h);
    ok &= draw(cases, "blur", BLOB(ScreenTriangleShortVS), BLOB(BlurPS), {&text}, frame, w, h);
    ref::Frame composite = frame;
    composite.params[ref::kBgTransp] = 0.5f;
    composite.params[ref::kTxtTransp] = 0.7f;
    ok &= draw(cases, "composite", BLOB(ScreenTriangleShortVS), BLOB(CompositePS), {&a, &b}, composite, w, h);
    ref::Frame rays = frame;
    rays.params[ref::kLamerDecay] = 0.95f;
    rays.params[ref::kLamerDensity] = 0.8f;
    ok &= draw(cases, "rays", BLOB(ScreenTriangleShortVS), BLOB(RaysPS), {&a}, rays, w, h);
    ref::Frame crt = frame;
    crt.params[ref::kEnableFinalPostProc] = 1.0f;
    crt.params[ref::kScanlines] = 0.5f;
    crt.params[ref::kGlobeBrightness] = 1.5f;
    crt.params[ref::kFlicker] = 0.005f;
    crt.params[ref::kBlinky] = 0.5f;
    ok &= draw(cases, "crt", BLOB(ScreenTriangleShortVS), BLOB(CrtPS), {&a}, crt, w, h);
    ok &= draw(cases, "present", BLOB(PresentVS), BLOB(PresentPS), {&a}, frame, w, h);
    if (!ok) return 1;

    FILE* file = std::fopen(argv[1], "wb");
    if (!file) {
        std::fprintf(stderr, "pass_dump: cannot write %s\n", argv[1]);
        return 1;
    }
    bool written = true;
    for (const Case& c : cases) {
        char name[32] = {};
        std::strncpy(name, c.name.c_str(), sizeof name - 1);
        const int32_t size[2] = {c.out.width, c.out.height};
        written &= std::fwrite(name, 1, sizeof name, file) == sizeof name;
        written &= std::fwrite(size, sizeof size[0], 2, file) == 2;
        written &= std::fwrite(c.out.texels.data(), sizeof(float), c.out.texels.size(), file) == c.out.texels.size();
    }
    written &= std::fclose(file) == 0;
    if (!written) {
        std::fprintf(stderr, "pass_dump: writing %s failed\n", argv[1]);
        return 1;
    }
    return 0;
}
