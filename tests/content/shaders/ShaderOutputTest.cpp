// Renders every pixel program with its vertex program under Direct3D 11 and
// compares the pixels with the CPU evaluation of the same formulas.
//
// Tolerances: programs whose result is a table entry, a key decision or a
// quantised level compare to 1e-5. Programs that filter bilinearly compare to
// a few thousandths, because the GPU's filter weights are of limited
// precision. Where a hash of a large sine argument decides a value (the CRT
// grain), the GPU and the CPU round differently; those checks bound the value
// instead of matching it. Point-sampled glyph edges may move by one pixel
// where a sample lands on a texel boundary; such pixels must match a
// neighbour of the reference.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <functional>
#include <string>
#include <vector>

#include "RenderHarness.h"
#include "ShaderReference.h"
#include "content/shaders/ShaderBlobs.h"

#ifdef THAW_HAVE_ATLAS
#include "AtlasImage.h"
#endif

typedef unsigned int uint;
#include "ScrollText.hlsli"

namespace {

using ref::Float4;
using ref::Frame;
using ref::Image;
using ref::PixelSite;

#define BLOB(n) ShaderBlob{k##n, k##n##Size}

class ShaderOutput : public ::testing::Test {
protected:
    static void SetUpTestSuite() { started = harnessStart(startError); }
    void SetUp() override { ASSERT_TRUE(started) << startError; }

    static Image render(ShaderBlob vs, ShaderBlob ps, const std::vector<const Image*>& inputs, const Frame& frame,
                        int width, int height) {
        Image out;
        std::string error;
        bool ok = harnessRender(vs, ps, inputs, ref::packFrame(frame), width, height, out, error);
        EXPECT_TRUE(ok) << error;
        if (!ok) out = ref::makeImage(width, height, {-1, -1, -1, -1});
        return out;
    }

    static bool started;
    static std::string startError;
};
bool ShaderOutput::started = false;
std::string ShaderOutput::startError;

Image referenceImage(int width, int height, const std::function<Float4(const PixelSite&)>& f) {
    Image out = ref::makeImage(width, height, {0, 0, 0, 0});
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x) out.set(x, y, f(ref::pixelSite(x, y, width, height)));
    return out;
}

bool near4(Float4 a, Float4 b, float tolerance) {
    return std::fabs(a.r - b.r) <= tolerance && std::fabs(a.g - b.g) <= tolerance &&
           std::fabs(a.b - b.b) <= tolerance && std::fabs(a.a - b.a) <= tolerance;
}

std::string describe(Float4 c) {
    char text[128];
    std::snprintf(text, sizeof text, "(%.6f, %.6f, %.6f, %.6f)", c.r, c.g, c.b, c.a);
    return text;
}

struct Comparison {
    int mismatches = 0;
    int edgeShifts = 0;
    std::string first;
};

// Compares two images; with allowEdgeShift a pixel may instead match one of
// its eight neighbours in the reference (counted separately).
Comparison compareImages(const Image& gpu, const Image& expected, float tolerance, bool allowEdgeShift = false) {
    Comparison c;
    for (int y = 0; y < gpu.height; ++y) {
        for (int x = 0; x < gpu.width; ++x) {
            Float4 g = gpu.at(x, y), e = expected.at(x, y);
            if (near4(g, e, tolerance)) continue;
            bool shifted = false;
            for (int dy = -1; dy <= 1 && allowEdgeShift && !shifted; ++dy)
                for (int dx = -1; dx <= 1 && !shifted; ++dx) {
                    int nx = x + dx, ny = y + dy;
                    if (nx < 0 || ny < 0 || nx >= gpu.width || ny >= gpu.height) continue;
                    shifted = near4(g, expected.at(nx, ny), tolerance);
                }
            if (shifted) {
                ++c.edgeShifts;
                continue;
            }
            if (c.mismatches++ == 0)
                c.first = "pixel (" + std::to_string(x) + ", " + std::to_string(y) + "): gpu " + describe(g) +
                          ", expected " + describe(e);
        }
    }
    return c;
}

#define EXPECT_IMAGES_NEAR(gpu, expected, tolerance)                                   \
    do {                                                                               \
        Comparison cmp_ = compareImages(gpu, expected, tolerance);                     \
        EXPECT_EQ(cmp_.mismatches, 0) << cmp_.first;                                   \
    } while (0)

// -------------------------------------------------------------- creation

TEST_F(ShaderOutput, EveryBlobIsAcceptedByTheDevice) {
    const struct {
        const char* name;
        ShaderBlob blob;
        bool vertex;
    } blobs[] = {
        {"ScreenTriangleShortVS", BLOB(ScreenTriangleShortVS), true},
        {"ScreenTriangleLongVS", BLOB(ScreenTriangleLongVS), true},
        {"PresentVS", BLOB(PresentVS), true},
        {"PresentPS", BLOB(PresentPS), false},
        {"ScrollerPS", BLOB(ScrollerPS), false},
        {"PalettePS", BLOB(PalettePS), false},
        {"CloudsPS", BLOB(CloudsPS), false},
        {"BackgroundPS", BLOB(BackgroundPS), false},
        {"BlurPS", BLOB(BlurPS), false},
        {"CompositePS", BLOB(CompositePS), false},
        {"RaysPS", BLOB(RaysPS), false},
        {"CrtPS", BLOB(CrtPS), false},
    };
    for (const auto& b : blobs) {
        EXPECT_TRUE(harnessAccepts(b.blob, b.vertex)) << b.name;
        // The other stage must refuse it: the container says which it is.
        EXPECT_FALSE(harnessAccepts(b.blob, !b.vertex)) << b.name;
    }
}

// ---------------------------------------------------- vertex forms, present

