// Prints how many times faster than real time the replayer generates songs of
// several shapes, on one core: a busy 4-channel song shaped like the show's
// (tempo 3, BPM 170, a note every few rows on every channel, looping 8-bit
// samples, vibrato and volume slides), a 32-channel one, and songs shaped like
// the modules people have (gain and pitch slides on most ticks, ping-pong
// loops, arpeggios, 16-bit samples), with the plain frame-by-frame order for
// comparison. Frames are requested in the show's refill chunk of 4,096 and
// the songs loop for ever.
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
    for (const Case& c : cases) {
        if (only && !strstr(c.name.c_str(), only)) continue;
        Result best{0, 0, 0, 0};
        for (int run = 0; run < runs; ++run) {
            Result r = measure(c.bytes, seconds, c.generate);
            if (r.realTime > best.realTime) best = r;
        }
        printf("%-40s %8.0fx real time  (%llu frames in %.2f s of CPU time; %.0fx by the wall clock)\n",
               c.name.c_str(), best.realTime, static_cast<unsigned long long>(best.frames), best.seconds,
               best.wallRealTime);
    }
    return 0;
}
