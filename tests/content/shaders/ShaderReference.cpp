#include "ShaderReference.h"

#include <algorithm>
#include <cmath>
#include <cstring>

namespace ref {
namespace {

float saturate(float x) {
    // A not-a-number clamps to 0, as the GPU's saturation does.
    if (!(x > 0.0f)) return 0.0f;
    return x > 1.0f ? 1.0f : x;
}

float fracPart(float x) { return x - std::floor(x); }

float signedFracPart(float x) {
    float f = fracPart(std::fabs(x));
    return x < 0.0f ? -f : f;
}

Float4 add(Float4 a, Float4 b) { return {a.r + b.r, a.g + b.g, a.b + b.b, a.a + b.a}; }
Float4 scale(Float4 a, float s) { return {a.r * s, a.g * s, a.b * s, a.a * s}; }

int addressTexel(int i, int n, Address address) {
    if (address == Address::Clamp) return std::clamp(i, 0, n - 1);
    int m = i % n;
    return m < 0 ? m + n : m;
}

float lengthOf(float x, float y, float z) { return std::sqrt(x * x + y * y + z * z); }

}  // namespace

Float4 Image::at(int x, int y) const {
    const float* t = &texels[(static_cast<size_t>(y) * width + x) * 4];
    return {t[0], t[1], t[2], t[3]};
}

void Image::set(int x, int y, Float4 c) {
    float* t = &texels[(static_cast<size_t>(y) * width + x) * 4];
    t[0] = c.r;
    t[1] = c.g;
    t[2] = c.b;
    t[3] = c.a;
}

Image makeImage(int width, int height, Float4 fill) {
    Image image;
    image.width = width;
    image.height = height;
    image.texels.resize(static_cast<size_t>(width) * height * 4);
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x) image.set(x, y, fill);
    return image;
}

Float4 sample(const Image& image, Filter filter, Address address, float u, float v) {
    if (filter == Filter::Point) {
        int x = static_cast<int>(std::floor(u * image.width));
        int y = static_cast<int>(std::floor(v * image.height));
        return image.at(addressTexel(x, image.width, address), addressTexel(y, image.height, address));
    }
    float fx = u * image.width - 0.5f;
    float fy = v * image.height - 0.5f;
    float x0f = std::floor(fx);
    float y0f = std::floor(fy);
    float ax = fx - x0f;
    float ay = fy - y0f;
    int x0 = static_cast<int>(x0f);
    int y0 = static_cast<int>(y0f);
    int xa = addressTexel(x0, image.width, address), xb = addressTexel(x0 + 1, image.width, address);
    int ya = addressTexel(y0, image.height, address), yb = addressTexel(y0 + 1, image.height, address);
    Float4 top = add(scale(image.at(xa, ya), 1.0f - ax), scale(image.at(xb, ya), ax));
    Float4 bottom = add(scale(image.at(xa, yb), 1.0f - ax), scale(image.at(xb, yb), ax));
    return add(scale(top, 1.0f - ay), scale(bottom, ay));
}

std::vector<uint8_t> packFrame(const Frame& frame) {
    std::vector<uint8_t> bytes(720, 0);
    auto put = [&](size_t offset, float value) { std::memcpy(&bytes[offset], &value, 4); };
    put(0, frame.time);
    put(16, frame.width);
    put(20, frame.height);
    put(24, 1.0f / frame.width);
    put(28, 1.0f / frame.height);
    put(12, frame.width * (1.0f / frame.height));
    for (int i = 0; i < kParamCount; ++i) put(608 + 4 * static_cast<size_t>(i), frame.params[i]);
    return bytes;
}

PixelSite pixelSite(int x, int y, int width, int height) {
    PixelSite s;
    s.px = static_cast<float>(x) + 0.5f;
    s.py = static_cast<float>(y) + 0.5f;
    s.u = s.px / static_cast<float>(width);
    s.v = s.py / static_cast<float>(height);
    return s;
}

float smoothStep(float a, float b, float x) {
    float t = saturate((x - a) / (b - a));
    return t * t * (3.0f - 2.0f * t);
}

// ---------------------------------------------------------------- palette