Image coordinateTexture(int width, int height) {
    Image image = ref::makeImage(width, height, {0, 0, 0, 1});
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x)
            image.set(x, y, {static_cast<float>(x) / width, static_cast<float>(y) / height, 0.25f, 1.0f});
    return image;
}

TEST_F(ShaderOutput, ScreenTrianglesCoverTheTargetAndPresentFlipsIt) {
    const int w = 40, h = 24;
    Image input = coordinateTexture(w, h);
    Frame frame;
    Image flipped = ref::makeImage(w, h, {0, 0, 0, 0});
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) flipped.set(x, y, input.at(x, h - 1 - y));

    EXPECT_IMAGES_NEAR(render(BLOB(ScreenTriangleShortVS), BLOB(PresentPS), {&input}, frame, w, h), input, 1e-6f);
    EXPECT_IMAGES_NEAR(render(BLOB(ScreenTriangleLongVS), BLOB(PresentPS), {&input}, frame, w, h), input, 1e-6f);
    // The present pass shows the first row of its input at the bottom.
    EXPECT_IMAGES_NEAR(render(BLOB(PresentVS), BLOB(PresentPS), {&input}, frame, w, h), flipped, 1e-6f);
}

// ----------------------------------------------------------------- palette

float stored8Bit(float x) { return std::round(x * 255.0f) / 255.0f; }

TEST_F(ShaderOutput, PaletteMapsGreyLevelsToRampEntries) {
    const int w = 12, h = 3;
    Image input = ref::makeImage(w, h, {0, 0, 0, 1});
    // Row 0: the scroller's trail levels as an 8-bit target stores them,
    // then white, black and an over-bright colour.
    for (int k = 0; k <= 8; ++k) {
        float g = stored8Bit(static_cast<float>(k) / 27.0f);
        input.set(k, 0, {g, g, g, 1});
    }
    input.set(9, 0, {1, 1, 1, 1});
    input.set(10, 0, {0, 0, 0, 1});
    input.set(11, 0, {0.5f, 0.7f, 0.2f, 1});
    // Rows 1 and 2: sums just above and just below each ninth.
    for (int k = 0; k <= 8; ++k) {
        float above = (k + 0.3f) / 9.0f, below = (k + 0.7f) / 9.0f;
        input.set(k, 1, {above * 0.5f, above * 0.3f, above * 0.2f, 1});
        input.set(k, 2, {below * 0.2f, below * 0.3f, below * 0.5f, 1});
    }
    input.set(9, 1, {-0.5f, 0.2f, 0.1f, 1});
    input.set(10, 1, {0.02f, 0.0f, 0.0f, 1});
    input.set(11, 1, {0.3f, 0.3f, 0.3f, 1});

    Frame frame;
    Image gpu = render(BLOB(ScreenTriangleLongVS), BLOB(PalettePS), {&input}, frame, w, h);
    Image expected = referenceImage(w, h, [&](const PixelSite& at) { return ref::palette(input, at); });
    EXPECT_IMAGES_NEAR(gpu, expected, 1e-6f);

    const int stated[12] = {0, 1, 3, 3, 5, 5, 7, 7, 8, 8, 0, 8};
    for (int x = 0; x < 12; ++x)
        EXPECT_TRUE(near4(gpu.at(x, 0), ref::paletteRamp(stated[x]), 1e-6f))
            << "column " << x << ": " << describe(gpu.at(x, 0));
    EXPECT_TRUE(near4(gpu.at(9, 1), ref::paletteRamp(0), 1e-6f)) << "negative light is black";
    EXPECT_TRUE(near4(gpu.at(10, 1), ref::paletteRamp(1), 1e-6f)) << "any light reaches entry 1";
}

// -------------------------------------------------------------- background

TEST_F(ShaderOutput, BackgroundBandsAndCloudMix) {
    const int w = 64, h = 48;
    Frame frame;
    const float bands[4][3] = {{52, 45, 39}, {77, 68, 59}, {45, 39, 34}, {85, 74, 63}};

    // Black clouds mix in nothing: only the bands remain.
    Image black = ref::makeImage(16, 16, {0, 0, 0, 1});
    Image gpu = render(BLOB(ScreenTriangleShortVS), BLOB(BackgroundPS), {&black}, frame, w, h);
    for (int y = 0; y < h; ++y) {
        float v = (y + 0.5f) / h, up = 1.0f - v;
        int band = up < 0.25f ? 0 : (up > 0.75f ? 3 : static_cast<int>((up - 0.25f) / 0.25f) + 1);
        Float4 c = {bands[band][0] / 255.0f, bands[band][1] / 255.0f, bands[band][2] / 255.0f, 1.0f};
        for (int x = 0; x < w; x += 7) EXPECT_TRUE(near4(gpu.at(x, y), c, 1e-6f)) << "row " << y;
    }

    Image clouds = ref::makeImage(24, 16, {0, 0, 0, 1});
    for (int y = 0; y < 16; ++y)
        for (int x = 0; x < 24; ++x)
            clouds.set(x, y, {0.05f + 1.4f * x / 23.0f, 0.1f + 0.8f * y / 15.0f, 0.3f * ((x + y) % 3), 1.0f});
    gpu = render(BLOB(ScreenTriangleShortVS), BLOB(BackgroundPS), {&clouds}, frame, w, h);
    Image expected = referenceImage(w, h, [&](const PixelSite& at) { return ref::background(clouds, at); });
    EXPECT_IMAGES_NEAR(gpu, expected, 2e-3f);
}

// ------------------------------------------------------------------ clouds

// The step q the clouds program applied, read back from its output's red
// channel, which is 1 + q * saturate(q).
float cloudStep(Float4 g) {
    float gain = g.r;
    return gain <= 2.0f ? std::sqrt(std::max(0.0f, gain - 1.0f)) : gain - 1.0f;
}

