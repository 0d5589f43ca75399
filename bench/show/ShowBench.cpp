// Measures the CPU side of one show frame (track evaluation, camera, the
// context derivations, parameter packing behind the 608-byte block) and the
// start-up cost of the 27 tracks with their 416 keys. Prints nanoseconds per
// frame and per start-up.
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "anim/TrackSet.h"
#include "app/Camera.h"
#include "app/ContextMath.h"
#include "app/MusicClock.h"
#include "content/timeline/Timeline.h"

#ifdef THAW_BENCH_RUNTIME_PACKING
#include "Orrery/gfx/Parameter.h"
#endif

namespace {

using Clock = std::chrono::steady_clock;

double nanosecondsSince(Clock::time_point start) {
    return std::chrono::duration<double, std::nano>(Clock::now() - start).count();
}

// Keeps results alive so the optimiser cannot drop the work.
volatile float gSink;

#ifdef THAW_BENCH_RUNTIME_PACKING
using namespace Orrery::Gfx;

struct Parameters {
    GrowArray<Parameter> list;
    ParameterBlock block;
};

void parametersInit(Parameters& p) {
    growInit(p.list);
    for (uint32_t i = 0; i < kShowParameterCount; ++i) growPush(p.list, makeParameter(kShowParameterNames[i]));
    parameterBlockInit(p.block);
}
void parametersSet(Parameters& p, uint32_t i, float value) { p.list[i].value[0] = value; }
// What a frame's run does before any Direct3D call: pack, then the frame data.
float parametersPackFrame(Parameters& p, const ContextBuffer& context) {
    packParameters(p.block, p.list);
    const uint32_t length = frameDataLength(p.block.size);
    uint8_t* frame = static_cast<uint8_t*>(std::malloc(length));
    std::memcpy(frame, &context, kContextBufferSize);
    if (p.block.size) std::memcpy(frame + kContextBufferSize, p.block.data, p.block.size);
    float probe;
    std::memcpy(&probe, frame + kContextBufferSize + 4 * 17, sizeof(probe));
    std::free(frame);
    return probe;
}
void parametersFree(Parameters& p) {
    parameterBlockFree(p.block);
    growFree(p.list);
}
const char* const kPackingKind = "runtime packParameters";
#else
// Stand-in when the graphics runtime is not in the build: 27 floats packed
// behind the block into 720 bytes.
struct Parameters {
    float values[kShowParameterCount];
};
void parametersInit(Parameters& p) { std::memset(&p, 0, sizeof(p)); }
void parametersSet(Parameters& p, uint32_t i, float value) { p.values[i] = value; }
float parametersPackFrame(Parameters& p, const ContextBuffer& context) {
    uint8_t* frame = static_cast<uint8_t*>(std::malloc(720));
    std::memcpy(frame, &context, kContextBufferSize);
    std::memcpy(frame + kContextBufferSize, p.values, sizeof(p.values));
    float probe;
    std::memcpy(&probe, frame + kContextBufferSize + 4 * 17, sizeof(probe));
    std::free(frame);
    return probe;
}
void parametersFree(Parameters&) {}
const char* const kPackingKind = "local packing";
#endif

// Frames spread over the whole show so the linear key scans see short and
// long prefixes alike.
void benchFrames(uint32_t frameCount) {
    TrackSet tracks;
    trackSetInit(tracks);
    buildShowTracks(tracks);
    Parameters parameters;
    parametersInit(parameters);
    ContextBuffer kept;
    std::memset(&kept, 0, sizeof(kept));
    const int32_t width = 1920, height = 1080;
    const float aspect = static_cast<float>(width) / static_cast<float>(height);
    const uint32_t showFrames = 2053737;

    float previousTime = 0.0f;
    float sink = 0.0f;
    const Clock::time_point start = Clock::now();
    for (uint32_t frame = 0; frame < frameCount; ++frame) {
        const uint32_t played = static_cast<uint32_t>(uint64_t(frame) * showFrames / frameCount);
        const float time = musicTimeFromFrames(played);
        const float elapsed = time - previousTime;
        previousTime = time;

        float camera[kCameraTrackCount];
        for (uint32_t i = 0; i < kCameraTrackCount; ++i) camera[i] = evaluateTrack(tracks, i, time);
        Mat4 view, projection;
        buildCamera(camera, aspect, view, projection);
        ContextBuffer block;
        fillFrameContext(block, time, frame, elapsed, width, height, view, projection);
        deriveContext(kept, block);
        for (uint32_t i = 0; i < tracks.tracks.count; ++i) parametersSet(parameters, i, evaluateTrack(tracks, i, time));
        sink += parametersPackFrame(parameters, kept);
    }
    const double ns = nanosecondsSince(start);
    gSink = sink;
    std::printf("frame: %.0f ns per frame over %u frames (35 track evaluations, camera, deriveContext, %s)\n",
                ns / frameCount, frameCount, kPackingKind);
    parametersFree(parameters);
    trackSetDestroy(tracks);
}

// Track evaluation alone, per frame (35 evaluations).
void benchTracks(uint32_t frameCount) {
    TrackSet tracks;
    trackSetInit(tracks);
    buildShowTracks(tracks);
    float sink = 0.0f;
    const Clock::time_point start = Clock::now();
    for (uint32_t frame = 0; frame < frameCount; ++frame) {
        const float time = 46.57f * static_cast<float>(frame) / static_cast<float>(frameCount);
        for (uint32_t i = 0; i < kCameraTrackCount; ++i) sink += evaluateTrack(tracks, i, time);
        for (uint32_t i = 0; i < tracks.tracks.count; ++i) sink += evaluateTrack(tracks, i, time);
    }
    const double ns = nanosecondsSince(start);
    gSink = sink;
    std::printf("tracks: %.0f ns per frame (35 evaluations)\n", ns / frameCount);
    trackSetDestroy(tracks);
}

void benchStartup(uint32_t rounds) {
    const Clock::time_point start = Clock::now();
    uint32_t keys = 0;
    for (uint32_t r = 0; r < rounds; ++r) {
        TrackSet tracks;
        trackSetInit(tracks);
        buildShowTracks(tracks);
        Parameters parameters;
        parametersInit(parameters);
        keys += trackAt(tracks, 15).keys.count;
        parametersFree(parameters);
        trackSetDestroy(tracks);
    }
    const double ns = nanosecondsSince(start);
    gSink = static_cast<float>(keys);
    std::printf("start-up: %.0f ns per build of 27 tracks, 416 keys and 27 parameters (%u rounds)\n", ns / rounds,
                rounds);
}

}  // namespace

int main(int argc, char** argv) {
    // Optional scale factor for quick runs: show_bench [rounds-divisor]
    const uint32_t divisor = argc > 1 ? static_cast<uint32_t>(std::strtoul(argv[1], nullptr, 10)) : 1;
    const uint32_t scale = divisor ? divisor : 1;
    benchTracks(200000 / scale);
    benchFrames(200000 / scale);
    benchStartup(20000 / scale);
    return 0;
}
