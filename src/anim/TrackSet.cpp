#include "anim/TrackSet.h"

#include <cstring>

namespace {

// Truncates rate * t toward zero and keeps the low 32 bits, so that the tick
// compares with key ticks as an unsigned number. Values no 64-bit integer can
// hold (NaN, infinities, beyond +-2^63) give tick 0, as x86-64's conversion
// does, instead of undefined behaviour.
uint32_t tickAtTime(float rate, float t) {
    const float ticks = rate * t;
    if (!(ticks > -9.2e18f && ticks < 9.2e18f)) return 0;
    return static_cast<uint32_t>(static_cast<uint64_t>(static_cast<int64_t>(ticks)));
}

void initTrack(Track& track) {
    std::memset(track.name, 0, sizeof(track.name));
    // Out of memory leaves an array without storage, which grows on the
    // first append like any other.
    growInit(track.keys);
}

}  // namespace

bool trackSetInit(TrackSet& set) {
    set.beatsPerMinute = kDefaultBeatsPerMinute;
    set.ticksPerBeat = kDefaultTicksPerBeat;
    return growInit(set.tracks);
}

bool trackSetResize(TrackSet& set, uint32_t n) {
    const uint32_t old = set.tracks.count;
    if (n > old) {
        if (!growResize(set.tracks, n)) return false;
        for (uint32_t i = old; i < n; ++i) initTrack(set.tracks[i]);
        return true;
    }
    for (uint32_t i = n; i < old; ++i) growFree(set.tracks[i].keys);
    set.tracks.count = n;
    return true;
}

Track& trackAt(TrackSet& set, uint32_t i) { return set.tracks[i]; }

const Track& trackAt(const TrackSet& set, uint32_t i) { return set.tracks[i]; }

bool trackAddKey(TrackSet& set, uint32_t track, uint32_t tick, float value, uint32_t mode) {
    if (track >= set.tracks.count) return false;
    const Keyframe key = {tick, value, mode};
    return growPush(set.tracks[track].keys, key);
}

namespace {

// Index of the first key at or after `tick` (the count when there is none).
uint32_t firstKeyFrom(const GrowArray<Keyframe>& keys, uint32_t tick) {
    uint32_t k = 0;
    while (k < keys.count && keys[k].tick < tick) ++k;
    return k;
}

}  // namespace

bool trackSetKey(TrackSet& set, uint32_t track, uint32_t tick, float value, uint32_t mode) {
    if (track >= set.tracks.count) return false;
    GrowArray<Keyframe>& keys = set.tracks[track].keys;
    const Keyframe key = {tick, value, mode};
    const uint32_t at = firstKeyFrom(keys, tick);
    if (at < keys.count && keys[at].tick == tick) {
        keys[at] = key;
        return true;
    }
    // Grow first, so that a failed allocation leaves the keys as they were.
    if (keys.count == keys.capacity && !growReserveExact(keys, growNextCapacity(keys.capacity))) return false;
    std::memmove(keys.items + at + 1, keys.items + at, sizeof(Keyframe) * (keys.count - at));
    keys.items[at] = key;
    ++keys.count;
    return true;
}

bool trackDeleteKey(TrackSet& set, uint32_t track, uint32_t tick) {
    if (track >= set.tracks.count) return false;
    GrowArray<Keyframe>& keys = set.tracks[track].keys;
    const uint32_t at = firstKeyFrom(keys, tick);
    if (at == keys.count || keys[at].tick != tick) return false;
    std::memmove(keys.items + at, keys.items + at + 1, sizeof(Keyframe) * (keys.count - at - 1));
    --keys.count;
    return true;
}

float trackTickRate(const TrackSet& set) {
    return static_cast<float>(set.ticksPerBeat) * set.beatsPerMinute / 60.0f;
}

float evaluateTrack(const TrackSet& set, uint32_t i, float t) {
    if (i >= set.tracks.count) return 0.0f;
    const GrowArray<Keyframe>& keys = set.tracks[i].keys;
    if (keys.count == 0) return 0.0f;

    const float rate = trackTickRate(set);
    const uint32_t nowTick = tickAtTime(rate, t);

    const Keyframe* prev = nullptr;
    const Keyframe* next = nullptr;
    for (uint32_t k = 0; k < keys.count; ++k) {
        if (keys[k].tick <= nowTick) {
            prev = &keys[k];
        } else {
            next = &keys[k];
            break;
        }
    }
    if (!prev) return 0.0f;
    if (!next) next = prev;

    // Both key times carry the same 1 ms shift, so c starts slightly below 0
    // at a key's own time.
    const float t0 = static_cast<float>(prev->tick) / rate + 0.001f;
    const float t1 = static_cast<float>(next->tick) / rate + 0.001f;
    const float c = t1 > t0 ? (t - t0) / (t1 - t0) : 0.0f;

    float w;
    switch (prev->mode) {
        case static_cast<uint32_t>(InterpolationMode::Linear): w = c; break;
        case static_cast<uint32_t>(InterpolationMode::Smooth): w = (3.0f - (c + c)) * (c * c); break;
        case static_cast<uint32_t>(InterpolationMode::Quadratic): w = c * c; break;
        case static_cast<uint32_t>(InterpolationMode::Quartic): w = (c * c) * (c * c); break;
        default: return prev->value;
    }
    return (1.0f - w) * prev->value + w * next->value;
}

void trackSetDestroy(TrackSet& set) {
    for (uint32_t i = 0; i < set.tracks.count; ++i) growFree(set.tracks[i].keys);
    growFree(set.tracks);
}
