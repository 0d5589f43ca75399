#include "app/capture/CaptureReport.h"

#include <chrono>
#include <cstdio>
#include <vector>

#include "app/capture/Soundtrack.h"

namespace {

double secondsNow() {
    return std::chrono::duration<double>(std::chrono::steady_clock::now().time_since_epoch()).count();
}

}  // namespace

bool writeCaptureSoundtrack(const char* program, const CaptureOptions& options, const CapturePlan& plan,
                            const uint8_t* module, uint64_t moduleSize) {
    std::vector<float> frames(2 * plan.soundFrames);
    if (renderSoundtrack(module, moduleSize, plan.firstSoundFrame, plan.soundFrames, frames.data()) != 0) {
        fprintf(stderr, "%s: the embedded song did not load\n", program);
        return false;
    }
    FILE* file = fopen(options.soundPath, "wb");
    const size_t bytes = frames.size() * sizeof(float);
    const bool written = file && fwrite(frames.data(), 1, bytes, file) == bytes;
    const bool closed = file && fclose(file) == 0;
    if (!written || !closed) {
        fprintf(stderr, "%s: cannot write the soundtrack to %s\n", program, options.soundPath);
        return false;
    }
    return true;
}

CaptureProgress startCaptureProgress(const char* program, bool live, uint32_t total) {
    return CaptureProgress{program, live, total, secondsNow(), 0.0, 0};
}

void reportCaptureProgress(CaptureProgress& progress, uint32_t done) {
    const bool last = done == progress.total;
    const double now = secondsNow();
    const uint32_t tenths = uint32_t(uint64_t(done) * 10 / progress.total);
    if (progress.live) {
        if (!last && now - progress.lastReport < 0.5) return;
    } else if (!last && tenths == progress.reportedTenths) {
        return;
    }
    progress.lastReport = now;
    progress.reportedTenths = tenths;
    const double spent = now - progress.startSeconds;
    const double rate = spent > 0.0 ? done / spent : 0.0;
    const double left = rate > 0.0 ? (progress.total - done) / rate : 0.0;
    const unsigned leftSeconds = unsigned(left + 0.5);
    fprintf(stderr, "%s%s: frame %u/%u (%u%%), %.2f frames/s, %u:%02u left%s", progress.live ? "\r" : "",
            progress.program, done, progress.total, unsigned(uint64_t(done) * 100 / progress.total), rate,
            leftSeconds / 60, leftSeconds % 60, progress.live && !last ? "  " : "\n");
    fflush(stderr);
}
