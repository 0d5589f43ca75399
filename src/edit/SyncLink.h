// The show's connection to a sync editor over TCP, polled once per frame.
//
// The editor listens; the show connects to it, retries every second while no
// editor is there, and never blocks a frame: connecting, reading and writing
// are non-blocking and happen only inside syncLinkPoll. Once the greetings
// are exchanged the show asks for each of its tracks by name, in index
// order, and from then on applies the editor's key changes to the TrackSet
// at once. Seeks, pause and play and saves reach the caller as events, each
// with the one line the program prints. A connection that drops or sends a
// malformed message is closed with a line naming the fault; the keys stay
// as they are and the link tries again a second later.
#pragma once

#include <sys/socket.h>

#include <cstdint>
#include <string>

#include "anim/TrackSet.h"
#include "content/timeline/TimelineFile.h"
#include "edit/SyncSession.h"

constexpr char kSyncDefaultAddress[] = "127.0.0.1:1338";

struct SyncLinkSetup {
    const char* address;       // "HOST:PORT" ("[V6]:PORT" too); null for kSyncDefaultAddress
    TrackNames names;          // track i is asked for as names.names[i]
    uint32_t rows;             // the timeline's rows: rows from the editor stay below it; saves write it
    const char* timelinePath;  // where SAVE_TRACKS writes; the caller keeps it alive
    SyncEventHandler onEvent;
    void* user;
};

enum class SyncLinkState { Waiting, Connecting, Greeting, Connected };

struct SyncLink {
    SyncLinkSetup setup;
    sockaddr_storage address;
    socklen_t addressSize;
    int socket;  // -1 while Waiting
    SyncLinkState state;
    double attemptTime;  // when the last connection attempt began
    bool attempted;
    SyncSession session;  // the conversation; its `where` is the address as given
};

// Resolves the address (once, here: the frame loop never waits on a name
// lookup). False with one line in `error` for an address that does not
// parse or resolve. No connection is attempted before the first poll.
bool syncLinkInit(SyncLink& link, const SyncLinkSetup& setup, std::string& error);

// Advances the connection: connects or retries (every second from the last
// attempt, by `now` in seconds), exchanges greetings, sends what is queued,
// and applies every message that has arrived, keys into `tracks` at once.
void syncLinkPoll(SyncLink& link, double now, TrackSet& tracks);

// The caller's playing row. While playing, a row other than the last one
// the editor heard of is sent to it; while paused nothing is sent.
void syncLinkPlayingRow(SyncLink& link, uint32_t row, bool playing);

bool syncLinkConnected(const SyncLink& link);

// Closes the connection without an event.
void syncLinkClose(SyncLink& link);
