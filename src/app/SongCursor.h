// Which frames of a song in memory go to a sound device, and which one it is
// playing, when the device may loop a span: the loop is made where the
// frames are handed over, to the frame, and the position read back follows
// the jump when the speaker reaches it, not when the frames were handed
// over. Changing the loop changes only frames not yet handed over.
#pragma once

#include <cstdint>

struct SongCursor {
    uint64_t next;       // the next song frame to hand over
    uint64_t delivered;  // frames handed over since the start
    bool loop;           // frames at loopEnd are followed by those at loopStart
    uint64_t loopStart;
    uint64_t loopEnd;
    // Where the handed-over frames jumped: after `at` frames handed over, the
    // song frame `to` followed. Oldest first; the first is the start. Older
    // jumps fall out once a newer one is in, as the played count only grows.
    struct Jump {
        uint64_t at;
        uint64_t to;
    } jumps[8];
    uint32_t jumpCount;
};

// Hands over frames from `frame` on, none yet handed over; the loop stays.
void songCursorStart(SongCursor& cursor, uint64_t frame);

// A loop of [start, end) from the next frames handed over on; one that is
// empty or turned off plays straight on.
void songCursorSetLoop(SongCursor& cursor, bool on, uint64_t start, uint64_t end);

// The next run of at most `want` frames to hand over, starting at the song
// frame it returns in `from`: shorter where the loop jumps back. The frames
// count as handed over.
uint64_t songCursorTake(SongCursor& cursor, uint64_t want, uint64_t& from);

// The song frame playing once `played` of the handed-over frames were heard
// (played may run ahead of what was handed over, as a wall clock does: the
// loop is then followed by arithmetic).
uint64_t songCursorFrameAt(const SongCursor& cursor, uint64_t played);
