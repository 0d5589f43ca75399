// What both capture programs do, whatever device draws the frames: the
// command line, the plan, the soundtrack, then frames 0 .. n - 1 drawn at
// k / fps, read back, and those of the span written to standard output,
// with progress and one report. A program supplies only its device's
// set-up and read-back (CaptureDevice).
#pragma once

#include <cstddef>
#include <cstdint>

#include "app/capture/CapturePlan.h"

struct ShowSession;

struct CaptureStart {
    bool run;     // false: the program exits with `status` (help, describe, a bad option, no soundtrack)
    int status;
    CaptureOptions options;
    CapturePlan plan;
};

// Parses the options, prints the usage (with `usageName` for the program
// named in it) or the plan, refuses to send frames to a terminal, and
// writes the soundtrack. `name` starts every line on standard error.
CaptureStart startCapture(const char* name, const char* usageName, int argc, char** argv, bool outputIsTerminal);

struct CaptureDevice {
    void* user;
    // Copies the frame just drawn into `pixels` (width * height * 4 bytes,
    // top row first). False, with a one-line reason, when it cannot.
    bool (*readFrame)(void* user, uint8_t* pixels, char* reason, size_t reasonSize);
    // Writes all of `size` bytes to standard output; false when it cannot.
    bool (*writeOutput)(void* user, const uint8_t* data, size_t size);
    // True once the user asked to stop (Ctrl-C, TERM, HUP).
    bool (*interrupted)(void* user);
};

// Draws, reads back and writes the planned frames of an opened session.
// Returns the exit status: 0 only when every planned frame was written;
// 130 when interrupted; 1 on any failure, reported in one line.
int runCapture(const char* name, ShowSession& session, const CaptureStart& start, const CaptureDevice& device);
