// edit_bench: what edit mode costs, off-screen and headless.
//   - a frame of the show, and a seek's redraw (the trail emptied, the
//     preceding second drawn unseen, then the frame), at each size given;
//   - the per-frame polls edit mode adds (the sync link while no editor
//     answers, the timeline file's watch, the played position, the paused
//     picture's key stamp), per call;
//   - from a seek of the song to the played position moving on from the new
//     row (SDL's sound device: set SDL_AUDIODRIVER=dummy without one).
// Medians; prints numbers, asserts nothing.
//
//   edit_bench [--repeats N] [--preroll FRAMES] [WxH ...]
//   (defaults: 10 repeats, edit mode's pre-roll, 320x180 and 1280x720)
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "HeadlessBench.h"
#include "app/MusicClock.h"
#include "app/linux/FileWatch.h"
#include "app/linux/SongPlayer.h"
#include "app/edit/TrailPreroll.h"
#include "content/module/SongModule.h"
#include "content/timeline/ShowParameters.h"
#include "edit/SyncLink.h"

namespace {

void benchDrawing(int width, int height, int repeats, uint32_t preroll) {
    ShowSession session;
    openBenchSession(session, width, height);
    uint32_t index = 0;
    float previous = 0.0f;
    std::vector<double> frames;
    std::vector<double> seeks;
    for (int r = 0; r < repeats; ++r) {
        const float time = 8.0f + 3.0f * float(r % 10);
        double start = secondsNow();
        prerollTrail(session, preroll, index, time, previous);
        drawShowSessionFrame(session, index++, time, time - previous);
        glFinish();
        seeks.push_back(secondsNow() - start);
        for (int k = 1; k <= 5; ++k) {
            const float at = time + float(k) / 60.0f;
            start = secondsNow();
            drawShowSessionFrame(session, index++, at, 1.0f / 60.0f);
            glFinish();
            frames.push_back(secondsNow() - start);
        }
    }
    std::printf("%dx%d: frame %.1f ms, seek redraw (trail emptied, %u frames of pre-roll, the frame) %.0f ms\n", width,
                height, median(frames) * 1e3, preroll, median(seeks) * 1e3);
    std::fflush(stdout);
    releaseShowSession(session);
}

void benchPolls() {
    // No editor listens on a port that was just free: the link waits and retries.
    SyncLink link;
    std::string error;
    const TrackNames names{kShowParameterNames, kShowParameterCount};
    char where[] = "127.0.0.1:9";
    SyncLinkSetup setup = {where, names, 1344, "/dev/null", [](void*, const SyncEvent&) {}, nullptr};
    TrackSet tracks;
    trackSetInit(tracks);
    trackSetResize(tracks, kShowParameterCount);
    const bool linked = syncLinkInit(link, setup, error);
    char path[] = "/tmp/edit_bench_XXXXXX";
    const int fd = mkstemp(path);
    FileWatch watch;
    fileWatchOpen(watch, path, error);
    constexpr int kCalls = 20000;
    double start = secondsNow();
    for (int i = 0; i < kCalls; ++i)
        if (linked) syncLinkPoll(link, secondsNow(), tracks);
    const double sync = (secondsNow() - start) / kCalls;
    start = secondsNow();
    bool changed = false;
    for (int i = 0; i < kCalls; ++i) changed |= fileWatchPoll(watch);
    const double file = (secondsNow() - start) / kCalls;
    std::printf("per frame: sync link poll (no editor) %.2f us, timeline watch poll %.2f us%s\n", sync * 1e6,
                file * 1e6, changed ? " (saw a change)" : "");
    fileWatchClose(watch);
    if (fd >= 0) close(fd);
    unlink(path);
    if (linked) syncLinkClose(link);
    trackSetDestroy(tracks);
}

void benchSoundSeek(int repeats) {
    SongPlayer player;
    double start = secondsNow();
    if (!openSongPlayer(player, kSongModule, kSongModuleSize)) {
        std::printf("sound: the song did not render\n");
        return;
    }
    std::printf("sound: whole song rendered and device opened in %.2f s (%llu frames)%s\n", secondsNow() - start,
                static_cast<unsigned long long>(player.song.frames), player.device ? "" : ", no device: wall clock");
    songPlayerSetPaused(player, false);
    std::vector<double> answers;
    std::vector<double> polls;
    for (int r = 0; r < repeats; ++r) {
        SDL_Delay(150);
        const uint64_t target = uint64_t(kAudioSampleRate) * uint64_t(5 + (r * 7) % 35);
        start = secondsNow();
        songPlayerSeek(player, target);
        uint64_t position = target;
        while (position <= target && secondsNow() - start < 2.0) {
            const double before = secondsNow();
            position = songPlayerPosition(player);
            polls.push_back(secondsNow() - before);
            SDL_Delay(1);
        }
        answers.push_back(secondsNow() - start);
    }
    std::printf("sound: seek -> played position moving on from the new row %.1f ms (chunk %u frames); "
                "position poll %.2f us\n",
                median(answers) * 1e3, player.chunkFrames, median(polls) * 1e6);
    closeSongPlayer(player);
}

}  // namespace

int main(int argc, char** argv) {
    int repeats = 10;
    uint32_t preroll = kDefaultPrerollFrames;
    std::vector<std::pair<int, int>> sizes;
    for (int i = 1; i < argc; ++i) {
        int w = 0;
        int h = 0;
        if (!std::strcmp(argv[i], "--repeats") && i + 1 < argc) {
            repeats = std::max(1, std::atoi(argv[++i]));
        } else if (!std::strcmp(argv[i], "--preroll") && i + 1 < argc) {
            preroll = uint32_t(std::min(std::max(0, std::atoi(argv[++i])), int(kMaxPrerollFrames)));
        } else if (parseBenchSize(argv[i], w, h)) {
            sizes.push_back({w, h});
        } else {
            std::fprintf(stderr, "usage: edit_bench [--repeats N] [--preroll FRAMES] [WxH ...]\n");
            return 2;
        }
    }
    if (sizes.empty()) sizes = {{320, 180}, {1280, 720}};
    benchPolls();
    benchSoundSeek(repeats);
    HeadlessGl gl;
    if (!openBenchGl(gl, "edit_bench")) return 1;
    for (const auto& size : sizes) benchDrawing(size.first, size.second, repeats, preroll);
    closeHeadlessGl(gl);
    return 0;
}
