#include <cstring>

#include "edit/SyncMessages.h"

namespace {

bool append(SyncOutbox& out, const void* bytes, size_t size) {
    if (size > kSyncOutboxSize - out.size) return false;
    std::memcpy(out.bytes + out.size, bytes, size);
    out.size += size;
    return true;
}

void putU32(uint8_t* p, uint32_t v) {
    p[0] = uint8_t(v >> 24);
    p[1] = uint8_t(v >> 16);
    p[2] = uint8_t(v >> 8);
    p[3] = uint8_t(v);
}

}  // namespace

bool syncWriteGreeting(SyncOutbox& out) { return append(out, kSyncClientGreeting, kSyncClientGreetingSize); }

bool syncWriteGetTrack(SyncOutbox& out, const char* name, size_t length) {
    if (length == 0 || length > kSyncOutboxSize || std::memchr(name, 0, length)) return false;
    if (5 + length > kSyncOutboxSize - out.size) return false;
    uint8_t head[5] = {static_cast<uint8_t>(SyncCommand::GetTrack)};
    putU32(head + 1, static_cast<uint32_t>(length));
    append(out, head, sizeof head);
    append(out, name, length);
    return true;
}

bool syncWriteSetRow(SyncOutbox& out, uint32_t row) {
    uint8_t message[5] = {static_cast<uint8_t>(SyncCommand::SetRow)};
    putU32(message + 1, row);
    return append(out, message, sizeof message);
}
