#include "app/Transport.h"

#include <cmath>

#include "app/MusicClock.h"

void transportInit(Transport& transport, float beatsPerMinute, uint32_t ticksPerBeat, uint64_t endFrame) {
    transport = Transport{};
    const double rowsPerSecond = double(beatsPerMinute) * double(ticksPerBeat) / 60.0;
    transport.framesPerRow = double(kAudioSampleRate) / rowsPerSecond;
    transport.endFrame = endFrame;
}

uint64_t transportFrameAtRow(const Transport& transport, uint32_t row) {
    const uint64_t frame = uint64_t(std::llround(double(row) * transport.framesPerRow));
    if (transport.endFrame == 0) return 0;
    return frame < transport.endFrame ? frame : transport.endFrame - 1;
}

uint32_t transportRowAtFrame(const Transport& transport, uint64_t frame) {
    // The division can land just below a row whose start was rounded down.
    uint32_t row = uint32_t(double(frame) / transport.framesPerRow);
    if (row > 0 && uint64_t(std::llround(double(row) * transport.framesPerRow)) > frame) row -= 1;
    if (uint64_t(std::llround(double(row + 1) * transport.framesPerRow)) <= frame) row += 1;
    return row;
}

uint32_t transportLastRow(const Transport& transport) {
    return transport.endFrame ? transportRowAtFrame(transport, transport.endFrame - 1) : 0;
}

uint32_t transportStepRow(const Transport& transport, uint32_t row, int32_t delta) {
    const int64_t moved = int64_t(row) + delta;
    const int64_t last = transportLastRow(transport);
    if (moved < 0) return 0;
    return uint32_t(moved > last ? last : moved);
}

bool transportLoopActive(const Transport& transport) {
    return transport.loopStartSet && transport.loopEndSet && transport.loopEnd > transport.loopStart;
}

bool transportLoopWrap(const Transport& transport, uint64_t frame, uint64_t& to) {
    if (!transportLoopActive(transport)) return false;
    if (frame < transportFrameAtRow(transport, transport.loopEnd)) return false;
    to = transportFrameAtRow(transport, transport.loopStart);
    return true;
}
