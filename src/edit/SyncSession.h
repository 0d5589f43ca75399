// One conversation with a sync editor, whatever carries the bytes: the
// greeting, the track requests, the editor's messages applied to a TrackSet,
// the rows sent while playing and the lines for the program. The TCP link
// (SyncLink) and the page's WebSocket both drive one; neither blocks nor
// allocates per message.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

#include "anim/TrackSet.h"
#include "content/timeline/TimelineFile.h"
#include "edit/SyncMessages.h"

enum class SyncEventKind {
    Connected,
    Disconnected,  // the line says why
    Paused,
    Playing,
    Seek,       // row: the row to play from
    Saved,      // keys: how many were written
    SaveFailed  // the line holds the writer's fault
};

struct SyncEvent {
    SyncEventKind kind;
    uint32_t row;
    uint32_t keys;
    bool fault;        // a malformed message or a failed save: the line suits stderr
    const char* line;  // one line without newline, valid during the call
};

using SyncEventHandler = void (*)(void* user, const SyncEvent& event);

// Writes the tracks out for SAVE_TRACKS. True with `where` naming what was
// written (a file's path, a download's name); false with `error`.
using SyncSaveHandler = bool (*)(void* user, const TrackSet& tracks, uint32_t rows, TrackNames names,
                                 std::string& where, std::string& error);

struct SyncSessionSetup {
    TrackNames names;  // track i is asked for as names.names[i]
    uint32_t rows;     // the timeline's rows: rows from the editor stay below it; saves write it
    SyncEventHandler onEvent;
    void* user;
    SyncSaveHandler save;
    void* saveUser;
};

enum class SyncSessionState { Closed, Greeting, Connected };

struct SyncSession {
    SyncSessionSetup setup;
    char where[128];  // the editor's address, for the lines
    SyncSessionState state;
    uint8_t greeting[kSyncServerGreetingSize];
    uint32_t greetingSize;
    SyncReader reader;
    SyncOutbox outbox;  // the show's bytes not yet sent
    bool rowSent;
    uint32_t lastRow;  // the row the editor last heard of, from either side
    char fault[192];   // why the last call refused the connection
};

// A session that sends nothing and takes nothing until it is opened.
void syncSessionInit(SyncSession& session, const SyncSessionSetup& setup, const char* where);

// A new connection: the client's greeting waits in the outbox.
void syncSessionOpen(SyncSession& session);

enum class SyncTake { Ok, Fault };

// Bytes of the editor's greeting, in whatever pieces they arrive (`used`
// grows by what was taken). Once it is whole the track requests wait in the
// outbox, the state is Connected and the Connected event has gone out. A
// greeting that is not a sync editor's is a Fault, named in `fault`.
SyncTake syncSessionGreet(SyncSession& session, const uint8_t* data, size_t size, size_t& used);

// The editor's messages: keys go into `tracks` at once; seeks, pause and
// play and saves reach the handler as events. Fault: the message is
// malformed (or a key found no memory), named in `fault`; the connection is
// to be closed.
SyncTake syncSessionReceive(SyncSession& session, const uint8_t* data, size_t size, TrackSet& tracks);

// The connection ended: a message cut short becomes the reason. The
// Disconnected event goes out with "disconnected from WHERE: WHY" when the
// connection had been greeted or was being greeted.
void syncSessionClosed(SyncSession& session, const char* why, bool fault);

// The caller's playing row. While playing, a row other than the last one the
// editor heard of waits in the outbox; while paused nothing is sent.
void syncSessionPlayingRow(SyncSession& session, uint32_t row, bool playing);

// The line for a seek, the same whether the editor or the keyboard asked.
void syncSeekLine(char* out, size_t size, uint32_t row);
