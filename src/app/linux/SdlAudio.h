// The song through an SDL audio device: float stereo at 44,100 Hz, rendered
// by the replayer inside the device's callback. The device's played position
// is the show's clock.
#pragma once

#include <SDL2/SDL.h>

#include "app/DeviceClock.h"

struct ModulePlayer;

struct SdlAudio {
    SDL_AudioDeviceID device;  // 0: no device, the show runs on the wall clock
    ModulePlayer* player;      // the callback's from the moment the device runs
    DeviceClock clock;         // written by the callback under the device's lock
};

// Opens the default device and creates the player (one pass through the
// song); the device stays paused until startSdlAudio. False when there is no
// usable device.
bool openSdlAudio(SdlAudio& audio, const uint8_t* module, uint64_t moduleSize);
void startSdlAudio(SdlAudio& audio);
// Frames of the song heard so far.
uint64_t sdlAudioPlayedFrames(SdlAudio& audio);
void closeSdlAudio(SdlAudio& audio);
