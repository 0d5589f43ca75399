// The sync editor's wire protocol, as the show (the client) speaks it.
//
// After the greeting exchange every message is one command byte followed by
// big-endian fields. The editor sends SET_KEY, DELETE_KEY, SET_ROW, PAUSE and
// SAVE_TRACKS; the show sends its greeting, GET_TRACK for each track and
// SET_ROW while playing. Reading never allocates: the longest message the
// editor sends is 14 bytes, so a partly received one fits in the reader.
#pragma once

#include <cstddef>
#include <cstdint>

constexpr char kSyncClientGreeting[] = "hello, synctracker!";  // show -> editor, 19 bytes
constexpr char kSyncServerGreeting[] = "hello, demo!";         // editor -> show, 12 bytes
constexpr size_t kSyncClientGreetingSize = sizeof(kSyncClientGreeting) - 1;
constexpr size_t kSyncServerGreetingSize = sizeof(kSyncServerGreeting) - 1;

enum class SyncCommand : uint8_t {
    SetKey = 0,
    DeleteKey = 1,
    GetTrack = 2,
    SetRow = 3,
    Pause = 4,
    SaveTracks = 5,
};

// Interpolation numbers the editor knows: step, linear, smooth, ramp. They
// are our InterpolationMode numbers 0 to 3.
constexpr uint8_t kSyncInterpolationCount = 4;

constexpr size_t kSyncLongestMessage = 14;  // SET_KEY

struct SyncMessage {
    SyncCommand command;
    uint32_t track;         // SET_KEY, DELETE_KEY
    uint32_t row;           // SET_KEY, DELETE_KEY, SET_ROW
    float value;            // SET_KEY
    uint8_t interpolation;  // SET_KEY, below kSyncInterpolationCount
    bool pause;             // PAUSE: true pauses, false plays
};

// Bytes from the editor, in whatever pieces they arrive. After a fault the
// reader takes nothing more; the connection is to be closed.
struct SyncReader {
    uint32_t trackCount;  // tracks asked for with GET_TRACK
    uint32_t rowLimit;    // rows at or past this are refused
    uint8_t pending[kSyncLongestMessage];
    uint32_t pendingSize;
    bool faulted;
    char fault[128];  // one line, no newline
};

void syncReaderInit(SyncReader& reader, uint32_t trackCount, uint32_t rowLimit);

enum class SyncReadResult { NeedMore, Message, Fault };

// Takes bytes from data[0, size) up to the end of the first whole message and
// adds their count to `used`. Message: `message` holds it. NeedMore: every
// byte was taken and no message is complete yet. Fault: reader.fault names
// what is wrong (an unknown or unexpected command byte, a track index past
// trackCount, an interpolation the editor never sends, a row at or past
// rowLimit, a value that is not a finite number).
SyncReadResult syncRead(SyncReader& reader, const uint8_t* data, size_t size, size_t& used, SyncMessage& message);

// At the end of the bytes (the connection's, or a WebSocket message's):
// true when a message was cut short, with reader.fault naming it after
// `ending` ("the connection ended inside SET_KEY (9 of 14 bytes)").
bool syncReaderTruncated(SyncReader& reader, const char* ending = "the connection ended");

// Bytes waiting to go to the editor, in fixed storage: 27 GET_TRACKs with
// names of up to 255 bytes fit with room to spare, and SET_ROWs that the
// editor does not take stop at the end instead of growing without bound.
constexpr size_t kSyncOutboxSize = 16384;

struct SyncOutbox {
    uint8_t bytes[kSyncOutboxSize];
    size_t size;
};

// The show's messages, appended whole or not at all: false when the outbox
// has no room. GET_TRACK is also refused for a name the editor drops a
// client for (empty or holding a zero byte).
bool syncWriteGreeting(SyncOutbox& out);
bool syncWriteGetTrack(SyncOutbox& out, const char* name, size_t length);
bool syncWriteSetRow(SyncOutbox& out, uint32_t row);

// The size of the first whole message waiting in the outbox (the greeting,
// a GET_TRACK or a SET_ROW), 0 when none is: for a transport that sends each
// message on its own, as WebSocket does.
size_t syncOutboxNextMessage(const SyncOutbox& out);

// Removes the first `size` bytes (those sent).
void syncOutboxDrop(SyncOutbox& out, size_t size);
