#include <cstring>

#include "edit/SyncMessages.h"

namespace {

bool append(SyncOutbox& out, const void* bytes, size_t size) {
    if (size > kSyncOutboxSize - out.size) return false;
    std::memcpy(out.bytes + out.size, bytes, size);
    out.size += size;
    return true;
}

uint32_t getU32(const uint8_t* p) {
    return uint32_t(p[0]) << 24 | uint32_t(p[1]) << 16 | uint32_t(p[2]) << 8 | uint32_t(p[3]);
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

size_t syncOutboxNextMessage(const SyncOutbox& out) {
    if (out.size == 0) return 0;
    size_t whole = 0;
    if (out.bytes[0] == uint8_t(kSyncClientGreeting[0])) {
        whole = kSyncClientGreetingSize;
    } else if (out.bytes[0] == uint8_t(SyncCommand::SetRow)) {
        whole = 5;
    } else if (out.bytes[0] == uint8_t(SyncCommand::GetTrack) && out.size >= 5) {
        whole = 5 + size_t(getU32(out.bytes + 1));
    }
    return whole <= out.size ? whole : 0;
}

void syncOutboxDrop(SyncOutbox& out, size_t size) {
    if (size > out.size) size = out.size;
    std::memmove(out.bytes, out.bytes + size, out.size - size);
    out.size -= size;
}