namespace {
const float kRamp[9][3] = {
        {0.0f, 0.0f, 0.0f},       {0.039f, 0.122f, 0.267f}, {0.071f, 0.204f, 0.396f},
        {0.118f, 0.306f, 0.549f}, {0.055f, 0.38f, 0.285f},  {0.11f, 0.69f, 0.52f},
        {0.18f, 1.0f, 0.769f},    {0.38f, 1.0f, 0.847f},    {1.0f, 1.0f, 1.0f},
    };
}  // namespace

Float4 paletteRamp(int index) { return {kRamp[index][0], kRamp[index][1], kRamp[index][2], 1.0f}; }

Float4 palette(const Image& render, const PixelSite& at) {
    Float4 c = sample(render, Filter::Point, Address::Clamp, at.u, at.v);
    float s = saturate(c.r + c.g + c.b);
    int index = static_cast<int>(std::min(8.0f, std::ceil(9.0f * s)));
    return {kRamp[index][0], kRamp[index][1], kRamp[index][2], 1.0f};
}

// ------------------------------------------------------------- background

Float4 background(const Image& cloudsImage, const PixelSite& at) {
    static const float kBand[4][3] = {
        {52.0f, 45.0f, 39.0f}, {77.0f, 68.0f, 59.0f}, {45.0f, 39.0f, 34.0f}, {85.0f, 74.0f, 63.0f}};
    float y = 1.0f - at.v;
    int band;
    if (y < 0.25f)
        band = 0;
    else if (y > 0.75f)
        band = 3;
    else
        band = static_cast<int>(std::floor((y - 0.25f) / 0.25f)) + 1;
    float col[3] = {kBand[band][0] / 255.0f, kBand[band][1] / 255.0f, kBand[band][2] / 255.0f};
    if (at.v >= 0.25f) {
        Float4 c = sample(cloudsImage, Filter::Linear, Address::Clamp, at.u, (at.v - 0.25f) / 0.75f);
        float luma = c.r * 0.299f + c.g * 0.587f + c.b * 0.114f;
        float k = saturate((luma - 0.01f) / 0.2f) * 0.5f;
        float cc[3] = {c.r, c.g, c.b};
        for (int i = 0; i < 3; ++i) col[i] = col[i] + (cc[i] - col[i]) * k;
    }
    return {col[0], col[1], col[2], 1.0f};
}

// ----------------------------------------------------------------- clouds

namespace {

float cloudHash(float m) { return fracPart(std::sin(m) * 753.5453f); }

float noise3(float x, float y, float z) {
    float ix = std::floor(x), iy = std::floor(y), iz = std::floor(z);
    float gx = x - ix, gy = y - iy, gz = z - iz;
    float sx = gx * gx * (3.0f - 2.0f * gx);
    float sy = gy * gy * (3.0f - 2.0f * gy);
    float sz = gz * gz * (3.0f - 2.0f * gz);
    float k = ix + 157.0f * iy + 113.0f * iz;
    auto lerp = [](float a, float b, float t) { return a + (b - a) * t; };
    float x00 = lerp(cloudHash(k), cloudHash(k + 1.0f), sx);
    float x10 = lerp(cloudHash(k + 157.0f), cloudHash(k + 158.0f), sx);
    float x01 = lerp(cloudHash(k + 113.0f), cloudHash(k + 114.0f), sx);
    float x11 = lerp(cloudHash(k + 270.0f), cloudHash(k + 271.0f), sx);
    return lerp(lerp(x00, x10, sy), lerp(x01, x11, sy), sz);
}

void normalize3(float v[3]) {
    float l = lengthOf(v[0], v[1], v[2]);
    v[0] /= l;
    v[1] /= l;
    v[2] /= l;
}

}  // namespace

