// Edit mode's transport: where a row is in the song's frames and back,
// keyboard steps, and the loop. Rows are the tracks' ticks; the song's
// frames are 44,100 per second; the tempo comes from the tracks.
#pragma once

#include <cstdint>

struct Transport {
    double framesPerRow;  // 44,100 / the tracks' ticks per second
    uint64_t endFrame;    // no position reaches it: the show's end
    bool loopStartSet;
    bool loopEndSet;
    uint32_t loopStart;  // rows
    uint32_t loopEnd;
};

void transportInit(Transport& transport, float beatsPerMinute, uint32_t ticksPerBeat, uint64_t endFrame);

// The frame where `row` starts, to the nearest frame, held below endFrame.
uint64_t transportFrameAtRow(const Transport& transport, uint32_t row);

// The row playing at `frame`: the last row that starts at or before it.
uint32_t transportRowAtFrame(const Transport& transport, uint64_t frame);

// The last row that starts before the end.
uint32_t transportLastRow(const Transport& transport);

// `row` moved by `delta` rows, held between 0 and the last row.
uint32_t transportStepRow(const Transport& transport, uint32_t row, int32_t delta);

// The loop plays while both ends are set and the end lies after the start.
bool transportLoopActive(const Transport& transport);

// True when a playing position has reached the loop's end: `to` is then
// the frame of the loop's start.
bool transportLoopWrap(const Transport& transport, uint64_t frame, uint64_t& to);
