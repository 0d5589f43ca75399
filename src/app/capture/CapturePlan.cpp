#include "app/capture/CapturePlan.h"

#include <cerrno>
#include <cstdarg>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>

const char* const kCaptureUsage =
    "usage: ThawlineCapture.exe [--size WxH] [--fps N] [--from SECONDS] [--to SECONDS]\n"
    "                           [--sound FILE] [--describe] [--progress]\n"
    "\n"
    "Renders the show frame by frame at music time k / fps and writes the frames\n"
    "whose time lies in [from, to) to standard output as raw RGBA, 8 bits per\n"
    "channel, top row first. Every frame from time 0 is drawn, written or not.\n"
    "\n"
    "  --size WxH      picture size, even numbers (default 1920x1080)\n"
    "  --fps N         frames per second of music, 1-240 (default 60)\n"
    "  --from SECONDS  start of the span (default 0)\n"
    "  --to SECONDS    end of the span, at most 46.57 (default 46.57, the show's end)\n"
    "  --sound FILE    also write the span's soundtrack: 44,100 Hz stereo 32-bit\n"
    "                  float frames, no header\n"
    "  --describe      print 'width height fps first count rendered soundFirst\n"
    "                  soundFrames' and stop\n"
    "  --progress      redraw one progress line on standard error\n"
    "  -h, --help      show this help\n";

namespace {

__attribute__((format(printf, 3, 4))) void setError(char* error, size_t size, const char* format, ...) {
    if (size == 0) return;
    va_list arguments;
    va_start(arguments, format);
    vsnprintf(error, size, format, arguments);
    va_end(arguments);
}

bool parseSeconds(const char* text, double& value) {
    char* end = nullptr;
    errno = 0;
    value = strtod(text, &end);
    return errno == 0 && end != text && *end == '\0' && std::isfinite(value);
}

bool parseWhole(const char* text, uint32_t low, uint32_t high, uint32_t& value) {
    if (*text < '0' || *text > '9') return false;
    char* end = nullptr;
    errno = 0;
    unsigned long long parsed = strtoull(text, &end, 10);
    if (errno != 0 || *end != '\0' || parsed < low || parsed > high) return false;
    value = static_cast<uint32_t>(parsed);
    return true;
}

bool parseSize(const char* text, int32_t& width, int32_t& height) {
    const char* x = strchr(text, 'x');
    if (!x || x == text) return false;
    char w[16];
    const size_t n = static_cast<size_t>(x - text);
    if (n >= sizeof w) return false;
    memcpy(w, text, n);
    w[n] = '\0';
    uint32_t pw = 0, ph = 0;
    if (!parseWhole(w, 0, 1u << 20, pw) || !parseWhole(x + 1, 0, 1u << 20, ph)) return false;
    width = static_cast<int32_t>(pw);
    height = static_cast<int32_t>(ph);
    return true;
}

// The first frame whose time, k / fps, reaches `seconds`.
uint32_t firstFrameAtOrAfter(double seconds, uint32_t fps) {
    const double rate = static_cast<double>(fps);
    double guess = std::ceil(seconds * rate);
    uint32_t k = guess > 0.0 ? static_cast<uint32_t>(guess) : 0u;
    while (k > 0 && static_cast<double>(k - 1) / rate >= seconds) --k;
    while (static_cast<double>(k) / rate < seconds) ++k;
    return k;
}

uint64_t soundFrameOf(uint32_t frame, uint32_t fps) {
    // Nearest 44,100 Hz frame to k / fps.
    return (static_cast<uint64_t>(frame) * kAudioSampleRate * 2 + fps) / (2ull * fps);
}

}  // namespace

