// The song's waveform-audio output: one looping buffer of 4,096 stereo float
// frames that the device plays over and over, and a time-critical thread that
// regenerates whatever the device has just played. The device's byte
// position is both the refill cursor and the show's clock.
#pragma once

#include <windows.h>

#include <mmsystem.h>

#include <atomic>
#include <cstdint>
#include <thread>

#include "app/AudioRefill.h"

struct ModulePlayer;

struct AudioStream {
    WAVEHDR header;
    HWAVEOUT device;                  // null while closed
    float buffer[kAudioRingFloats];   // the ring the device plays
    ModulePlayer* player;             // owned by the refill thread once it runs
    std::thread thread;
    bool writePending;                // header prepared, not yet written
    std::atomic<bool> stopRequested;
    bool timerPeriodRaised;           // timeBeginPeriod(1) to be undone at stop
};

// Opens the device, prepares the looping header, creates the player from the
// module (one pass through the song), fills the whole buffer, raises the
// system timer resolution to 1 ms, starts the refill thread and sets
// writePending. When the device cannot be opened
// nothing else happens and the show runs silent with its clock at 0.
// `stream` must be freshly constructed (value-initialised).
void startAudioStream(AudioStream& stream, const uint8_t* module, uint32_t moduleSize);

// Starts playback on the frame loop's first frame.
void writePendingAudio(AudioStream& stream);

// The device position in bytes; 0 while closed or when the read fails.
uint32_t audioPositionBytes(AudioStream& stream);

// Stops and joins the refill thread, restores the timer resolution, then
// pauses, resets and closes the device and frees the player. The header is
// never unprepared.
void stopAudioStream(AudioStream& stream);