TEST_F(ShaderOutput, CloudsTintAndDitherSteps) {
    // Sizes at which no pixel centre falls on a line of the 900 x 300 grid.
    const int w = 128, h = 64;
    Frame frame;
    frame.time = 7.3f;
    Image gpu = render(BLOB(ScreenTriangleShortVS), BLOB(CloudsPS), {}, frame, w, h);

    int compared = 0, agreeing = 0, cloudy = 0, plain = 0, offTint = 0;
    std::string firstDisagreement, firstOffTint;
    for (int y = 0; y < h; ++y) {
        for (int x = 0; x < w; ++x) {
            Float4 g = gpu.at(x, y);
            // Every pixel is the tint brightened by a quarter step q.
            float gain = g.r;
            float q = cloudStep(g);
            float steps = q * 4.0f;
            bool tinted = std::fabs(g.g - 0.467f * gain) < 1e-4f && std::fabs(g.b - 0.659f * gain) < 1e-4f &&
                          g.a == 1.0f && std::fabs(steps - std::round(steps)) < 2e-3f;
            if (!tinted && offTint++ == 0)
                firstOffTint = "pixel " + std::to_string(x) + ", " + std::to_string(y) + ": " + describe(g);
            (q > 0.0f ? cloudy : plain)++;

            ref::CloudsDetail d;
            ref::clouds(frame, ref::pixelSite(x, y, w, h), &d);
            // Skip pixels whose step the last bits decide.
            float fine = std::fmod(d.remainder, 0.25f);
            bool decided = std::fabs(d.remainder - d.threshold) > 0.01f && fine > 0.005f && fine < 0.245f;
            if (!decided) continue;
            ++compared;
            if (std::fabs(q - d.tone) < 1e-3f)
                ++agreeing;
            else if (firstDisagreement.empty())
                firstDisagreement = "pixel " + std::to_string(x) + ", " + std::to_string(y) + ": gpu q " +
                                    std::to_string(q) + ", cpu q " + std::to_string(d.tone);
        }
    }
    EXPECT_EQ(offTint, 0) << firstOffTint;
    EXPECT_GT(cloudy, w * h / 20) << "the frame should show clouds";
    EXPECT_GT(plain, w * h / 20) << "the frame should show plain sky";
    ASSERT_GT(compared, w * h / 2);
    // The noise hashes sines of arguments in the hundreds; GPU and CPU sines
    // differ in the last bits, which can tip a handful of cells.
    EXPECT_GE(agreeing, compared - compared / 100) << firstDisagreement;
}

float ditherThreshold(bool evenColumn, bool evenRow) {
    if (evenColumn) return evenRow ? 0.05f : 0.15f;
    return evenRow ? 0.2f : 0.1f;
}

TEST_F(ShaderOutput, CloudsDitherParityComesFromTheRoundedGridProducts) {
    // At 900 x 300 every pixel is one grid cell. The dither decides a cell's
    // parity from floor(900 u) / 900 * 900 / 2 as it rounds in floats, so
    // some odd columns and rows count as even and some even ones as odd.
    // Compare the pixels where that rounding picks another threshold than
    // the cell's true parity would, and the step taken depends on it.
    const int w = 900, h = 300;
    Frame frame;
    frame.time = 4.2f;
    Image gpu = render(BLOB(ScreenTriangleShortVS), BLOB(CloudsPS), {}, frame, w, h);

    int compared = 0, agreeing = 0;
    std::string firstDisagreement;
    for (int y = 0; y < h; ++y) {
        for (int x = 0; x < w; ++x) {
            ref::CloudsDetail d;
            ref::clouds(frame, ref::pixelSite(x, y, w, h), &d);
            float trueParity = ditherThreshold(x % 2 == 0, y % 2 == 0);
            if (trueParity == d.threshold) continue;
            if ((d.remainder > d.threshold) == (d.remainder > trueParity)) continue;
            float fine = std::fmod(d.remainder, 0.25f);
            bool decided = std::fabs(d.remainder - d.threshold) > 0.01f &&
                           std::fabs(d.remainder - trueParity) > 0.01f && fine > 0.005f && fine < 0.245f;
            if (!decided) continue;
            ++compared;
            float q = cloudStep(gpu.at(x, y));
            if (std::fabs(q - d.tone) < 1e-3f)
                ++agreeing;
            else if (firstDisagreement.empty())
                firstDisagreement = "pixel " + std::to_string(x) + ", " + std::to_string(y) + ": gpu q " +
                                    std::to_string(q) + ", cpu q " + std::to_string(d.tone);
        }
    }
    ASSERT_GT(compared, 1000);
    EXPECT_GE(agreeing, compared - compared / 100) << firstDisagreement;
}

// -------------------------------------------------------------------- blur

Image checkerTexture(int width, int height, int block) {
    Image image = ref::makeImage(width, height, {0, 0, 0, 1});
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x) {
            bool on = ((x / block) + (y / block)) % 2 == 0;
            image.set(x, y, on ? Float4{0.9f, 0.6f, 0.2f, 1.0f} : Float4{0.1f, 0.2f, 0.7f, 0.5f});
        }
    return image;
}

