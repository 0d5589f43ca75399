// Animation tracks: keys on a musical tick timeline, evaluated at music time.
//
// A TrackSet owns its tracks, each track owns its key storage. Tracks are
// addressed by index; track i drives shader parameter i. Evaluation scans the
// keys from the first one on every call and allocates nothing.
#pragma once

#include <cstdint>

#include "base/GrowArray.h"

// How the value moves from a key to the next one. Any other number holds the
// key's value like Step.
enum class InterpolationMode : uint32_t {
    Step = 0,
    Linear = 1,
    Smooth = 2,
    Quadratic = 3,
    Quartic = 4,
};

struct Keyframe {
    uint32_t tick;  // position on the timeline
    float value;    // value at that tick
    uint32_t mode;  // InterpolationMode towards the next key
};
static_assert(sizeof(Keyframe) == 12, "Keyframe is 12 bytes");

constexpr uint32_t kTrackNameSize = 256;

struct Track {
    char name[kTrackNameSize];  // label only; tracks are addressed by index
    GrowArray<Keyframe> keys;   // ascending tick order, as appended
};

struct TrackSet {
    GrowArray<Track> tracks;
    float beatsPerMinute;   // 120 by default
    uint32_t ticksPerBeat;  // 8 by default
};

constexpr float kDefaultBeatsPerMinute = 120.0f;
constexpr uint32_t kDefaultTicksPerBeat = 8;

// Empty set with room for 8 tracks and the default tempo. False when out of
// memory (the set is still valid and empty).
bool trackSetInit(TrackSet& set);

// Makes the count exactly n: tracks beyond n release their keys, new tracks
// have an empty name and an empty key array with room for 8 keys. False when
// out of memory (the set is unchanged).
bool trackSetResize(TrackSet& set, uint32_t n);

// The track at index i; the caller keeps i below the count.
Track& trackAt(TrackSet& set, uint32_t i);
const Track& trackAt(const TrackSet& set, uint32_t i);

// Appends a key at the end of the track's keys; nothing sorts them, so keys
// go in ascending tick order. False for a track index outside the set or when
// out of memory (nothing is appended).
bool trackAddKey(TrackSet& set, uint32_t track, uint32_t tick, float value, uint32_t mode);
inline bool trackAddKey(TrackSet& set, uint32_t track, uint32_t tick, float value, InterpolationMode mode) {
    return trackAddKey(set, track, tick, value, static_cast<uint32_t>(mode));
}

// Live editing by row (tick). Sets the key at `tick`: replaces the key
// already there or inserts one so that ticks stay ascending. False for a
// track index outside the set or when out of memory (the track is unchanged).
bool trackSetKey(TrackSet& set, uint32_t track, uint32_t tick, float value, uint32_t mode);

// Removes the key at `tick`. False when the track or the key does not exist.
bool trackDeleteKey(TrackSet& set, uint32_t track, uint32_t tick);

// Ticks per second of the set's tempo, in float arithmetic.
float trackTickRate(const TrackSet& set);

// Value of track i at music time t (seconds). 0 for a track without keys, for
// a time before the first key and for an index outside the set.
float evaluateTrack(const TrackSet& set, uint32_t i, float t);

// Releases every track's keys, then the tracks. The set is left empty.
void trackSetDestroy(TrackSet& set);
