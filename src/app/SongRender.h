// The whole song rendered ahead into memory, for players that hand a finished
// buffer to the sound device (WebAudio): one pass at 44,100 Hz stereo float,
// ending where the song falls silent, as xmrender ends its file.
#pragma once

#include <cstdint>

struct SongRender {
    float* samples;   // 2 * frames interleaved floats (left, right); malloc'd
    uint64_t frames;
};

// Renders `module` once through, at most `maxFrames` frames. Returns
// createPlayer's result (0 on success); on failure `song` is empty.
int32_t renderWholeSong(SongRender& song, const uint8_t* module, uint64_t moduleSize, uint64_t maxFrames);

void freeSongRender(SongRender& song);