TEST_F(ShaderOutput, BlurKeepsMiddleRowsAndBlursTheRest) {
    const int w = 64, h = 64;
    Image input = checkerTexture(w, h, 4);
    // Square screens, and a wide one whose pixels are narrower across than
    // down in texture units.
    const float screens[][2] = {{64.0f, 64.0f}, {128.0f, 128.0f}, {160.0f, 48.0f}};
    for (const auto& screen : screens) {
        SCOPED_TRACE(testing::Message() << screen[0] << " x " << screen[1]);
        Frame frame;
        frame.width = screen[0];
        frame.height = screen[1];
        Image gpu = render(BLOB(ScreenTriangleShortVS), BLOB(BlurPS), {&input}, frame, w, h);
        float sigma = 0.0f;
        Image expected = referenceImage(w, h, [&](const PixelSite& at) { return ref::blur(input, frame, at); });
        EXPECT_IMAGES_NEAR(gpu, expected, 3e-3f);

        int untouchedRows = 0;
        for (int y = 0; y < h; ++y) {
            ref::blur(input, frame, ref::pixelSite(0, y, w, h), &sigma);
            if (sigma >= 0.1f) continue;
            ++untouchedRows;
            // The input itself, alpha included.
            for (int x = 0; x < w; ++x) EXPECT_TRUE(near4(gpu.at(x, y), input.at(x, y), 1e-6f)) << x << ", " << y;
        }
        EXPECT_EQ(untouchedRows, 4);  // |v - 0.5| below about 0.035
        // The top row is smeared and opaque.
        EXPECT_GT(std::fabs(gpu.at(2, 0).r - input.at(2, 0).r), 0.1f);
        EXPECT_EQ(gpu.at(2, 0).a, 1.0f);
    }
}

// --------------------------------------------------------------- composite

TEST_F(ShaderOutput, CompositeKeysWhiteAndMarksDarkTransparent) {
    const int w = 8, h = 2;
    Image text = ref::makeImage(w, h, {0, 0, 0, 1});
    Image back = ref::makeImage(w, h, {0, 0, 0, 1});
    const Float4 texts[8] = {{1, 1, 1, 1},          {0.99f, 0.99f, 0.99f, 1}, {0.9f, 0.9f, 0.9f, 1},
                             {0.5f, 0.5f, 0.5f, 1}, {1, 0, 0, 1},             {0, 0, 0, 1},
                             {0.03f, 0.03f, 0.03f, 1}, {1, 1, 0.8f, 1}};
    const Float4 backs[2] = {{0.3f, 0.5f, 0.7f, 1}, {0.02f, 0.04f, 0.03f, 1}};
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) {
            text.set(x, y, texts[x]);
            back.set(x, y, backs[y]);
        }
    // (txt_transp, bg_transp, useInput3)
    const float cases[][3] = {{0.3f, 0.1f, 0.0f}, {0.0f, 0.1f, 0.0f}, {-0.1f, 0.0f, 0.0f},
                              {1.0f, 0.2f, 0.5f}, {2.0f, 0.1f, 1.0f}};
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << "txt " << c[0] << " bg " << c[1] << " use3 " << c[2]);
        Frame frame;
        frame.params[ref::kTxtTransp] = c[0];
        frame.params[ref::kBgTransp] = c[1];
        frame.params[ref::kUseInput3] = c[2];
        // The pass leaves the third input unbound: it reads as zero.
        Image gpu = render(BLOB(ScreenTriangleShortVS), BLOB(CompositePS), {&text, &back}, frame, w, h);
        Image expected =
            referenceImage(w, h, [&](const PixelSite& at) { return ref::composite(text, back, frame, at); });
        EXPECT_IMAGES_NEAR(gpu, expected, 1e-5f);
    }
}

// -------------------------------------------------------------------- rays

Image raysInput() {
    const int n = 48;
    Image image = ref::makeImage(n, n, {0.02f, 0.02f, 0.03f, 1});
    for (int y = 0; y < n; ++y)
        for (int x = 0; x < n; ++x) {
            Float4 c = {0.02f + 0.1f * x / n, 0.02f + 0.05f * y / n, 0.03f, 1.0f};
            if (x >= 8 && x < 18 && y >= 10 && y < 20) c = {0.6f, 0.45f, 0.3f, 1.0f};
            image.set(x, y, c);
        }
    return image;
}

TEST_F(ShaderOutput, RaysBypassDecayAndVignette) {
    const int w = 48, h = 48;
    Image input = raysInput();
    // (lamerbypass, lamerdecay, lamerdensity)
    const float cases[][3] = {{1.0f, 0.95f, 0.8f}, {1.9f, 0.95f, 0.8f}, {0.99f, 0.95f, 0.8f},
                              {2.0f, 0.9f, 1.2f},  {0.0f, 0.99f, 0.0f}, {0.0f, 0.0f, 0.5f}};
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << "bypass " << c[0] << " decay " << c[1] << " density " << c[2]);
        Frame frame;
        frame.params[ref::kLamerBypass] = c[0];
        frame.params[ref::kLamerDecay] = c[1];
        frame.params[ref::kLamerDensity] = c[2];
        Image gpu = render(BLOB(ScreenTriangleShortVS), BLOB(RaysPS), {&input}, frame, w, h);
        if (static_cast<int>(c[0]) == 1) {
            EXPECT_IMAGES_NEAR(gpu, input, 1e-6f);
            continue;
        }
        // The start jitter hashes a sine of an argument in the hundreds, which
        // the GPU and the CPU round differently. Most pixels must match the
        // CPU's own jitter; every pixel must lie within what some jitter in
        // -1 to 1 gives.
        Image expected = referenceImage(w, h, [&](const PixelSite& at) { return ref::rays(input, frame, at); });
        Comparison own = compareImages(gpu, expected, 2e-3f);
        EXPECT_LE(own.mismatches, w * h / 50) << own.first;
        int outside = 0;
        std::string first;
        for (int y = 0; y < h; ++y)
            for (int x = 0; x < w; ++x) {
                Float4 lo = {1e9f, 1e9f, 1e9f, 1}, hi = {-1e9f, -1e9f, -1e9f, 1};
                for (int k = 0; k <= 16; ++k) {
                    float jitter = -1.0f + k / 8.0f;
                    Float4 e = ref::rays(input, frame, ref::pixelSite(x, y, w, h), &jitter);
                    lo = {std::min(lo.r, e.r), std::min(lo.g, e.g), std::min(lo.b, e.b), 1};
                    hi = {std::max(hi.r, e.r), std::max(hi.g, e.g), std::max(hi.b, e.b), 1};
                }
                Float4 g = gpu.at(x, y);
                const float tol = 2e-3f;
                bool inside = g.r >= lo.r - tol && g.r <= hi.r + tol && g.g >= lo.g - tol && g.g <= hi.g + tol &&
                              g.b >= lo.b - tol && g.b <= hi.b + tol && g.a == 1.0f;
                if (!inside && outside++ == 0)
                    first = std::to_string(x) + ", " + std::to_string(y) + ": gpu " + describe(g) + " range " +
                            describe(lo) + " to " + describe(hi);
            }
        EXPECT_EQ(outside, 0) << first;
    }
}

