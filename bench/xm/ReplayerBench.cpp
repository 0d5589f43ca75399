// Prints how many times faster than real time the replayer generates a busy
// 4-channel song shaped like the show's (tempo 3, BPM 170, a note every few
// rows on every channel, looping 8-bit samples, vibrato and volume slides) and
// a 32-channel song, on one core, with the plain frame-by-frame order for
// comparison. Frames are requested in the show's refill chunk of 4,096 and
// the song loops for ever, so the voices never run dry.
#include <time.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <vector>

#include "BusySong.h"
#include "xm/ModulePlayer.h"
#include "xm/Voices.h"

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

using Generate = void (*)(ModulePlayer*, float*, uint64_t);

Result measure(const std::vector<uint8_t>& bytes, double minimumSeconds, Generate generate) {
    ModulePlayer* player = nullptr;
    if (createPlayer(&player, bytes.data(), bytes.size(), 44100) != kPlayerOk) {
        fprintf(stderr, "xm_bench: the generated song did not load\n");
        exit(1);
    }
    const uint64_t chunk = 4096;
    std::vector<float> out(2 * chunk);
    // Warm up: caches, branch predictors, the first notes' crossfades.
    for (int i = 0; i < 50; ++i) generate(player, out.data(), chunk);

    using Clock = std::chrono::steady_clock;
    uint64_t frames = 0;
    auto start = Clock::now();
    double cpuStart = threadSeconds();
    double elapsed = 0;
    float sink = 0;
    do {
        for (int i = 0; i < 64; ++i) {
            generate(player, out.data(), chunk);
            sink += out[2 * chunk - 1];
        }
        frames += 64 * chunk;
        elapsed = threadSeconds() - cpuStart;
    } while (elapsed < minimumSeconds);
    double wall = std::chrono::duration<double>(Clock::now() - start).count();
    freePlayer(player);
    if (sink == 12345.0f) printf(" ");  // keeps the output alive
    return Result{double(frames) / elapsed / 44100.0, double(frames) / wall / 44100.0, elapsed, frames};
}

}  // namespace

int main(int argc, char** argv) {
    double seconds = argc > 1 ? atof(argv[1]) : 3.0;
    if (seconds <= 0) seconds = 3.0;

    xmtest::BusySongOptions show;  // 4 channels, tempo 3, BPM 170
    show.allLooping = true;
    xmtest::BusySongOptions wide = show;
    wide.channels = 32;

    struct Case {
        const char* name;
        xmtest::BusySongOptions options;
        Generate generate;
    } cases[] = {{"4 channels (tempo 3, BPM 170)", show, generateFrames},
                 {"32 channels (tempo 3, BPM 170)", wide, generateFrames},
                 {"4 channels, plain frame order", show, generateFramesReference}};

    printf("replayer speed, one core, 44,100 Hz output, best of 3 runs of %.1f s of CPU time\n", seconds);
    for (const Case& c : cases) {
        std::vector<uint8_t> bytes = xmtest::writeXm(xmtest::makeBusySong(c.options));
        Result best{0, 0, 0, 0};
        for (int run = 0; run < 3; ++run) {
            Result r = measure(bytes, seconds, c.generate);
            if (r.realTime > best.realTime) best = r;
        }
        printf("%-32s %8.0fx real time  (%llu frames in %.2f s of CPU time; %.0fx by the wall clock)\n", c.name,
               best.realTime, static_cast<unsigned long long>(best.frames), best.seconds, best.wallRealTime);
    }
    return 0;
}