Float4 clouds(const Frame& frame, const PixelSite& at, CloudsDetail* detail) {
    float pu = std::floor(900.0f * at.u) / 900.0f;
    float pv = std::floor(300.0f * at.v) / 300.0f;
    float nx = 2.0f * pu - 1.0f, ny = 2.0f * pv - 1.0f;

    float f[3] = {-3.4f - 0.0f, 4.0f - 0.0f, 0.0f - (-1.5f)};
    normalize3(f);
    float r[3] = {f[2], 0.0f, -f[0]};
    normalize3(r);
    float w[3] = {f[1] * r[2] - f[2] * r[1], f[2] * r[0] - f[0] * r[2], f[0] * r[1] - f[1] * r[0]};
    float d[3];
    for (int i = 0; i < 3; ++i) d[i] = f[i] + nx * r[i] + ny * w[i];
    normalize3(d);

    float t = (20.0f - d[1]) / d[1];
    float cl = 0.0f;
    if (t >= 0.0f) {
        float fade = std::pow(smoothStep(0.0f, 1.0f, 90.0f / t), 1.5f) *
                     std::pow(smoothStep(0.0f, 1.0f, t / 35.0f), 1.5f);
        float h[3] = {d[0] * 1.3f * t, d[1] * 1.3f * t, d[2] * 1.3f * t};
        float q[3] = {h[0] + frame.time * -0.2f, h[1] + frame.time * 0.74f + 100.0f * std::sin(h[1]),
                      h[2] + frame.time * 2.0f};
        static const float kOctave[3][2] = {{0.051f, 0.55f}, {0.111f, 0.25f}, {0.211f, 0.125f}};
        float density = 0.0f;
        for (const auto& o : kOctave)
            density += (noise3(q[0] * o[0], q[1] * o[0], q[2] * o[0]) - 0.4f) * o[1];
        cl = smoothStep(0.0f, 0.8f, density + 0.2f) * fade;
    }

    float a = 1.5f * cl;
    float tone = std::min(a, 1.0f) * a;
    float rem = signedFracPart(tone / 0.25f) * 0.25f;
    bool ex = fracPart(pu * 900.0f / 2.0f) * 2.0f < 1.0f;
    bool ey = fracPart(pv * 300.0f / 2.0f) * 2.0f < 1.0f;
    float threshold = ex && ey ? 0.05f : (!ex && !ey ? 0.1f : (ex ? 0.15f : 0.2f));
    if (rem > threshold) tone += 0.25f;
    tone = tone - signedFracPart(4.0f * tone) / 4.0f;

    if (detail) {
        detail->hitsPlane = t >= 0.0f;
        detail->cloud = cl;
        detail->tone = tone;
        detail->remainder = rem;
        detail->threshold = threshold;
    }
    float gain = 1.0f + tone * saturate(tone);
    return {1.0f * gain, 0.467f * gain, 0.659f * gain, 1.0f};
}

// ------------------------------------------------------------------- blur

Float4 blur(const Image& input, const Frame& frame, const PixelSite& at, float* sigmaOut) {
    float d = saturate(std::fabs(at.v - 0.5f) / 1.5f);
    float sigma = (25.0f - 0.01f) * std::pow(d, 1.5f) + 0.01f;
    if (sigmaOut) *sigmaOut = sigma;
    if (sigma < 0.1f) return sample(input, Filter::Linear, Address::Clamp, at.u, at.v);
    const float kPi = 3.14159265358979f;
    double sum[4] = {0, 0, 0, 0};
    for (int x = -8; x <= 8; ++x) {
        for (int y = -8; y <= 8; ++y) {
            float weight = std::exp(-static_cast<float>(x * x + y * y) / (2.0f * sigma * sigma)) /
                           (2.0f * kPi * sigma * sigma);
            Float4 s = sample(input, Filter::Linear, Address::Clamp, at.u + x / frame.width,
                              at.v + y / frame.height);
            sum[0] += weight * s.r;
            sum[1] += weight * s.g;
            sum[2] += weight * s.b;
            sum[3] += weight;
        }
    }
    return {static_cast<float>(sum[0] / sum[3]), static_cast<float>(sum[1] / sum[3]),
            static_cast<float>(sum[2] / sum[3]), 1.0f};
}

// -------------------------------------------------------------- composite

