// What every capture program does around its frame loop, whatever draws the
// frames: the soundtrack file, and the progress on standard error.
#pragma once

#include <cstdint>

#include "app/capture/CapturePlan.h"

// Renders the span's soundtrack from `module` into options.soundPath. False,
// with one line on standard error naming `program`, when the song does not
// load or the file cannot be written.
bool writeCaptureSoundtrack(const char* program, const CaptureOptions& options, const CapturePlan& plan,
                            const uint8_t* module, uint64_t moduleSize);

struct CaptureProgress {
    const char* program;
    bool live;  // one line redrawn in place, or a line every 10%
    uint32_t total;
    double startSeconds;
    double lastReport;
    uint32_t reportedTenths;
};

CaptureProgress startCaptureProgress(const char* program, bool live, uint32_t total);
// After `done` of the total frames were drawn: frames, rate and time left.
void reportCaptureProgress(CaptureProgress& progress, uint32_t done);
