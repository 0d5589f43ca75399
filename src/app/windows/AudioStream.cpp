#include "app/windows/AudioStream.h"

#include "app/MusicClock.h"
#include "xm/ModulePlayer.h"

namespace {

constexpr uint32_t kRefillSleepMs = 5;
// The system timer resolution while the refill thread runs.
constexpr UINT kTimerPeriodMs = 1;
// WAVE_FORMAT_IEEE_FLOAT of mmreg.h, which mingw-w64's headers do not define.
constexpr WORD kWaveFormatIeeeFloat = 3;

WAVEFORMATEX showFormat() {
    WAVEFORMATEX format = {};
    format.wFormatTag = kWaveFormatIeeeFloat;
    format.nChannels = 2;
    format.nSamplesPerSec = kAudioSampleRate;
    format.nAvgBytesPerSec = kAudioSampleRate * kAudioBytesPerFrame;
    format.nBlockAlign = kAudioBytesPerFrame;
    format.wBitsPerSample = 32;
    format.cbSize = 0;
    return format;
}

void generateSongFrames(void* player, float* out, uint64_t frameCount) {
    generateFrames(static_cast<ModulePlayer*>(player), out, frameCount);
}

uint32_t playedFrames(void* stream) {
    return playedFramesFromBytes(audioPositionBytes(*static_cast<AudioStream*>(stream)));
}

void sleepBetweenPasses(void*) { Sleep(kRefillSleepMs); }

void refillThread(AudioStream* stream) {
    SetThreadPriority(GetCurrentThread(), THREAD_PRIORITY_TIME_CRITICAL);
    RefillLoop loop = {};
    loop.ring = stream->buffer;
    loop.generate = generateSongFrames;
    loop.generateContext = stream->player;
    loop.readPlayedFrames = playedFrames;
    loop.positionContext = stream;
    loop.pause = sleepBetweenPasses;
    loop.pauseContext = nullptr;
    loop.stopRequested = &stream->stopRequested;
    runRefillLoop(loop);
}

}  // namespace

void startAudioStream(AudioStream& stream, const uint8_t* module, uint32_t moduleSize) {
    WAVEFORMATEX format = showFormat();
    if (waveOutOpen(&stream.device, WAVE_MAPPER, &format, 0, 0, CALLBACK_NULL) != MMSYSERR_NOERROR) {
        stream.device = nullptr;
        return;
    }

    // The header is prepared with no flags; the loop flags and count are set
    // between preparing and writing it, which is what the platform expects.
    stream.header = {};
    stream.header.lpData = reinterpret_cast<LPSTR>(stream.buffer);
    stream.header.dwBufferLength = sizeof(stream.buffer);
    waveOutPrepareHeader(stream.device, &stream.header, sizeof(WAVEHDR));
    stream.header.dwFlags |= WHDR_BEGINLOOP | WHDR_ENDLOOP;
    stream.header.dwLoops = 0xFFFFFFFFu;

    // The embedded module always loads; a player that could not be made
    // leaves the ring silent and the clock still runs.
    createPlayer(&stream.player, module, moduleSize, kAudioSampleRate);
    if (stream.player) {
        setMaxLoops(stream.player, 1);
        generateFrames(stream.player, stream.buffer, kAudioRingFrames);
        // Without a raised timer resolution Windows rounds Sleep(5) up to a
        // whole scheduler tick, about 15.6 ms, and the refill passes would
        // come three times less often than they are meant to.
        stream.timerPeriodRaised = timeBeginPeriod(kTimerPeriodMs) == TIMERR_NOERROR;
        stream.thread = std::thread(refillThread, &stream);
    }
    stream.writePending = true;
}

void writePendingAudio(AudioStream& stream) {
    if (!stream.writePending) return;
    waveOutWrite(stream.device, &stream.header, sizeof(WAVEHDR));
    stream.writePending = false;
}

uint32_t audioPositionBytes(AudioStream& stream) {
    if (!stream.device) return 0;
    MMTIME time = {};
    time.wType = TIME_BYTES;
    time.u.cb = 0;
    if (waveOutGetPosition(stream.device, &time, sizeof(MMTIME)) != MMSYSERR_NOERROR) return 0;
    return time.u.cb;
}

void stopAudioStream(AudioStream& stream) {
    stream.stopRequested.store(true);
    if (stream.thread.joinable()) stream.thread.join();
    if (stream.timerPeriodRaised) {
        timeEndPeriod(kTimerPeriodMs);
        stream.timerPeriodRaised = false;
    }
    if (stream.device) {
        waveOutPause(stream.device);
        waveOutReset(stream.device);
        waveOutClose(stream.device);
        stream.device = nullptr;
    }
    if (stream.player) {
        freePlayer(stream.player);
        stream.player = nullptr;
    }
}