Float4 composite(const Image& input1, const Image& input2, const Frame& frame, const PixelSite& at) {
    Float4 a = sample(input1, Filter::Linear, Address::Clamp, at.u, at.v);
    Float4 b = sample(input2, Filter::Linear, Address::Clamp, at.u, at.v);
    Float4 x = {0, 0, 0, 0};  // the third input is never bound
    float use = frame.params[kUseInput3];
    float back[3] = {b.r + use * (x.r - b.r), b.g + use * (x.g - b.g), b.b + use * (x.b - b.b)};
    bool key = lengthOf(a.r - 1.0f, a.g - 1.0f, a.b - 1.0f) <= frame.params[kTxtTransp];
    float col[3] = {key ? back[0] : a.r, key ? back[1] : a.g, key ? back[2] : a.b};
    float alpha = lengthOf(col[0], col[1], col[2]) <= frame.params[kBgTransp] ? 0.0f : 1.0f;
    return {col[0], col[1], col[2], alpha};
}

// ------------------------------------------------------------------- rays

Float4 rays(const Image& input, const Frame& frame, const PixelSite& at, const float* jitterOverride) {
    if (static_cast<int>(frame.params[kLamerBypass]) == 1)
        return sample(input, Filter::Linear, Address::Clamp, at.u, at.v);
    float dx = at.u - 0.5f, dy = at.v - 0.5f;
    float sx = dx * frame.params[kLamerDensity] / 250.0f;
    float sy = dy * frame.params[kLamerDensity] / 250.0f;
    Float4 c = sample(input, Filter::Linear, Address::Clamp, at.u, at.v);
    float acc[3] = {0.15f * c.r, 0.15f * c.g, 0.15f * c.b};
    float jitter = fracPart(std::sin((at.u + 0.1f) * 41.0f + (at.v + 0.1f) * 289.0f) * 45758.547f) * 2.0f - 1.0f;
    if (jitterOverride) jitter = *jitterOverride;
    float px = at.u + sx * jitter, py = at.v + sy * jitter;
    float weight = 0.7515f;
    for (int i = 0; i < 250; ++i) {
        px -= sx;
        py -= sy;
        Float4 s = sample(input, Filter::Linear, Address::Clamp, px, py);
        acc[0] += weight * s.r;
        acc[1] += weight * s.g;
        acc[2] += weight * s.b;
        weight *= frame.params[kLamerDecay];
    }
    float vignette = 1.0f - 1.25f * (dx * dx + dy * dy);
    float out[3];
    for (int i = 0; i < 3; ++i) {
        float x = saturate((acc[i] * vignette - 0.2f) / 1.3f);
        out[i] = std::sqrt(x * x * (3.0f - 2.0f * x));
    }
    return {out[0], out[1], out[2], 1.0f};
}

// -------------------------------------------------------------------- CRT

namespace {

float crtHash(float m) { return fracPart(std::sin(m) * 43758.547f); }

float crtNoise(float z) {
    float i = std::floor(z), f = z - i;
    float a = crtHash(i), b = crtHash(i + 1.0f);
    return a + (b - a) * (f * f * f * (f * (6.0f * f - 15.0f) + 10.0f));
}

}  // namespace

void crtGlitches(float time, bool on[3], float* smallestMargin) {
    static const float kShift[3] = {17.0f, 37.0f, 71.0f};
    float margin = 1e9f;
    for (int k = 0; k < 3; ++k) {
        float g = 2.0f * crtNoise(5.0f * time + kShift[k]) - 1.0f;
        on[k] = g > 0.7f;
        margin = std::min(margin, std::fabs(g - 0.7f));
    }
    if (smallestMargin) *smallestMargin = margin;
}

