// Extended Module (XM) replayer: turns a module held in memory into
// interleaved stereo float frames (left, right), full scale +-1.0, unclamped.
//
// The whole player lives in one allocation made by createPlayer. No call
// throws; generateFrames never allocates, locks or blocks, so it may run on an
// audio thread. One thread at a time may use a player.
#pragma once

#include <cstdint>

struct ModulePlayer;

// Results of createPlayer.
enum : int32_t {
    kPlayerOk = 0,
    kPlayerRejected = 1,     // not an Extended Module 1.04
    kPlayerOutOfMemory = 2,  // the allocation failed
};

// Loads `data` (which may be discarded afterwards) for output at `sampleRate`
// frames per second. On failure `*player` is left untouched.
int32_t createPlayer(ModulePlayer** player, const uint8_t* data, uint64_t size, uint32_t sampleRate);

// Once the song reaches a row it has already played `count` times, the output
// stays silent. 0 means never.
void setMaxLoops(ModulePlayer* player, uint8_t count);

// Writes frameCount stereo frames (2 * frameCount floats) to `out`.
void generateFrames(ModulePlayer* player, float* out, uint64_t frameCount);

void freePlayer(ModulePlayer* player);
