#include "content/timeline/Timeline.h"

#include "content/timeline/TimelineTables.h"

bool appendTimelineKeys(TrackSet& set) {
    if (set.tracks.count < kShowParameterCount) return false;
    const TimelineTableKey* key = kTimelineKeys;
    for (uint32_t track = 0; track < kShowParameterCount; ++track) {
        for (uint32_t k = 0; k < kTimelineKeyCounts[track]; ++k, ++key) {
            if (!trackAddKey(set, track, key->tick, kTimelineValues[key->value], key->mode)) return false;
        }
    }
    return true;
}

bool buildShowTracks(TrackSet& set) {
    set.beatsPerMinute = kShowBeatsPerMinute;
    set.ticksPerBeat = kShowTicksPerBeat;
    if (!trackSetResize(set, kShowParameterCount)) return false;
    return appendTimelineKeys(set);
}
