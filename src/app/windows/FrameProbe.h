// Test instrumentation of the frame loop. The shipped executable compiles
// every hook to nothing; the probe build (THAW_FRAME_PROBE) writes one line
// per milestone and per frame to the file named by THAW_FRAME_LOG, so the
// tests can tell which music time the screen shows and how long start-up took.
#pragma once

#include <cstdint>

#if defined(THAW_FRAME_PROBE)

void probeOpen();
void probeMark(const char* milestone);
void probeFrame(uint32_t frameIndex, float time, uint32_t positionBytes);
// The clock reading that ended the show (not drawn).
void probeEndOfMusic(float time, uint32_t positionBytes);
void probeClose(const char* reason);

#else

inline void probeOpen() {}
inline void probeMark(const char*) {}
inline void probeFrame(uint32_t, float, uint32_t) {}
inline void probeEndOfMusic(float, uint32_t) {}
inline void probeClose(const char*) {}

#endif