// --------------------------------------------------------------------- CRT

Image crtInput(int n) {
    Image image = ref::makeImage(n, n, {0, 0, 0, 1});
    for (int y = 0; y < n; ++y)
        for (int x = 0; x < n; ++x)
            // Every channel changes across and down, so any channel's
            // glitch offset, horizontal or vertical, shows.
            image.set(x, y, {0.2f + 0.6f * x / n, 0.1f + 0.4f * x / n + 0.4f * y / n,
                             0.3f + 0.2f * x / n + 0.4f * y / n, 1.0f});
    return image;
}

// A time at which the glitch noise is clearly on or off for every channel;
// wantGlitch asks for at least one displaced channel. A largest margin asks
// for a channel whose deciding value comes that close to the threshold.
float crtTime(bool wantGlitch, float largestMargin = 1e9f) {
    for (int i = 0; i < 4000; ++i) {
        float t = 1.0f + 0.013f * i;
        bool on[3];
        float margin;
        ref::crtGlitches(t, on, &margin);
        bool any = on[0] || on[1] || on[2];
        if (margin > 0.02f && margin < largestMargin && any == wantGlitch) return t;
    }
    return -1.0f;
}

TEST_F(ShaderOutput, CrtBypassCopiesTheInput) {
    const int n = 32;
    Image input = crtInput(n);
    for (float enable : {0.0f, 0.7f, -0.5f}) {
        Frame frame;
        frame.time = 3.0f;
        frame.params[ref::kEnableFinalPostProc] = enable;
        frame.params[ref::kGlobeBrightness] = 0.0f;  // would blacken the picture if it ran
        EXPECT_IMAGES_NEAR(render(BLOB(ScreenTriangleShortVS), BLOB(CrtPS), {&input}, frame, n, n), input, 1e-6f);
    }
}

TEST_F(ShaderOutput, CrtPulseGlobeScanlinesGlitchesAndGrain) {
    const int n = 64;
    Image input = crtInput(n);
    struct Case {
        bool glitch;
        float glitchMargin;
        float scanlines, flicker, blinky, brightness;
    };
    const Case cases[] = {
        {false, 1e9f, 0.4f, 0.0f, 1.0f, 1.2f},
        {false, 1e9f, 1.0f, 0.0f, 0.5f, 1.0f},
        {true, 1e9f, 0.0f, 0.08f, 1.0f, 0.9f},
        // A channel just short of displacement stays in place.
        {false, 0.08f, 0.0f, 0.08f, 1.0f, 0.9f},
    };
    for (const Case& c : cases) {
        Frame frame;
        frame.time = crtTime(c.glitch, c.glitchMargin);
        ASSERT_GT(frame.time, 0.0f);
        frame.width = static_cast<float>(n);
        frame.height = static_cast<float>(n);
        frame.params[ref::kEnableFinalPostProc] = 1.0f;
        frame.params[ref::kScanlines] = c.scanlines;
        frame.params[ref::kFlicker] = c.flicker;
        frame.params[ref::kBlinky] = c.blinky;
        frame.params[ref::kGlobeBrightness] = c.brightness;
        SCOPED_TRACE(testing::Message() << "time " << frame.time << " scanlines " << c.scanlines);
        Image gpu = render(BLOB(ScreenTriangleShortVS), BLOB(CrtPS), {&input}, frame, n, n);

        int grainMatches = 0, compared = 0, bad = 0;
        std::string first;
        // Smallest ratio to the grainless result in each quadrant's outer
        // corner: some grain there is close to 1, so a globe, pulse or
        // flicker factor that is off by half a percent shows.
        float cornerLeast[4] = {9, 9, 9, 9}, least = 9;
        for (int y = 0; y < n; ++y)
            for (int x = 0; x < n; ++x) {
                float grain = 1.0f;
                Float4 e = ref::crtWithoutGrain(input, frame, ref::pixelSite(x, y, n, n), &grain);
                Float4 g = gpu.at(x, y);
                // The grain is one factor in 1 to 1.2 for all three channels.
                float ratio[3] = {g.r / e.r, g.g / e.g, g.b / e.b};
                least = std::min(least, ratio[1]);
                bool right = x >= n / 2, low = y >= n / 2;
                if (std::min(x, n - 1 - x) < n / 4 && std::min(y, n - 1 - y) < n / 4) {
                    float& corner = cornerLeast[(right ? 1 : 0) + (low ? 2 : 0)];
                    corner = std::min(corner, ratio[1]);
                }
                ++compared;
                bool ok = true;
                for (float r : ratio) ok = ok && r > 0.995f && r < 1.205f;
                ok = ok && std::fabs(ratio[0] - ratio[1]) < 6e-3f && std::fabs(ratio[0] - ratio[2]) < 6e-3f;
                ok = ok && g.a == 1.0f;
                if (!ok && bad++ == 0)
                    first = "pixel " + std::to_string(x) + ", " + std::to_string(y) + ": gpu " + describe(g) +
                            ", without grain " + describe(e);
                if (std::fabs(ratio[0] - grain) < 0.01f) ++grainMatches;
            }
        EXPECT_EQ(bad, 0) << first;
        EXPECT_GT(least, 0.998f);
        for (float corner : cornerLeast) EXPECT_LT(corner, 1.004f);
        // The grain hash takes sines of arguments near 1e5; say how often the
        // GPU's sine agrees with the CPU's closely enough to give the same grain.
        std::printf("CRT grain matching the CPU to 0.01: %d of %d pixels\n", grainMatches, compared);
    }
}

