// Test instrumentation of the mixer: which voice frames the grouped loops
// take and which are mixed alone. The shipped replayer compiles every hook to
// nothing; the test build of the library (THAW_XM_MIX_PROBE) counts them, so a
// test can tell that the fast path really carries a song's voices.
#pragma once

#include <cstdint>

struct MixProbeCounts {
    uint64_t groupedVoiceFrames;  // voice x frame mixed by the grouped loops
    uint64_t steadyVoiceFrames;   // of those, by the steady loops (tables, fixed gains)
    uint64_t aloneVoiceFrames;    // voice x frame mixed one voice at a time
};

#if defined(THAW_XM_MIX_PROBE)

inline MixProbeCounts mixProbeCounts{};

inline void probeGroupedFrames(uint32_t voices, uint64_t frames, bool steady) {
    mixProbeCounts.groupedVoiceFrames += uint64_t(voices) * frames;
    if (steady) mixProbeCounts.steadyVoiceFrames += uint64_t(voices) * frames;
}
inline void probeAloneFrames(uint64_t frames) { mixProbeCounts.aloneVoiceFrames += frames; }

#else

inline void probeGroupedFrames(uint32_t, uint64_t, bool) {}
inline void probeAloneFrames(uint64_t) {}

#endif
