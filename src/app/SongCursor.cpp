#include "app/SongCursor.h"

namespace {

constexpr uint32_t kJumps = sizeof(SongCursor::jumps) / sizeof(SongCursor::jumps[0]);

bool looping(const SongCursor& c) { return c.loop && c.loopEnd > c.loopStart; }

void addJump(SongCursor& c, uint64_t at, uint64_t to) {
    if (c.jumpCount == kJumps) {
        for (uint32_t i = 1; i < kJumps; ++i) c.jumps[i - 1] = c.jumps[i];
        --c.jumpCount;
    }
    c.jumps[c.jumpCount++] = SongCursor::Jump{at, to};
}

}  // namespace

void songCursorStart(SongCursor& cursor, uint64_t frame) {
    cursor.next = frame;
    cursor.delivered = 0;
    cursor.jumpCount = 0;
    addJump(cursor, 0, frame);
}

void songCursorSetLoop(SongCursor& cursor, bool on, uint64_t start, uint64_t end) {
    cursor.loop = on;
    cursor.loopStart = start;
    cursor.loopEnd = end;
}

uint64_t songCursorTake(SongCursor& cursor, uint64_t want, uint64_t& from) {
    // Only a cursor inside the loop meets its end; one at or past it plays on.
    const bool inside = looping(cursor) && cursor.next < cursor.loopEnd;
    uint64_t take = want;
    if (inside && cursor.loopEnd - cursor.next < take) take = cursor.loopEnd - cursor.next;
    from = cursor.next;
    cursor.next += take;
    cursor.delivered += take;
    if (inside && cursor.next == cursor.loopEnd) {
        cursor.next = cursor.loopStart;
        addJump(cursor, cursor.delivered, cursor.next);
    }
    return take;
}

uint64_t songCursorFrameAt(const SongCursor& cursor, uint64_t played) {
    uint32_t i = cursor.jumpCount;
    while (i > 1 && cursor.jumps[i - 1].at > played) --i;
    const SongCursor::Jump& jump = cursor.jumps[i - 1];
    uint64_t frame = jump.to + (played - (played > jump.at ? jump.at : played));
    // Past the frames handed over: the loop as it would be made.
    if (played > cursor.delivered && looping(cursor) && jump.to < cursor.loopEnd && frame >= cursor.loopEnd)
        frame = cursor.loopStart + (frame - cursor.loopEnd) % (cursor.loopEnd - cursor.loopStart);
    return frame;
}
