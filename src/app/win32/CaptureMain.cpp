// ThawlineCapture.exe: the show rendered off-line, frame by frame at music
// time k / fps, through the same start-up, graph and frame loop as the show.
// Pictures go to standard output as raw RGBA; the soundtrack to a file.
#include <windows.h>

#include <cstdio>
#include <vector>

#include "Orrery/gfx/GraphRuntime.h"
#include "app/capture/CapturePlan.h"
#include "app/capture/CaptureReport.h"
#include "app/win32/CaptureTarget.h"
#include "app/ShowFrame.h"
#include "app/win32/FrameDriver.h"
#include "content/module/SongModule.h"
#include "content/scene/Show.h"
#include "content/scene/ShowCheck.h"

namespace {

const char* kName = "ThawlineCapture";

int failWith(const char* message, HRESULT hr) {
    fprintf(stderr, "%s: %s (HRESULT 0x%08lX)\n", kName, message, static_cast<unsigned long>(hr));
    return 1;
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

// Set by Ctrl-C, Ctrl-Break or the console closing (Wine turns SIGINT into
// Ctrl-C); the frame loop stops at the next frame and reports it.
volatile LONG interrupted = 0;

BOOL WINAPI onConsoleControl(DWORD) {
    InterlockedExchange(&interrupted, 1);
    return TRUE;
}

// Frame k at music time k / fps, each a step of exactly 1 / fps. Every frame
// from 0 is drawn and read back (reading waits for the renderer, which would
// otherwise queue frames far ahead and the progress would count frames
// submitted, not drawn); those of the span go to standard output in order.
// Returns the exit code: 0 only when every planned frame was written.
int captureFrames(Show& show, const CaptureOptions& options, const CapturePlan& plan, CaptureTarget& target,
                  ID3D11DeviceContext* context) {
    const float aspect = static_cast<float>(screenWidth) / static_cast<float>(screenHeight);
    const HANDLE output = GetStdHandle(STD_OUTPUT_HANDLE);
    std::vector<uint8_t> pixels(size_t(options.width) * size_t(options.height) * 4);
    CaptureProgress progress = startCaptureProgress(kName, options.liveProgress, plan.renderedFrames);
    for (uint32_t k = 0; k < plan.renderedFrames; ++k) {
        if (interrupted) {
            fprintf(stderr, "%s%s: interrupted after %u of %u frames\n", options.liveProgress ? "\n" : "", kName, k,
                    plan.renderedFrames);
            return 130;
        }
        drawShowFrame(show, k, captureFrameTime(k, options.fps), captureFrameStep(options.fps), aspect);
        const HRESULT hr = readCaptureFrame(target, context, pixels.data());
        if (FAILED(hr)) return failWith("reading a frame back failed", hr);
        if (k >= plan.firstWritten && !writeAll(output, pixels.data(), pixels.size())) {
            fprintf(stderr, "%s: writing frame %u to standard output failed (did the reader stop?)\n", kName, k);
            return 1;
        }
        reportCaptureProgress(progress, k + 1);
    }
    return 0;
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
    if (options.soundPath && !writeCaptureSoundtrack(kName, options, plan, kSongModule, kSongModuleSize)) return 1;

    SetConsoleCtrlHandler(onConsoleControl, TRUE);
    screenWidth = options.width;
    screenHeight = options.height;

    ID3D11Device* device = nullptr;
    ID3D11DeviceContext* context = nullptr;
    const D3D_FEATURE_LEVEL requested = D3D_FEATURE_LEVEL_11_0;
    HRESULT hr = D3D11CreateDevice(nullptr, D3D_DRIVER_TYPE_HARDWARE, nullptr, 0, &requested, 1, D3D11_SDK_VERSION,
                                   &device, nullptr, &context);
    if (FAILED(hr)) return failWith("no Direct3D 11 device: D3D11CreateDevice failed", hr);

    CaptureTarget target = {};
    hr = createCaptureTarget(target, device, uint32_t(options.width), uint32_t(options.height));
    if (FAILED(hr)) return failWith("cannot create the off-screen target", hr);

    Show show = {};
    buildShowGraph(show, device, context, target.view);
    char missing[160];
    if (!showResourcesComplete(show, missing, sizeof missing)) {
        fprintf(stderr, "%s: %s\n", kName, missing);
        return 1;
    }
    const int status = captureFrames(show, options, plan, target, context);
    trackSetDestroy(show.tracks);
    return status;
}
