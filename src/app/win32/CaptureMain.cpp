// ThawlineCapture.exe: the show rendered off-line, frame by frame at music
// time k / fps, through the same start-up, graph and frame loop as the show.
// Pictures go to standard output as raw RGBA; the soundtrack to a file.
#include <windows.h>

#include <cstdio>
#include <vector>

#include "Orrery/gfx/GraphRuntime.h"
#include "app/capture/CapturePlan.h"
#include "app/capture/Soundtrack.h"
#include "app/win32/CaptureTarget.h"
#include "app/win32/FrameDriver.h"
#include "content/module/SongModule.h"
#include "content/scene/Show.h"

namespace {

const char* kName = "ThawlineCapture";

int failWith(const char* message, HRESULT hr) {
    fprintf(stderr, "%s: %s (HRESULT 0x%08lX)\n", kName, message, static_cast<unsigned long>(hr));
    return 1;
}

double secondsNow() {
    LARGE_INTEGER count, frequency;
    QueryPerformanceCounter(&count);
    QueryPerformanceFrequency(&frequency);
    return double(count.QuadPart) / double(frequency.QuadPart);
}

bool writeAll(HANDLE handle, const uint8_t* data, size_t size) {
    while (size > 0) {
        DWORD chunk = size > (1u << 30) ? (1u << 30) : DWORD(size);
        DWORD written = 0;
        if (!WriteFile(handle, data, chunk, &written, nullptr) || written == 0) return false;
        data += written;
        size -= written;
    }
    return true;
}

bool writeSoundtrack(const CaptureOptions& options, const CapturePlan& plan) {
    std::vector<float> frames(2 * plan.soundFrames);
    if (renderSoundtrack(kSongModule, kSongModuleSize, plan.firstSoundFrame, plan.soundFrames, frames.data()) != 0) {
        fprintf(stderr, "%s: the embedded song did not load\n", kName);
        return false;
    }
    FILE* file = fopen(options.soundPath, "wb");
    const size_t bytes = frames.size() * sizeof(float);
    const bool written = file && fwrite(frames.data(), 1, bytes, file) == bytes;
    if (file && fclose(file) != 0) file = nullptr;
    if (!written || !file) {
        fprintf(stderr, "%s: cannot write the soundtrack to %s\n", kName, options.soundPath);
        return false;
    }
    return true;
}

// Frame k at music time k / fps, each a step of exactly 1 / fps; the frames
// of the span are read back and written out in order.
struct CaptureRun {
    const CaptureOptions* options;
    CapturePlan plan;
    CaptureTarget target;
    ID3D11DeviceContext* context;
    HANDLE output;
    std::vector<uint8_t> pixels;
    uint32_t nextIndex;
    bool failed;
    double startSeconds;
    double lastReport;
    uint32_t reportedTenths;
};

void reportProgress(CaptureRun& run, uint32_t done, bool last) {
    const double now = secondsNow();
    const uint32_t total = run.plan.renderedFrames;
    const uint32_t tenths = uint32_t(uint64_t(done) * 10 / total);
    if (run.options->liveProgress) {
        if (!last && now - run.lastReport < 0.5) return;
    } else if (!last && tenths == run.reportedTenths) {
        return;
    }
    run.lastReport = now;
    run.reportedTenths = tenths;
    const double spent = now - run.startSeconds;
    const double rate = spent > 0.0 ? done / spent : 0.0;
    const double left = rate > 0.0 ? (total - done) / rate : 0.0;
    const unsigned leftSeconds = unsigned(left + 0.5);
    fprintf(stderr, "%s%s: frame %u/%u (%u%%), %.2f frames/s, %u:%02u left%s", run.options->liveProgress ? "\r" : "",
            kName, done, total, unsigned(uint64_t(done) * 100 / total), rate, leftSeconds / 60, leftSeconds % 60,
            run.options->liveProgress && !last ? "  " : "\n");
    fflush(stderr);
}

bool nextCaptureFrame(void* user, FrameTime& frame) {
    CaptureRun& run = *static_cast<CaptureRun*>(user);
    if (run.failed || run.nextIndex >= run.plan.renderedFrames) return false;
    frame.time = captureFrameTime(run.nextIndex, run.options->fps);
    frame.elapsed = captureFrameStep(run.options->fps);
    run.nextIndex += 1;
    return true;
}

void finishCaptureFrame(void* user, uint32_t frameIndex, const FrameTime&) {
    CaptureRun& run = *static_cast<CaptureRun*>(user);
    // Frames before the span are read back too: that waits for the renderer,
    // which otherwise queues frames far ahead and the progress would count
    // frames submitted rather than drawn.
    const HRESULT hr = readCaptureFrame(run.target, run.context, run.pixels.data());
    if (FAILED(hr)) {
        failWith("reading a frame back failed", hr);
        run.failed = true;
        return;
    }
    if (frameIndex >= run.plan.firstWritten) {
        if (!writeAll(run.output, run.pixels.data(), run.pixels.size())) {
            fprintf(stderr, "%s: writing frame %u to standard output failed (did the reader stop?)\n", kName,
                    frameIndex);
            run.failed = true;
            return;
        }
    }
    reportProgress(run, frameIndex + 1, frameIndex + 1 == run.plan.renderedFrames);
}

}  // namespace

int main(int argc, char** argv) {
    CaptureOptions options;
    char error[256] = "";
    switch (parseCaptureOptions(argc, argv, options, error, sizeof error)) {
    case CaptureCommand::Help:
        fputs(kCaptureUsage, stdout);
        return 0;
    case CaptureCommand::Error:
        fprintf(stderr, "%s: %s\n", kName, error);
        return 2;
    case CaptureCommand::Run:
        break;
    }
    const CapturePlan plan = planCapture(options);
    if (options.describe) {
        printf("%d %d %u %u %u %u %llu %llu\n", options.width, options.height, options.fps, plan.firstWritten,
               plan.writtenFrames, plan.renderedFrames, static_cast<unsigned long long>(plan.firstSoundFrame),
               static_cast<unsigned long long>(plan.soundFrames));
        return 0;
    }
    if (options.soundPath && !writeSoundtrack(options, plan)) return 1;

    screenWidth = options.width;
    screenHeight = options.height;
    const float aspect = static_cast<float>(screenWidth) / static_cast<float>(screenHeight);

    ID3D11Device* device = nullptr;
    ID3D11DeviceContext* context = nullptr;
    const D3D_FEATURE_LEVEL requested = D3D_FEATURE_LEVEL_11_0;
    HRESULT hr = D3D11CreateDevice(nullptr, D3D_DRIVER_TYPE_HARDWARE, nullptr, 0, &requested, 1, D3D11_SDK_VERSION,
                                   &device, nullptr, &context);
    if (FAILED(hr)) return failWith("no Direct3D 11 device: D3D11CreateDevice failed", hr);

    CaptureRun run = {};
    run.options = &options;
    run.plan = plan;
    run.context = context;
    run.output = GetStdHandle(STD_OUTPUT_HANDLE);
    hr = createCaptureTarget(run.target, device, uint32_t(options.width), uint32_t(options.height));
    if (FAILED(hr)) return failWith("cannot create the off-screen target", hr);
    run.pixels.resize(size_t(options.width) * size_t(options.height) * 4);

    Show show = {};
    buildShowGraph(show, device, context, run.target.view);
    run.startSeconds = secondsNow();
    run.reportedTenths = 0;
    runShowFrames(show, aspect, {&run, nextCaptureFrame, finishCaptureFrame});
    trackSetDestroy(show.tracks);
    return run.failed ? 1 : 0;
}
