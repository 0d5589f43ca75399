// CPU evaluations of the show's pixel programs, written from their formulas,
// for comparison with what the GPU renders. Images are RGBA float, first row
// at v = 0 (the top of a render target).
#pragma once

#include <cstdint>
#include <vector>

namespace ref {

struct Float4 {
    float r, g, b, a;
};

struct Image {
    int width = 0;
    int height = 0;
    std::vector<float> texels;  // width * height * 4, row by row

    Float4 at(int x, int y) const;
    void set(int x, int y, Float4 c);
};

Image makeImage(int width, int height, Float4 fill);

enum class Filter { Point, Linear };
enum class Address { Clamp, Wrap };

// Direct3D's texel addressing: point picks floor(u * width); linear blends
// the four texels around u * width - 0.5.
Float4 sample(const Image& image, Filter filter, Address address, float u, float v);

// Parameter slots of the frame constant buffer (608 + 4 * index).
enum Param : int {
    kIsNearestSampling = 8,
    kMeltGradientSpread = 9,
    kFeedbackStrength = 10,
    kNoiseStrength = 11,
    kOutlines = 13,
    kBgTransp = 14,
    kTxtTransp = 15,
    kUseInput3 = 16,
    kScrollSpeed = 17,
    kBayerOn = 18,
    kEnableFinalPostProc = 19,
    kScanlines = 20,
    kGlobeBrightness = 21,
    kFlicker = 22,
    kBlinky = 23,
    kLamerBypass = 24,
    kLamerDecay = 25,
    kLamerDensity = 26,
    kParamCount = 27,
};

struct Frame {
    float time = 0.0f;
    float width = 1920.0f;   // the screen's resolution, not the target's
    float height = 1080.0f;
    float params[kParamCount] = {};
};

// The 720-byte constant buffer the programs read at b8.
std::vector<uint8_t> packFrame(const Frame& frame);

// Where a pixel program sees pixel (x, y) of a width x height target.
struct PixelSite {
    float u, v;    // texture coordinate of the pixel centre
    float px, py;  // SV_POSITION: the pixel centre
};
PixelSite pixelSite(int x, int y, int width, int height);

float smoothStep(float a, float b, float x);

Float4 palette(const Image& render, const PixelSite& at);
Float4 paletteRamp(int index);
Float4 background(const Image& clouds, const PixelSite& at);

struct CloudsDetail {
    bool hitsPlane;     // t >= 0
    float cloud;        // cl
    float tone;         // q after the dither and the rounding down
    float remainder;    // rem, for telling how close a step was
    float threshold;    // the dither threshold this pixel used
};
Float4 clouds(const Frame& frame, const PixelSite& at, CloudsDetail* detail = nullptr);

Float4 blur(const Image& input, const Frame& frame, const PixelSite& at, float* sigmaOut = nullptr);
Float4 composite(const Image& input1, const Image& input2, const Frame& frame, const PixelSite& at);
// jitter, when given, replaces the hashed start offset (-1 to 1).
Float4 rays(const Image& input, const Frame& frame, const PixelSite& at, const float* jitter = nullptr);

// The CRT finish with the film grain left out; *grain receives the grain
// factor (1 to 1.2) that the program multiplies in before the brightness.
Float4 crtWithoutGrain(const Image& input, const Frame& frame, const PixelSite& at, float* grain);
// The glitch noise: whether channel 0, 1, 2 is displaced at this time, and
// how far the deciding value 2 * noise - 1 lies from its 0.7 threshold.
void crtGlitches(float time, bool on[3], float* smallestMargin);

struct ScrollText {
    const unsigned int* codes;
    int length;
};

struct ScrollerDetail {
    float mask;      // m0
    float outline;   // ring value
    float level;     // quantised trail level before the min(8)
    float fraction;  // x - floor(x) of the quantisation
    float threshold; // the quantisation threshold used
    float trail;
};
Float4 scroller(const Image& font, const Image& feedback, const ScrollText& text, const Frame& frame,
                const PixelSite& at, int targetWidth, int targetHeight, ScrollerDetail* detail = nullptr);

// The trail's direction field in texture units (undefined: not a number
// when NOISE_STRENGTH is 0).
void trailDirection(const Frame& frame, float u, float v, float* dx, float* dy);

}  // namespace ref
