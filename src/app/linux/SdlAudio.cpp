#include "app/linux/SdlAudio.h"

#include <fcntl.h>
#include <unistd.h>

#include <cstdio>

#include "app/MusicClock.h"
#include "xm/ModulePlayer.h"

namespace {

// The sound libraries SDL tries in turn (ALSA above all) print their own
// errors on standard error while probing; the show says in one line what
// the outcome means instead. Returns the saved descriptor (-1: unchanged).
int silenceStandardError() {
    std::fflush(stderr);
    const int saved = dup(STDERR_FILENO);
    const int nowhere = open("/dev/null", O_WRONLY | O_CLOEXEC);
    if (saved < 0 || nowhere < 0 || dup2(nowhere, STDERR_FILENO) < 0) {
        if (nowhere >= 0) close(nowhere);
        if (saved >= 0) close(saved);
        return -1;
    }
    close(nowhere);
    return saved;
}

void restoreStandardError(int saved) {
    if (saved < 0) return;
    dup2(saved, STDERR_FILENO);
    close(saved);
}

double secondsNow() { return double(SDL_GetPerformanceCounter()) / double(SDL_GetPerformanceFrequency()); }

void fillFromSong(void* user, Uint8* stream, int bytes) {
    SdlAudio& audio = *static_cast<SdlAudio*>(user);
    const uint64_t frames = uint64_t(bytes) / kAudioBytesPerFrame;
    generateFrames(audio.player, reinterpret_cast<float*>(stream), frames);
    deviceClockDelivered(audio.clock, frames, secondsNow());
}

bool openQuietly(SdlAudio& audio, const uint8_t* module, uint64_t moduleSize) {
    audio = SdlAudio{};
    if (SDL_InitSubSystem(SDL_INIT_AUDIO) != 0) return false;
    if (createPlayer(&audio.player, module, moduleSize, kAudioSampleRate) != 0) return false;
    setMaxLoops(audio.player, 1);

    SDL_AudioSpec wanted = {};
    wanted.freq = int(kAudioSampleRate);
    wanted.format = AUDIO_F32SYS;
    wanted.channels = 2;
    wanted.samples = 1024;
    wanted.callback = fillFromSong;
    wanted.userdata = &audio;
    SDL_AudioSpec obtained = {};
    // No changes allowed: SDL converts when the hardware differs, so the
    // callback always fills 44,100 Hz float stereo.
    audio.device = SDL_OpenAudioDevice(nullptr, 0, &wanted, &obtained, 0);
    if (audio.device == 0) {
        freePlayer(audio.player);
        audio.player = nullptr;
        return false;
    }
    deviceClockInitDoubleBuffered(audio.clock, obtained.samples, kAudioSampleRate);
    return true;
}

}  // namespace

bool openSdlAudio(SdlAudio& audio, const uint8_t* module, uint64_t moduleSize) {
    const int savedStandardError = silenceStandardError();
    const bool opened = openQuietly(audio, module, moduleSize);
    restoreStandardError(savedStandardError);
    return opened;
}

void startSdlAudio(SdlAudio& audio) {
    if (audio.device) SDL_PauseAudioDevice(audio.device, 0);
}

uint64_t sdlAudioPlayedFrames(SdlAudio& audio) {
    if (!audio.device) return 0;
    SDL_LockAudioDevice(audio.device);
    const uint64_t played = deviceClockPlayed(audio.clock, secondsNow());
    SDL_UnlockAudioDevice(audio.device);
    return played;
}

void closeSdlAudio(SdlAudio& audio) {
    if (audio.device) SDL_CloseAudioDevice(audio.device);
    if (audio.player) freePlayer(audio.player);
    audio = SdlAudio{};
}
