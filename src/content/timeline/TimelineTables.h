// The show's keys as the build embeds them: tables that the host tool
// thaw-timeline writes from thawline.rocket. Four bytes a key, the values
// pooled, to keep the executable small.
#pragma once

#include <cstdint>

#include "content/timeline/ShowParameters.h"

struct TimelineTableKey {
    uint16_t tick;
    uint8_t value;  // index into kTimelineValues
    uint8_t mode;   // InterpolationMode
};

// Each track's keys in tick order, tracks in index order; track i has
// kTimelineKeyCounts[i] of them.
extern const TimelineTableKey kTimelineKeys[];
extern const uint16_t kTimelineKeyCounts[kShowParameterCount];
extern const float kTimelineValues[];
// The file's row count: the rows a sync editor shows, and a saved file's.
extern const uint32_t kTimelineRows;
