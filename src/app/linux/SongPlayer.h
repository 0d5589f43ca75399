// Edit mode's sound: the whole song rendered once into memory and played
// from there through an SDL audio device, so that a seek sets the played
// sample exactly and the sound at any row is the whole song's sound there.
// The clock is the device's played position, as in the show; paused, the
// device plays silence and the clock holds. Without a device it runs on the
// wall clock.
#pragma once

#include <SDL2/SDL.h>

#include <cstdint>

#include "app/DeviceClock.h"
#include "app/SongCursor.h"
#include "app/SongRender.h"

struct SongPlayer {
    SDL_AudioDeviceID device;  // 0: the wall clock
    SongRender song;
    // Shared with the callback, under the device's lock.
    SongCursor cursor;  // what the device is handed; its played count maps to song frames
    DeviceClock clock;
    uint32_t chunkFrames;
    bool paused;
    // Without a device.
    double wallStart;
};

// Renders the song (some seconds of work, once) and opens the default
// device, paused. False only when the song cannot be rendered; a missing
// device leaves device 0 and the player on the wall clock.
bool openSongPlayer(SongPlayer& player, const uint8_t* module, uint64_t moduleSize);
// Frames of the song heard so far: the show's clock.
uint64_t songPlayerPosition(SongPlayer& player);
// Plays on from `frame`: the device's queue is replaced from there on.
void songPlayerSeek(SongPlayer& player, uint64_t frame);
void songPlayerSetPaused(SongPlayer& player, bool paused);
// Loops [start, end) from the frames not yet handed to the device on, to the
// frame; `on` false plays straight on.
void songPlayerSetLoop(SongPlayer& player, bool on, uint64_t start, uint64_t end);
void closeSongPlayer(SongPlayer& player);