TEST_F(ShaderOutput, CrtAtZeroBrightnessIsBlack) {
    const int n = 16;
    Image input = crtInput(n);
    Frame frame;
    frame.time = 2.0f;
    frame.params[ref::kEnableFinalPostProc] = 1.0f;
    frame.params[ref::kGlobeBrightness] = 0.0f;
    Image gpu = render(BLOB(ScreenTriangleShortVS), BLOB(CrtPS), {&input}, frame, n, n);
    EXPECT_IMAGES_NEAR(gpu, ref::makeImage(n, n, {0, 0, 0, 1}), 0.0f);
}

// ---------------------------------------------------------------- scroller

const ref::ScrollText kText = {kScrollText, static_cast<int>(kScrollTextLength)};

// A small stand-in for the glyph atlas: every cell but space and '*' holds a
// block glyph (alpha 0 inside, 1 outside), laid out bottom-up as uploaded.
Image blockFont(bool withGlyphs) {
    const int n = 256, cell = 16;
    Image image = ref::makeImage(n, n, {0.0f, 0.5f, 0.5f, 1.0f});
    if (!withGlyphs) return image;
    for (int c = 0; c < 256; ++c) {
        if (c == ' ' || c == '*') continue;
        int x0 = (c % 16) * cell, y0 = (15 - c / 16) * cell;
        for (int y = 4; y < 12; ++y)
            for (int x = 2; x < 6; ++x) image.set(x0 + x, y0 + y, {1.0f, 0.5f, 0.5f, 0.0f});
    }
    return image;
}

Frame scrollerFrame() {
    Frame frame;
    frame.params[ref::kNoiseStrength] = 1.0f;
    frame.params[ref::kMeltGradientSpread] = 0.0f;
    return frame;
}

Image scrollerReference(const Image& font, const Image& feedback, const Frame& frame, int w, int h) {
    return referenceImage(
        w, h, [&](const PixelSite& at) { return ref::scroller(font, feedback, kText, frame, at, w, h); });
}

TEST_F(ShaderOutput, ScrollerDrawsTheTextMask) {
    const int w = 128, h = 64;
    Image font = blockFont(true);
    Image feedback = ref::makeImage(w, h, {1, 1, 1, 1});
    // Positive, negative and many-period scroll positions, and one that
    // shows the seam where the text starts over.
    for (float scroll : {0.0f, 7.3f, -3.0f, 1000.3f, 164.92f - 1.0f}) {
        SCOPED_TRACE(scroll);
        Frame frame = scrollerFrame();
        frame.params[ref::kScrollSpeed] = scroll;
        frame.params[ref::kFeedbackStrength] = 0.0f;  // no trail: text only
        Image gpu = render(BLOB(ScreenTriangleLongVS), BLOB(ScrollerPS), {&font, &feedback}, frame, w, h);
        Image expected = scrollerReference(font, feedback, frame, w, h);
        Comparison c = compareImages(gpu, expected, 1e-5f, true);
        EXPECT_EQ(c.mismatches, 0) << c.first;
        EXPECT_LT(c.edgeShifts, w * h / 50);
        int lit = 0;
        for (int y = 0; y < h; ++y)
            for (int x = 0; x < w; ++x) lit += gpu.at(x, y).r > 0.5f;
        EXPECT_GT(lit, 0) << "some letters should show";
    }
}

#ifdef THAW_HAVE_ATLAS
TEST_F(ShaderOutput, ScrollerDrawsTheShowsAtlasOnTheTextLine) {
    Image atlas;
    ASSERT_TRUE(decodeUploadedAtlas(atlas));
    const int w = 192, h = 108;
    Image feedback = ref::makeImage(w, h, {0, 0, 0, 1});
    Frame frame = scrollerFrame();
    frame.params[ref::kScrollSpeed] = 20.0f;
    frame.params[ref::kOutlines] = 1.0f;
    Image gpu = render(BLOB(ScreenTriangleLongVS), BLOB(ScrollerPS), {&atlas, &feedback}, frame, w, h);
    Image expected = scrollerReference(atlas, feedback, frame, w, h);
    Comparison c = compareImages(gpu, expected, 1e-5f, true);
    EXPECT_EQ(c.mismatches, 0) << c.first;
    EXPECT_LT(c.edgeShifts, w * h / 50);

    // Letters sit on the line, inside |y| < 0.5 of the text coordinate: the
    // rows of the target within 1 / 2.4 of the middle.
    int inside = 0, outside = 0;
    for (int y = 0; y < h; ++y) {
        float yc = 2.0f * (y + 0.5f) / h - 1.0f;
        for (int x = 0; x < w; ++x) (std::fabs(yc) < 0.5f / 1.2f ? inside : outside) += gpu.at(x, y).r > 0.5f;
    }
    EXPECT_GT(inside, w * h / 40);
    EXPECT_EQ(outside, 0);
}
#endif