Float4 crtWithoutGrain(const Image& input, const Frame& frame, const PixelSite& at, float* grain) {
    if (static_cast<int>(frame.params[kEnableFinalPostProc]) == 0) {
        if (grain) *grain = 1.0f;
        return sample(input, Filter::Linear, Address::Clamp, at.u, at.v);
    }
    float time = frame.time;
    float T = std::ceil(11.0f * time);

    float hx = 5.0f * time, hy = 5.0f * time + 127.3f;
    float n[2] = {fracPart(std::sin(hx * 127.1f + hy * 311.7f) * 43758.547f) - 0.5f,
                  fracPart(std::sin(hx * 269.5f + hy * 183.3f) * 43758.547f) - 0.5f};
    float o[2];
    for (int i = 0; i < 2; ++i) o[i] = std::fabs(n[i]) > 0.15f ? n[i] * 0.0006f : 0.0f;
    float r = fracPart(std::sin((at.u + 0.01f * T) * 127.1f + (at.v + 0.01f * T) * 311.7f) * 43758.547f);
    float p[2] = {at.u + r * o[0], at.v + r * o[1]};

    bool on[3];
    crtGlitches(time, on, nullptr);
    float flick = frame.params[kFlicker];
    const float offset[3][2] = {{on[0] ? flick : 0.0f, 0.0f}, {on[1] ? flick : 0.0f, 0.0f},
                                {0.0f, on[2] ? flick : 0.0f}};
    static const float kExponent[3] = {1.4f, 1.4f, 1.5f};
    float out[3];
    for (int k = 0; k < 3; ++k) {
        Float4 c = sample(input, Filter::Linear, Address::Clamp, p[0] + offset[k][0], p[1] + offset[k][1]);
        float ch[3] = {c.r, c.g, c.b};
        float L = c.r * 0.2126f + c.g * 0.7152f + c.b * 0.0722f;
        float x = ch[k] + 0.05f * (L - ch[k]);
        out[k] = x >= 0.95f ? x : 1.0f - std::pow(1.0f - x, 1.0f / kExponent[k]);
    }
    if (static_cast<int>(frame.params[kScanlines]) != 0) {
        const float kPi = 3.14159265358979f;
        float s = 0.925f + 0.075f * std::cos(kPi * p[1] * frame.height / 2.7f);
        for (float& c : out) c *= s;
    }
    float phase = fracPart(100.0f * time / 6.28318f);
    float pulse = 0.96f + 0.04f * frame.params[kBlinky] * std::exp(-10.0f * (phase - 0.5f) * (phase - 0.5f));
    float qx = 2.0f * (p[0] - 0.5f), qy = 2.0f * (p[1] - 0.5f);
    float vig = 1.0f - 0.294f * (qx * qx + qy * qy);
    float fl = fracPart(std::sin(T + 13.7f) * 43758.547f) * 0.3f + 0.7f;
    float globe = 0.6f + 0.4f * vig * fl;
    for (float& c : out) c *= pulse * globe * frame.params[kGlobeBrightness];
    if (grain)
        *grain = fracPart(std::sin((T + 1000.0f * p[0]) * 12.9898f + (T + 1000.0f * p[1]) * 78.233f) *
                          43758.547f) * 0.2f + 1.0f;
    return {out[0], out[1], out[2], 1.0f};
}

// --------------------------------------------------------------- scroller

namespace {

float textDistance(const Image& font, const ScrollText& text, float scroll, float x, float y) {
    const float kAdvance = 0.38f;
    const float kPeriod = 0.38f * 433.0f + 0.38f;
    float a = x + scroll;
    float s = kPeriod * signedFracPart(std::fabs(a) / kPeriod * (a < 0 ? -1.0f : 1.0f));
    if (s < 0.0f) s += kPeriod;
    int k = static_cast<int>(std::floor(s / kAdvance));
    float D = 1e10f;
    for (int j = k - 2; j <= k + 1; ++j) {
        if (j < 0 || j > text.length - 1) continue;
        float lx = saturate(s - kAdvance * static_cast<float>(j + 1));
        float ly = saturate(y + 0.5f);
        unsigned c = text.codes[j];
        float cu = static_cast<float>(c % 16) / 16.0f + lx / 16.0f;
        float cv = static_cast<float>(15 - static_cast<int>(c / 16)) / 16.0f + ly / 16.0f;
        float alpha = sample(font, Filter::Point, Address::Wrap, cu, cv).a;
        D = std::min(D, 2.0f * alpha - 1.0f);
    }
    return D;
}

float textMask(const Image& font, const ScrollText& text, float scroll, float x, float y) {
    return 1.0f - smoothStep(0.005f, 0.0055f, textDistance(font, text, scroll, x, y));
}

const float kBayer[16] = {0, 8, 2, 10, 12, 4, 14, 6, 3, 11, 1, 9, 15, 7, 13, 5};

}  // namespace

