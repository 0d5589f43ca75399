// The show's clock: the audio device's byte position turned into music time.
#pragma once

#include <cstdint>

constexpr uint32_t kAudioSampleRate = 44100;
constexpr uint32_t kAudioBytesPerFrame = 8;  // stereo 32-bit float
// The show ends once the music time, widened to double, reaches this.
constexpr double kShowEndTime = 46.57;

inline uint32_t playedFramesFromBytes(uint32_t bytes) { return bytes >> 3; }

// Divided in double precision, then rounded to float.
inline float musicTimeFromFrames(uint32_t frames) {
    return static_cast<float>(static_cast<double>(frames) / 44100.0);
}

inline float musicTimeFromBytes(uint32_t bytes) { return musicTimeFromFrames(playedFramesFromBytes(bytes)); }

inline bool showHasEnded(float time) { return static_cast<double>(time) >= kShowEndTime; }
