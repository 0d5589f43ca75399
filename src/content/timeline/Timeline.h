// The show's choreography: its 27 shader parameters, its tempo and the keys
// of the tracks that drive them. Track i drives parameter i.
#pragma once

#include <cstdint>

#include "anim/TrackSet.h"

constexpr uint32_t kShowParameterCount = 27;
// Parameter (and track) names in cbuffer order, exactly as the shaders declare them.
extern const char* const kShowParameterNames[kShowParameterCount];

// Tempo of the timeline: 170 beats per minute at 8 ticks per beat, one tick
// per row of the song.
constexpr float kShowBeatsPerMinute = 170.0f;
constexpr uint32_t kShowTicksPerBeat = 8;

// Keys of tracks 8 to 26 (the camera tracks 0 to 7 have none).
constexpr uint32_t kShowKeyCount = 416;
constexpr uint32_t kShowFirstKeyedTrack = 8;

// Appends the keys of tracks 8 to 26 in increasing track order, each track's
// keys in increasing tick order. The set must already hold at least 27
// tracks; otherwise nothing is appended and the result is false. False too
// when out of memory.
bool appendTimelineKeys(TrackSet& set);

// Sets the show's tempo, makes exactly 27 tracks and appends the keys: the
// track part of the scene assembly. Keys the tracks already had are kept, so
// use it on a freshly initialised set. False when out of memory.
bool buildShowTracks(TrackSet& set);
