// Prints how many times faster than real time the replayer generates songs of
// several shapes, on one core: a busy 4-channel song shaped like the show's
// (tempo 3, BPM 170, a note every few rows on every channel, looping 8-bit
// samples, vibrato and volume slides), a 32-channel one, and songs shaped like
// the modules people have (gain and pitch slides on most ticks, ping-pong
// loops, arpeggios, 16-bit samples), with the plain frame-by-frame order for
// comparison. Frames are requested in the show's refill chunk of 4,096 and
// the songs loop for ever. Where libopenmpt's development files are
// installed, a peer player renders the same bytes in the same run, as a
// yardstick.
#include <time.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "SongShapes.h"
#include "xm/ModulePlayer.h"
#include "xm/Voices.h"

#if XM_BENCH_PEER
#include <libopenmpt/libopenmpt.h>
#endif

namespace {

struct Result {
    double realTime;  // multiples of real time, by the thread's CPU time
    double wallRealTime;  // the same by the wall clock
    double seconds;
    uint64_t frames;
};

// The machine is shared, so the thread's own CPU time is the fairer clock;
// the wall clock is printed next to it.
double threadSeconds() {
    timespec now;
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
    return double(now.tv_sec) + double(now.tv_nsec) * 1e-9;
}

constexpr uint32_t kRate = 44100;
constexpr uint64_t kChunk = 4096;

// Times `render` (frames into a buffer of kChunk stereo frames) for at least
// `minimumSeconds` of CPU time, after a warm-up.
template <typename Render>
Result measure(double minimumSeconds, Render render) {
    std::vector<float> out(2 * kChunk);
    // Warm up: caches, branch predictors, the first notes' crossfades.
    for (int i = 0; i < 50; ++i) render(out.data());

    using Clock = std::chrono::steady_clock;
    uint64_t frames = 0;
    auto start = Clock::now();
    double cpuStart = threadSeconds();
    double elapsed = 0;
    float sink = 0;
    do {
        for (int i = 0; i < 64; ++i) {
            render(out.data());
            sink += out[2 * kChunk - 1];
        }
        frames += 64 * kChunk;
        elapsed = threadSeconds() - cpuStart;
    } while (elapsed < minimumSeconds);
    double wall = std::chrono::duration<double>(Clock::now() - start).count();
    if (sink == 12345.0f) printf(" ");  // keeps the output alive
    return Result{double(frames) / elapsed / kRate, double(frames) / wall / kRate, elapsed, frames};
}

using Generate = void (*)(ModulePlayer*, float*, uint64_t);

Result measureReplayer(const std::vector<uint8_t>& bytes, double minimumSeconds, Generate generate) {
    ModulePlayer* player = nullptr;
    if (createPlayer(&player, bytes.data(), bytes.size(), kRate) != kPlayerOk) {
        fprintf(stderr, "xm_bench: the generated song did not load\n");
        exit(1);
    }
    Result result = measure(minimumSeconds, [&](float* out) { generate(player, out, kChunk); });
    freePlayer(player);
    return result;
}

#if XM_BENCH_PEER
// The peer player on the same bytes, as a black box: no interpolation (as
// this replayer), its default volume ramping, looping for ever.
Result measurePeer(const std::vector<uint8_t>& bytes, double minimumSeconds) {
    int error = 0;
    openmpt_module* module = openmpt_module_create_from_memory2(bytes.data(), bytes.size(), nullptr, nullptr,
                                                                nullptr, nullptr, &error, nullptr, nullptr);
    if (!module) {
        fprintf(stderr, "xm_bench: the peer player did not load the generated song (error %d)\n", error);
        exit(1);
    }
    openmpt_module_set_render_param(module, OPENMPT_MODULE_RENDER_INTERPOLATIONFILTER_LENGTH, 1);
    openmpt_module_set_repeat_count(module, -1);
    Result result = measure(minimumSeconds, [&](float* out) {
        if (openmpt_module_read_interleaved_float_stereo(module, kRate, kChunk, out) != kChunk) {
            fprintf(stderr, "xm_bench: the peer player stopped early\n");
            exit(1);
        }
    });
    openmpt_module_destroy(module);
    return result;
}
#endif

template <typename Measure>
Result bestOf(int runs, Measure measureOnce) {
    Result best{0, 0, 0, 0};
    for (int run = 0; run < runs; ++run) {
        Result r = measureOnce();
        if (r.realTime > best.realTime) best = r;
    }
    return best;
}

void print(const char* name, const Result& r) {
    printf("%-44s %8.0fx real time  (%llu frames in %.2f s of CPU time; %.0fx by the wall clock)\n", name,
           r.realTime, static_cast<unsigned long long>(r.frames), r.seconds, r.wallRealTime);
}

}  // namespace

int main(int argc, char** argv) {
    double seconds = argc > 1 ? atof(argv[1]) : 2.0;
    if (seconds <= 0) seconds = 2.0;
    int runs = argc > 2 ? atoi(argv[2]) : 3;
    if (runs <= 0) runs = 3;
    const char* only = argc > 3 ? argv[3] : nullptr;  // cases whose name contains this

    xmtest::BusySongOptions show;  // 4 channels, tempo 3, BPM 170
    show.allLooping = true;
    xmtest::BusySongOptions wide = show;
    wide.channels = 32;
    using xmtest::SongShape;
    auto busy = [](const xmtest::BusySongOptions& o) { return xmtest::writeXm(xmtest::makeBusySong(o)); };
    auto shaped = [](SongShape shape) { return xmtest::writeXm(xmtest::makeShapedSong(shape)); };

    struct Case {
        std::string name;
        std::vector<uint8_t> bytes;
        Generate generate;
    } cases[] = {{"4 ch busy (tempo 3, BPM 170)", busy(show), generateFrames},
                 {"32 ch busy (tempo 3, BPM 170)", busy(wide), generateFrames},
                 {shapeName(SongShape::Slides), shaped(SongShape::Slides), generateFrames},
                 {shapeName(SongShape::Arpeggios), shaped(SongShape::Arpeggios), generateFrames},
                 {shapeName(SongShape::Wide), shaped(SongShape::Wide), generateFrames},
                 {"4 ch busy, plain frame order", busy(show), generateFramesReference},
                 {std::string(shapeName(SongShape::Slides)) + ", plain order", shaped(SongShape::Slides),
                  generateFramesReference}};

    printf("replayer speed, one core, 44,100 Hz output, best of %d runs of %.1f s of thread CPU time\n", runs,
           seconds);
#if XM_BENCH_PEER
    printf("peer: libopenmpt %s, no interpolation, on the same bytes in the same run\n",
           openmpt_get_string("library_version"));
#endif
    for (const Case& c : cases) {
        if (only && !strstr(c.name.c_str(), only)) continue;
        Result ours = bestOf(runs, [&] { return measureReplayer(c.bytes, seconds, c.generate); });
        print(c.name.c_str(), ours);
#if XM_BENCH_PEER
        if (c.generate == generateFrames) {
            Result peer = bestOf(runs, [&] { return measurePeer(c.bytes, seconds); });
            std::string name = "  peer player";
            print(name.c_str(), peer);
            printf("  %-42s %8.2fx the peer\n", "ratio", ours.realTime / peer.realTime);
        }
#endif
    }
    return 0;
}