TEST_F(ShaderOutput, ScrollerOutlinesCutARingIntoTheTrail) {
    const int w = 128, h = 64;
    Image font = blockFont(true);
    Image feedback = ref::makeImage(w, h, {1, 1, 1, 1});
    for (float outlines : {0.0f, 2.0f}) {
        SCOPED_TRACE(outlines);
        Frame frame = scrollerFrame();
        frame.params[ref::kScrollSpeed] = 7.3f;
        frame.params[ref::kFeedbackStrength] = 1.0f;
        frame.params[ref::kOutlines] = outlines;
        Image gpu = render(BLOB(ScreenTriangleLongVS), BLOB(ScrollerPS), {&font, &feedback}, frame, w, h);
        Image expected = scrollerReference(font, feedback, frame, w, h);
        Comparison c = compareImages(gpu, expected, 1e-5f, true);
        EXPECT_EQ(c.mismatches, 0) << c.first;
        EXPECT_LT(c.edgeShifts, w * h / 50);
        int ring = 0;
        for (int y = 0; y < h; ++y)
            for (int x = 0; x < w; ++x) {
                ref::ScrollerDetail d;
                ref::scroller(font, feedback, kText, frame, ref::pixelSite(x, y, w, h), w, h, &d);
                ring += d.outline > 0.5f && d.trail > 0.0f && gpu.at(x, y).r == 0.0f;
            }
        if (outlines > 0.0f)
            EXPECT_GT(ring, 20) << "the ring should blacken trail pixels around the letters";
        else
            EXPECT_EQ(ring, 0);
    }
}

// Drives the trail to a chosen level and fraction with a uniform feedback.
Frame trailFrame(float level, float fraction, bool bayer) {
    Frame frame = scrollerFrame();
    const float feedback = 0.5f;
    frame.params[ref::kFeedbackStrength] = (0.001f + 0.319f * (level + fraction) / 9.0f) / feedback;
    frame.params[ref::kBayerOn] = bayer ? 1.0f : 0.0f;
    return frame;
}

TEST_F(ShaderOutput, ScrollerQuantisesTheTrail) {
    const int w = 64, h = 64;
    Image font = blockFont(false);
    Image feedback = ref::makeImage(w, h, {0.5f, 0.5f, 0.5f, 1});
    struct Case {
        float level, fraction, expectedLevel;
    };
    for (const Case& c : {Case{3, 0.25f, 3}, Case{3, 0.75f, 4}, Case{0, 0.3f, 0}, Case{8, 0.7f, 8}}) {
        SCOPED_TRACE(testing::Message() << "level " << c.level << " fraction " << c.fraction);
        Frame frame = trailFrame(c.level, c.fraction, false);
        Image gpu = render(BLOB(ScreenTriangleLongVS), BLOB(ScrollerPS), {&font, &feedback}, frame, w, h);
        EXPECT_IMAGES_NEAR(gpu, scrollerReference(font, feedback, frame, w, h), 1e-5f);
        // Outside the cleared middle band every pixel holds level / 27.
        EXPECT_NEAR(gpu.at(5, 2).r, c.expectedLevel / 27.0f, 1e-6f);
        EXPECT_NEAR(gpu.at(5, h / 2).r, 0.0f, 1e-6f);
    }

    // With the spread at 1 any light in the trail counts as full.
    Frame frame = trailFrame(0, 0, false);
    frame.params[ref::kMeltGradientSpread] = 1.0f;
    frame.params[ref::kFeedbackStrength] = 1.0f;
    Image gpu = render(BLOB(ScreenTriangleLongVS), BLOB(ScrollerPS), {&font, &feedback}, frame, w, h);
    EXPECT_NEAR(gpu.at(5, 2).r, 8.0f / 27.0f, 1e-6f);
}

TEST_F(ShaderOutput, ScrollerDithersTheTrailWithTheBayerMatrix) {
    const int w = 64, h = 64;
    Image font = blockFont(false);
    Image feedback = ref::makeImage(w, h, {0.5f, 0.5f, 0.5f, 1});
    Frame frame = trailFrame(3, 0.25f, true);
    Image gpu = render(BLOB(ScreenTriangleLongVS), BLOB(ScrollerPS), {&font, &feedback}, frame, w, h);
    EXPECT_IMAGES_NEAR(gpu, scrollerReference(font, feedback, frame, w, h), 1e-5f);

    // The matrix is not symmetric: at a fraction of 0.6 block (1, 0), whose
    // entry is 8/16, raises the level and block (0, 1), whose entry is 12/16,
    // does not. Blocks are 2 x 2 pixels; px indexes the row of the matrix.
    Frame asymmetric = trailFrame(3, 0.6f, true);
    Image gpu6 = render(BLOB(ScreenTriangleLongVS), BLOB(ScrollerPS), {&font, &feedback}, asymmetric, w, h);
    EXPECT_IMAGES_NEAR(gpu6, scrollerReference(font, feedback, asymmetric, w, h), 1e-5f);
    EXPECT_NEAR(gpu6.at(2, 1).r, 4.0f / 27.0f, 1e-6f);
    EXPECT_NEAR(gpu6.at(1, 2).r, 3.0f / 27.0f, 1e-6f);
    // A fraction of 0.25 passes 4 of the 16 thresholds: over an 8 x 8 block
    // of pixels (the matrix stretched over 2 x 2 pixels) 16 raise a level.
    int raised = 0;
    for (int y = 0; y < 8; ++y)
        for (int x = 0; x < 8; ++x) raised += std::fabs(gpu.at(x, y).r - 4.0f / 27.0f) < 1e-6f;
    EXPECT_EQ(raised, 16);
    // The matrix's first entries: 0 at block (0, 0), 8/16 at block (1, 0).
    EXPECT_NEAR(gpu.at(0, 0).r, 4.0f / 27.0f, 1e-6f);
    EXPECT_NEAR(gpu.at(1, 1).r, 4.0f / 27.0f, 1e-6f);
    EXPECT_NEAR(gpu.at(2, 0).r, 3.0f / 27.0f, 1e-6f);
}

