#include "app/capture/CaptureRun.h"

#include <cstdio>
#include <cstring>
#include <vector>

#include "app/ShowSession.h"
#include "app/capture/CaptureReport.h"
#include "content/module/SongModule.h"

namespace {

// The shared text names the Windows program; the columns stay aligned.
void printUsage(const char* usageName) {
    const char* text = kCaptureUsage;
    const char* windowsName = "ThawlineCapture.exe";
    const char* at = std::strstr(text, windowsName);
    const size_t width = std::strlen(windowsName);
    if (!at || std::strcmp(usageName, windowsName) == 0 || std::strlen(usageName) > width) {
        std::fputs(text, stdout);
        return;
    }
    std::fwrite(text, 1, size_t(at - text), stdout);
    std::printf("%-*s", int(width), usageName);
    std::fputs(at + width, stdout);
}

}  // namespace

CaptureStart startCapture(const char* name, const char* usageName, int argc, char** argv, bool outputIsTerminal) {
    CaptureStart start = {};
    char error[512] = "";
    switch (parseCaptureOptions(argc, argv, start.options, error, sizeof error)) {
    case CaptureCommand::Help:
        printUsage(usageName);
        return start;
    case CaptureCommand::Error:
        std::fprintf(stderr, "%s: %s\n", name, error);
        start.status = 2;
        return start;
    case CaptureCommand::Run:
        break;
    }
    const CaptureOptions& options = start.options;
    start.plan = planCapture(options);
    const CapturePlan& plan = start.plan;
    if (options.describe) {
        std::printf("%d %d %u %u %u %u %llu %llu\n", options.width, options.height, options.fps, plan.firstWritten,
                    plan.writtenFrames, plan.renderedFrames, static_cast<unsigned long long>(plan.firstSoundFrame),
                    static_cast<unsigned long long>(plan.soundFrames));
        return start;
    }
    // Raw frames would flood a terminal and leave it in a mess.
    if (outputIsTerminal) {
        std::fprintf(stderr, "%s: standard output is a terminal; send the raw frames into a pipe or a file\n", name);
        start.status = 2;
        return start;
    }
    if (options.soundPath && !writeCaptureSoundtrack(name, options, plan, kSongModule, kSongModuleSize)) {
        start.status = 1;
        return start;
    }
    start.run = true;
    return start;
}

// Every frame from 0 is drawn and read back (reading waits for the device,
// which would otherwise queue frames far ahead, and the progress would count
// frames submitted, not drawn); those of the span go out in order.
int runCapture(const char* name, ShowSession& session, const CaptureStart& start, const CaptureDevice& device) {
    const CaptureOptions& options = start.options;
    const CapturePlan& plan = start.plan;
    std::vector<uint8_t> pixels(size_t(options.width) * size_t(options.height) * 4);
    CaptureProgress progress = startCaptureProgress(name, options.liveProgress, plan.renderedFrames);
    uint32_t written = 0;
    for (uint32_t k = 0; k < plan.renderedFrames; ++k) {
        if (device.interrupted(device.user)) {
            std::fprintf(stderr, "%s%s: interrupted after %u of %u frames\n", options.liveProgress ? "\n" : "", name, k,
                         plan.renderedFrames);
            return 130;
        }
        drawShowSessionFrame(session, k, captureFrameTime(k, options.fps), captureFrameStep(options.fps));
        char reason[256] = "";
        if (!device.readFrame(device.user, pixels.data(), reason, sizeof reason)) {
            std::fprintf(stderr, "%s: reading frame %u back failed%s%s\n", name, k, *reason ? ": " : "", reason);
            return 1;
        }
        if (k >= plan.firstWritten) {
            if (!device.writeOutput(device.user, pixels.data(), pixels.size())) {
                std::fprintf(stderr, "%s: writing frame %u to standard output failed (did the reader stop?)\n", name, k);
                return 1;
            }
            written += 1;
        }
        reportCaptureProgress(progress, k + 1);
    }
    if (written != plan.writtenFrames) {
        std::fprintf(stderr, "%s: wrote %u of %u planned frames\n", name, written, plan.writtenFrames);
        return 1;
    }
    return 0;
}
