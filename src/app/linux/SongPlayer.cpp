#include "app/linux/SongPlayer.h"

#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstring>

#include "app/MusicClock.h"

namespace {

// Small chunks: a seek is heard after the two chunks queued ahead of it.
constexpr uint16_t kChunkFrames = 512;
// More than the song can last.
constexpr uint64_t kMaxSongFrames = uint64_t(kAudioSampleRate) * 600;

double secondsNow() { return double(SDL_GetPerformanceCounter()) / double(SDL_GetPerformanceFrequency()); }

void fillFromRender(void* user, Uint8* stream, int bytes) {
    SongPlayer& player = *static_cast<SongPlayer*>(user);
    const uint64_t frames = uint64_t(bytes) / kAudioBytesPerFrame;
    float* out = reinterpret_cast<float*>(stream);
    if (player.paused) {
        std::memset(stream, 0, size_t(bytes));
        return;
    }
    for (uint64_t done = 0; done < frames;) {
        uint64_t from = 0;
        const uint64_t run = songCursorTake(player.cursor, frames - done, from);
        const uint64_t fromSong = from < player.song.frames ? std::min(run, player.song.frames - from) : 0;
        if (fromSong)
            std::memcpy(out + 2 * done, player.song.samples + 2 * from, size_t(fromSong) * kAudioBytesPerFrame);
        std::memset(out + 2 * (done + fromSong), 0, size_t(run - fromSong) * kAudioBytesPerFrame);
        done += run;
    }
    deviceClockDelivered(player.clock, frames, secondsNow());
}

// The sound libraries print their own probing errors; the program says in
// one line what the outcome means instead.
SDL_AudioDeviceID openDeviceQuietly(SongPlayer& player, SDL_AudioSpec& obtained) {
    std::fflush(stderr);
    const int saved = dup(STDERR_FILENO);
    const int nowhere = open("/dev/null", O_WRONLY | O_CLOEXEC);
    if (saved >= 0 && nowhere >= 0) dup2(nowhere, STDERR_FILENO);
    if (nowhere >= 0) close(nowhere);
    SDL_AudioDeviceID device = 0;
    if (SDL_InitSubSystem(SDL_INIT_AUDIO) == 0) {
        SDL_AudioSpec wanted = {};
        wanted.freq = int(kAudioSampleRate);
        wanted.format = AUDIO_F32SYS;
        wanted.channels = 2;
        wanted.samples = kChunkFrames;
        wanted.callback = fillFromRender;
        wanted.userdata = &player;
        device = SDL_OpenAudioDevice(nullptr, 0, &wanted, &obtained, 0);
    }
    if (saved >= 0) {
        dup2(saved, STDERR_FILENO);
        close(saved);
    }
    return device;
}

void restartClock(SongPlayer& player, uint64_t frame) {
    songCursorStart(player.cursor, frame);
    deviceClockInitDoubleBuffered(player.clock, player.chunkFrames, kAudioSampleRate);
    player.wallStart = secondsNow();
}

}  // namespace

bool openSongPlayer(SongPlayer& player, const uint8_t* module, uint64_t moduleSize) {
    player = SongPlayer{};
    if (renderWholeSong(player.song, module, moduleSize, kMaxSongFrames) != 0) return false;
    player.paused = true;
    player.chunkFrames = kChunkFrames;
    restartClock(player, 0);
    SDL_AudioSpec obtained = {};
    player.device = openDeviceQuietly(player, obtained);
    if (player.device) {
        player.chunkFrames = obtained.samples;
        restartClock(player, 0);
        SDL_PauseAudioDevice(player.device, 0);  // silence while paused
    }
    return true;
}

uint64_t songPlayerPosition(SongPlayer& player) {
    if (!player.device) {
        if (player.paused) return songCursorFrameAt(player.cursor, 0);
        return songCursorFrameAt(player.cursor, uint64_t((secondsNow() - player.wallStart) * kAudioSampleRate));
    }
    SDL_LockAudioDevice(player.device);
    const uint64_t played = player.paused ? 0 : deviceClockPlayed(player.clock, secondsNow());
    const uint64_t position = songCursorFrameAt(player.cursor, played);
    SDL_UnlockAudioDevice(player.device);
    return position;
}

void songPlayerSeek(SongPlayer& player, uint64_t frame) {
    if (player.device) SDL_LockAudioDevice(player.device);
    restartClock(player, frame);
    if (player.device) SDL_UnlockAudioDevice(player.device);
}

void songPlayerSetPaused(SongPlayer& player, bool paused) {
    if (paused == player.paused) return;
    const uint64_t here = songPlayerPosition(player);
    if (player.device) SDL_LockAudioDevice(player.device);
    restartClock(player, here);
    player.paused = paused;
    if (player.device) SDL_UnlockAudioDevice(player.device);
}

void songPlayerSetLoop(SongPlayer& player, bool on, uint64_t start, uint64_t end) {
    if (player.device) SDL_LockAudioDevice(player.device);
    songCursorSetLoop(player.cursor, on, start, end);
    if (player.device) SDL_UnlockAudioDevice(player.device);
}

void closeSongPlayer(SongPlayer& player) {
    if (player.device) SDL_CloseAudioDevice(player.device);
    freeSongRender(player.song);
    player = SongPlayer{};
}