TEST_F(ShaderOutput, ScrollerTrailIsBlackWithoutNoise) {
    const int w = 64, h = 64;
    Image font = blockFont(false);
    // A black trail raised to the power 0 and no noise: both not a number.
    for (float level : {0.0f, 1.0f}) {
        Image feedback = ref::makeImage(w, h, {level, level, level, 1});
        Frame frame = scrollerFrame();
        frame.params[ref::kNoiseStrength] = 0.0f;
        frame.params[ref::kFeedbackStrength] = 0.0f;
        frame.params[ref::kMeltGradientSpread] = 1.0f;
        frame.params[ref::kBayerOn] = level;
        Image gpu = render(BLOB(ScreenTriangleLongVS), BLOB(ScrollerPS), {&font, &feedback}, frame, w, h);
        EXPECT_IMAGES_NEAR(gpu, ref::makeImage(w, h, {0, 0, 0, 1}), 0.0f);
    }
}

TEST_F(ShaderOutput, ScrollerTrailMovesInOppositeDirectionsAboveAndBelowTheLine) {
    // A feedback texture of scattered trail levels, larger than the target so
    // that the trail's step of 0.003 reaches a neighbouring texel: a pixel
    // shows the level of the texel its direction points at.
    const int w = 64, h = 64, n = 200;
    Image font = blockFont(false);
    Image feedback = ref::makeImage(n, n, {0, 0, 0, 1});
    for (int y = 0; y < n; ++y)
        for (int x = 0; x < n; ++x) {
            unsigned hash = (static_cast<unsigned>(x) * 73856093u) ^ (static_cast<unsigned>(y) * 19349663u);
            float level = static_cast<float>((hash >> 4) % 9u) + 0.25f;
            float f = 0.001f + 0.319f * level / 9.0f;
            feedback.set(x, y, {f, f, f, 1});
        }
    Frame frame = scrollerFrame();
    frame.params[ref::kFeedbackStrength] = 1.0f;
    frame.params[ref::kIsNearestSampling] = 1.0f;
    Image gpu = render(BLOB(ScreenTriangleLongVS), BLOB(ScrollerPS), {&font, &feedback}, frame, w, h);
    Image expected = scrollerReference(font, feedback, frame, w, h);
    // A read that lands on a texel boundary may go either way.
    Comparison c = compareImages(gpu, expected, 1e-5f);
    EXPECT_LE(c.mismatches, w * h / 100) << c.first;

    // The same field with its sign the other way round would read other
    // texels almost everywhere.
    int sameAsOwnTexel = 0;
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) {
            PixelSite at = ref::pixelSite(x, y, w, h);
            Float4 own = ref::sample(feedback, ref::Filter::Point, ref::Address::Wrap, at.u, at.v);
            float level = std::floor((own.r - 0.001f) / 0.319f * 9.0f);
            sameAsOwnTexel += std::fabs(gpu.at(x, y).r - level / 27.0f) < 1e-6f;
        }
    EXPECT_LT(sameAsOwnTexel, w * h / 2) << "the trail should come from a neighbouring texel";
}

TEST_F(ShaderOutput, ScrollerReadsTheTrailWithPointOrLinearFiltering) {
    const int w = 128, h = 64;
    Image font = blockFont(false);
    // One-texel stripes: point filtering reads a pixel's own column, linear
    // filtering blends in the neighbour the trail direction points at.
    Image feedback = ref::makeImage(w, h, {0, 0, 0, 1});
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; x += 2) feedback.set(x, y, {1, 1, 1, 1});
    Image results[2];
    for (int nearest = 0; nearest < 2; ++nearest) {
        SCOPED_TRACE(nearest ? "point" : "linear");
        Frame frame = scrollerFrame();
        frame.params[ref::kNoiseStrength] = 1.3f;
        frame.params[ref::kFeedbackStrength] = 1.0f;
        frame.params[ref::kIsNearestSampling] = nearest ? 0.75f : 0.25f;
        Image gpu = render(BLOB(ScreenTriangleLongVS), BLOB(ScrollerPS), {&font, &feedback}, frame, w, h);
        int mismatches = 0, undecided = 0;
        std::string first;
        for (int y = 0; y < h; ++y)
            for (int x = 0; x < w; ++x) {
                ref::ScrollerDetail d;
                Float4 e = ref::scroller(font, feedback, kText, frame, ref::pixelSite(x, y, w, h), w, h, &d);
                if (std::fabs(gpu.at(x, y).r - e.r) <= 1e-5f) continue;
                // A filter weight of limited precision may tip a level whose
                // fraction sits right at the threshold.
                if (std::fabs(d.fraction - d.threshold) < 0.05f && std::fabs(gpu.at(x, y).r - e.r) < 1.5f / 27.0f) {
                    ++undecided;
                    continue;
                }
                if (mismatches++ == 0)
                    first = std::to_string(x) + ", " + std::to_string(y) + ": gpu " + describe(gpu.at(x, y)) +
                            " expected " + describe(e);
            }
        EXPECT_EQ(mismatches, 0) << first;
        EXPECT_LT(undecided, w * h / 50);
        results[nearest] = gpu;
    }
    EXPECT_GT(compareImages(results[0], results[1], 1e-3f).mismatches, w * h / 4)
        << "point and linear filtering should read the stripes differently";
}

}  // namespace