CaptureCommand parseCaptureOptions(int argc, const char* const* argv, CaptureOptions& options, char* error,
                                   size_t errorSize) {
    for (int i = 1; i < argc; ++i) {
        const char* arg = argv[i];
        if (!strcmp(arg, "-h") || !strcmp(arg, "--help")) return CaptureCommand::Help;
        if (!strcmp(arg, "--describe")) {
            options.describe = true;
            continue;
        }
        if (!strcmp(arg, "--progress")) {
            options.liveProgress = true;
            continue;
        }
        const bool takesValue = !strcmp(arg, "--size") || !strcmp(arg, "--fps") || !strcmp(arg, "--from") ||
                                !strcmp(arg, "--to") || !strcmp(arg, "--sound");
        if (!takesValue) {
            setError(error, errorSize, "unknown option %s (try --help)", arg);
            return CaptureCommand::Error;
        }
        if (i + 1 >= argc) {
            setError(error, errorSize, "missing value after %s", arg);
            return CaptureCommand::Error;
        }
        const char* value = argv[++i];
        // "--sound --describe" is a forgotten value, not a file named "--describe".
        if (!strncmp(value, "--", 2) || !strcmp(value, "-h")) {
            setError(error, errorSize, "missing value after %s (%s is an option)", arg, value);
            return CaptureCommand::Error;
        }
        if (!strcmp(arg, "--size")) {
            if (!parseSize(value, options.width, options.height)) {
                setError(error, errorSize, "--size wants WIDTHxHEIGHT, for example 1280x720, not \"%s\"", value);
                return CaptureCommand::Error;
            }
        } else if (!strcmp(arg, "--fps")) {
            if (!parseWhole(value, 1, kCaptureMaxFps, options.fps)) {
                setError(error, errorSize, "--fps wants a whole number of frames per second from 1 to 240, not \"%s\"",
                         value);
                return CaptureCommand::Error;
            }
        } else if (!strcmp(arg, "--from") || !strcmp(arg, "--to")) {
            double& seconds = !strcmp(arg, "--from") ? options.from : options.to;
            if (!parseSeconds(value, seconds)) {
                setError(error, errorSize, "%s wants a number of seconds, not \"%s\"", arg, value);
                return CaptureCommand::Error;
            }
        } else {
            options.soundPath = value;
        }
    }

    char size[48];
    snprintf(size, sizeof size, "%dx%d", options.width, options.height);
    if (options.width < kCaptureMinSize || options.height < kCaptureMinSize || options.width > kCaptureMaxWidth ||
        options.height > kCaptureMaxHeight) {
        setError(error, errorSize, "--size %s is out of range: from 16x16 to 7680x4320", size);
        return CaptureCommand::Error;
    }
    if (options.width % 2 != 0 || options.height % 2 != 0) {
        setError(error, errorSize, "--size %s: width and height must be even (the video's colour planes are halved)", size);
        return CaptureCommand::Error;
    }
    if (options.from < 0.0 || options.from >= kShowEndTime) {
        setError(error, errorSize, "--from %g lies outside the show, which runs from 0 to 46.57 s", options.from);
        return CaptureCommand::Error;
    }
    if (options.to <= 0.0 || options.to > kShowEndTime) {
        setError(error, errorSize, "--to %g lies outside the show, which runs from 0 to 46.57 s", options.to);
        return CaptureCommand::Error;
    }
    char span[96];
    snprintf(span, sizeof span, "--from %g --to %g", options.from, options.to);
    if (options.from >= options.to) {
        setError(error, errorSize, "%s: the span must start before it ends", span);
        return CaptureCommand::Error;
    }
    if (planCapture(options).writtenFrames == 0) {
        setError(error, errorSize, "%s holds no frame at this --fps", span);
        return CaptureCommand::Error;
    }
    return CaptureCommand::Run;
}

CapturePlan planCapture(const CaptureOptions& options) {
    const uint32_t fps = options.fps;
    // The show draws nothing from the end time on, whatever --to says.
    uint32_t end = firstFrameAtOrAfter(options.to, fps);
    while (end > 0 && showHasEnded(captureFrameTime(end - 1, fps))) --end;
    uint32_t first = firstFrameAtOrAfter(options.from, fps);
    if (first > end) first = end;

    CapturePlan plan;
    plan.renderedFrames = end;
    plan.firstWritten = first;
    plan.writtenFrames = end - first;
    plan.firstSoundFrame = soundFrameOf(first, fps);
    plan.soundFrames = soundFrameOf(end, fps) - plan.firstSoundFrame;
    return plan;
}
