// Edit mode's core, the same in the Linux program and on the page: the song
// and the picture kept in step through seeks, pause and play, the loop and
// key changes. The program owns the song and says where it has played to;
// the core asks it to seek and pause, and hands each event's line back.
#pragma once

#include <cstddef>
#include <cstdint>

#include "app/ShowSession.h"
#include "app/Transport.h"
#include "edit/SyncSession.h"

struct EditSong {
    void* user;
    void (*seek)(void* user, uint64_t frame);  // play on from this frame of the song
    void (*setPaused)(void* user, bool paused);
    // The loop's span of song frames, made by the song to the frame; the
    // core jumps back itself only when the song reports a position past it.
    void (*setLoop)(void* user, bool on, uint64_t start, uint64_t end);
};

// One line for the user; `fault` lines suit stderr.
using EditSay = void (*)(void* user, const char* line, bool fault);

struct EditCore {
    ShowSession* session;
    EditSong song;
    EditSay say;
    void* sayUser;
    Transport transport;
    uint32_t prerollFrames;  // drawn unseen after a seek to rebuild the melt trail
    bool paused;
    bool redraw;  // the current position is drawn afresh, its trail built again
    bool quick;   // paused, the keys changed: drawn again at once, the trail held
    double settleAt;  // then, once the keys rest, with the trail built again (0: nothing waits)
    uint64_t keysStamp;
    uint32_t frameIndex;
    float previousTime;
    uint64_t lastPosition;  // the last frame's: a song that went back by itself looped
};

// Playing from the start. The transport takes its tempo from the session's
// tracks and ends where the show ends.
void editCoreInit(EditCore& core, ShowSession& session, EditSong song, EditSay say, void* sayUser,
                  uint32_t prerollFrames);

void editSeekToRow(EditCore& core, uint32_t row);
void editSetPaused(EditCore& core, bool paused);

// The transport keys: Space, Left/Right, Up/Down, Page Up/Down, Home, [ ] \.
enum class EditKey { PlayPause, BeatBack, BeatOn, RowBack, RowOn, PageBack, PageOn, Start, LoopStart, LoopEnd, LoopClear };

// A key at the song's played `position`.
void editKey(EditCore& core, EditKey key, uint64_t position);

// The sync session's event handler (user: the EditCore).
void editSyncEvent(void* core, const SyncEvent& event);

// The picture was made stale (a new program, a new drawing size, new keys).
void editRedraw(EditCore& core);

struct EditFrame {
    uint64_t position;  // the song's frame the picture shows
    uint32_t row;
    float time;
    bool drawn;  // false: paused with nothing changed, the last picture stands
    bool trailHeld;  // drawn for changed keys with the trail held; the exact picture follows
};

// How long the keys must rest, paused, before the picture drawn at once for
// them is drawn again with its trail rebuilt.
constexpr double kEditSettleSeconds = 0.3;

// One frame at the song's played `position` (`now`: seconds, any origin):
// the loop's jump back, a pause at the show's end, the playing row told to
// the editor (`sync` may be null), and the picture drawn, after a pre-roll
// when it was made stale. Paused, a key change is drawn at once with the
// trail held, then, once the keys rest, with the trail rebuilt.
EditFrame editFrame(EditCore& core, uint64_t position, double now, SyncSession* sync);

// "row R | T s | F fps | CONNECTION | loop A-B" and " | paused", " | shader error" when so.
void editStatusLine(const EditCore& core, const EditFrame& frame, float fps, const char* connection, bool shaderError,
                    char* out, size_t size);
