// Frame-exact capture of the show: the options a capture takes and which
// frames of the show, and which sound frames of the song, it renders and
// writes. Frame k is rendered at music time k / fps; every frame from 0 is
// rendered (the melt trail feeds on the previous frame), and those whose time
// lies in [from, to) are written.
#pragma once

#include <cstddef>
#include <cstdint>

#include "app/MusicClock.h"

struct CaptureOptions {
    int32_t width = 1920;
    int32_t height = 1080;
    uint32_t fps = 60;
    double from = 0.0;
    double to = kShowEndTime;
    const char* soundPath = nullptr;  // raw 32-bit float stereo frames of the span
    bool describe = false;            // print the plan and stop
    bool liveProgress = false;        // one progress line redrawn in place
};

enum class CaptureCommand { Run, Help, Error };

constexpr int32_t kCaptureMinSize = 16;
constexpr int32_t kCaptureMaxWidth = 7680;
constexpr int32_t kCaptureMaxHeight = 4320;
constexpr uint32_t kCaptureMaxFps = 240;

extern const char* const kCaptureUsage;

// Parses argv[1..]; on Error, `error` holds a one-line reason.
CaptureCommand parseCaptureOptions(int argc, const char* const* argv, CaptureOptions& options, char* error,
                                   size_t errorSize);

struct CapturePlan {
    uint32_t renderedFrames;  // frames 0 .. renderedFrames - 1 are drawn
    uint32_t firstWritten;    // the span's first frame
    uint32_t writtenFrames;
    uint64_t firstSoundFrame;  // 44,100 Hz frames aligned with the span's pictures
    uint64_t soundFrames;
};

// Valid options only (those parseCaptureOptions accepted).
CapturePlan planCapture(const CaptureOptions& options);

// Music time of frame k and the step every frame sees, rounded to float as the
// show's clock is.
inline float captureFrameTime(uint32_t frame, uint32_t fps) {
    return static_cast<float>(static_cast<double>(frame) / static_cast<double>(fps));
}
inline float captureFrameStep(uint32_t fps) { return static_cast<float>(1.0 / static_cast<double>(fps)); }
