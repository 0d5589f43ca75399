// The show's choreography: its 27 shader parameters, its tempo and the keys
// of the tracks that drive them. Track i drives parameter i. The keys are
// authored in thawline.rocket; the build embeds them as tables.
#pragma once

#include <cstdint>

#include "anim/TrackSet.h"
#include "content/timeline/ShowParameters.h"

// Tempo of the timeline: 170 beats per minute at 8 ticks per beat, one tick
// per row of the song.
constexpr float kShowBeatsPerMinute = 170.0f;
constexpr uint32_t kShowTicksPerBeat = 8;

// Appends every track's embedded keys in increasing track order, each
// track's keys in increasing tick order (the camera tracks 0 to 7 have
// none). The set must already hold at least 27 tracks; otherwise nothing is
// appended and the result is false. False too when out of memory.
bool appendTimelineKeys(TrackSet& set);

// Sets the show's tempo, makes exactly 27 tracks and appends the keys: the
// track part of the scene assembly. Keys the tracks already had are kept, so
// use it on a freshly initialised set. False when out of memory.
bool buildShowTracks(TrackSet& set);