void trailDirection(const Frame& frame, float u, float v, float* dx, float* dy) {
    static const float M[3][3] = {{-0.948683f, 0.169031f, -0.267261f},
                                  {0.000000f, 0.845154f, 0.534522f},
                                  {0.316228f, 0.507093f, -0.801784f}};
    float P[3] = {std::floor(16.0f * u) / 16.0f, std::floor(8.0f * v) / 8.0f, 1.0f};
    float A[3] = {0, 0, 0};
    float noise = frame.params[kNoiseStrength];
    for (int n = 0; n < 5; ++n) {
        float t[3];
        for (int i = 0; i < 3; ++i) t[i] = M[i][0] * P[0] + M[i][1] * P[1] + M[i][2] * P[2];
        float t2[3] = {t[0] + std::sin(t[1]), t[1] + std::sin(t[2]), t[2] + std::sin(t[0])};
        float ex = std::cos(t2[1]) * std::sin(t2[1]) - std::cos(t2[2]) * std::sin(t2[0]);
        float ey = std::cos(t2[2]) * std::sin(t2[2]) - std::cos(t2[0]) * std::sin(t2[1]);
        A[0] = noise * (A[0] + ex);
        A[1] = noise * (A[1] + ey);
        A[2] = noise * (A[2] + 1.0f);
        for (int i = 0; i < 3; ++i) P[i] = 2.0f * t2[i];
    }
    float x = A[0] / A[2], y = A[1] / A[2];
    if (!(2.0f * v - 1.0f > 0.0f)) {
        x = -x;
        y = -y;
    }
    float l = std::sqrt(x * x + y * y);
    *dx = x / l * 0.003f;
    *dy = y / l * 0.003f;
}

Float4 scroller(const Image& font, const Image& feedback, const ScrollText& text, const Frame& frame,
                const PixelSite& at, int targetWidth, int targetHeight, ScrollerDetail* detail) {
    const float* prm = frame.params;
    float aspect = frame.width / frame.height;
    float yc = 2.0f * at.v - 1.0f;
    float qx = 1.2f * (aspect * (2.0f * at.u - 1.0f));
    float qy = 1.2f * yc;
    float scroll = prm[kScrollSpeed];

    float m0 = textMask(font, text, scroll, qx, qy);
    // q is linear in the pixel position: one pixel moves it by these steps.
    float wx = 1.2f * aspect * 2.0f / static_cast<float>(targetWidth) * prm[kOutlines];
    float wy = 1.2f * 2.0f / static_cast<float>(targetHeight) * prm[kOutlines];
    float most = m0;
    most = std::max(most, textMask(font, text, scroll, qx + wx, qy));
    most = std::max(most, textMask(font, text, scroll, qx - wx, qy));
    most = std::max(most, textMask(font, text, scroll, qx, qy + wy));
    most = std::max(most, textMask(font, text, scroll, qx, qy - wy));
    float outline = saturate(most - m0);

    float dx, dy;
    trailDirection(frame, at.u, at.v, &dx, &dy);
    Filter filter = prm[kIsNearestSampling] > 0.5f ? Filter::Point : Filter::Linear;
    float f = sample(feedback, filter, Address::Wrap, at.u + dx, at.v + dy).r;
    f = std::exp2(std::log2(saturate(f)) * (1.0f - prm[kMeltGradientSpread]));
    float g = smoothStep(0.05f, 0.1f, std::fabs(yc)) > 0.5f ? prm[kFeedbackStrength] : 0.0f;
    float x = saturate(g * f);

    x = saturate((x - 0.001f) / 0.319f) * 9.0f;
    float level = std::floor(x);
    float fraction = x - level;
    float threshold = 0.5f;
    if (prm[kBayerOn] > 0.5f) {
        int bx = static_cast<int>(std::floor(at.px / 2.0f)) % 4;
        int by = static_cast<int>(std::floor(at.py / 2.0f)) % 4;
        threshold = kBayer[bx + 4 * by] / 16.0f + 0.03125f;
    }
    float raised = fraction > threshold ? level + 1.0f : level;
    float trail = saturate(std::min(raised, 8.0f) / 9.0f) / 3.0f;
    float grey = saturate(trail + m0) * (1.0f - outline);
    if (detail) {
        detail->mask = m0;
        detail->outline = outline;
        detail->level = level;
        detail->fraction = fraction;
        detail->threshold = threshold;
        detail->trail = trail;
    }
    return {grey, grey, grey, 1.0f};
}

}  // namespace ref
