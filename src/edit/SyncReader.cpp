#include <cmath>
#include <cstdarg>
#include <cstdio>
#include <cstring>

#include "edit/SyncMessages.h"

namespace {

uint32_t readU32(const uint8_t* p) {
    return uint32_t(p[0]) << 24 | uint32_t(p[1]) << 16 | uint32_t(p[2]) << 8 | uint32_t(p[3]);
}

const char* commandName(uint8_t command) {
    static const char* const names[] = {"SET_KEY", "DELETE_KEY", "GET_TRACK", "SET_ROW", "PAUSE", "SAVE_TRACKS"};
    return command < 6 ? names[command] : "?";
}

// Whole length of the message that starts with `command`; 0 for a byte that
// is no command the editor sends.
size_t messageSize(uint8_t command) {
    switch (static_cast<SyncCommand>(command)) {
        case SyncCommand::SetKey: return 14;
        case SyncCommand::DeleteKey: return 9;
        case SyncCommand::SetRow: return 5;
        case SyncCommand::Pause: return 2;
        case SyncCommand::SaveTracks: return 1;
        default: return 0;
    }
}

__attribute__((format(printf, 2, 3))) SyncReadResult fail(SyncReader& reader, const char* format, ...) {
    va_list args;
    va_start(args, format);
    std::vsnprintf(reader.fault, sizeof reader.fault, format, args);
    va_end(args);
    reader.faulted = true;
    return SyncReadResult::Fault;
}

SyncReadResult decode(SyncReader& reader, SyncMessage& message) {
    const uint8_t* p = reader.pending;
    const uint8_t command = p[0];
    message = SyncMessage{};
    message.command = static_cast<SyncCommand>(command);
    switch (message.command) {
        case SyncCommand::SetKey:
        case SyncCommand::DeleteKey:
            message.track = readU32(p + 1);
            message.row = readU32(p + 5);
            if (message.track >= reader.trackCount)
                return fail(reader, "%s for track %u, past the %u tracks asked for", commandName(command),
                            message.track, reader.trackCount);
            break;
        case SyncCommand::SetRow: message.row = readU32(p + 1); break;
        case SyncCommand::Pause: message.pause = p[1] != 0; return SyncReadResult::Message;
        default: return SyncReadResult::Message;
    }
    if (message.row >= reader.rowLimit)
        return fail(reader, "%s at row %u, past the timeline's %u rows", commandName(command), message.row,
                    reader.rowLimit);
    if (message.command == SyncCommand::SetKey) {
        const uint32_t bits = readU32(p + 9);
        std::memcpy(&message.value, &bits, sizeof bits);
        message.interpolation = p[13];
        if (message.interpolation >= kSyncInterpolationCount)
            return fail(reader, "SET_KEY with interpolation %u, which the editor never sends",
                        unsigned(message.interpolation));
        // The timeline file holds finite numbers only.
        if (!std::isfinite(message.value))
            return fail(reader, "SET_KEY at row %u with a value that is not a finite number", message.row);
    }
    return SyncReadResult::Message;
}

}  // namespace

void syncReaderInit(SyncReader& reader, uint32_t trackCount, uint32_t rowLimit) {
    reader.trackCount = trackCount;
    reader.rowLimit = rowLimit;
    reader.pendingSize = 0;
    reader.faulted = false;
    reader.fault[0] = '\0';
}

SyncReadResult syncRead(SyncReader& reader, const uint8_t* data, size_t size, size_t& used, SyncMessage& message) {
    if (reader.faulted) return SyncReadResult::Fault;
    while (size > 0) {
        const uint8_t command = reader.pendingSize ? reader.pending[0] : data[0];
        const size_t whole = messageSize(command);
        if (whole == 0) {
            ++used;
            if (command == static_cast<uint8_t>(SyncCommand::GetTrack))
                return fail(reader, "GET_TRACK (command 2) from the editor, which only the show sends");
            return fail(reader, "unknown command byte %u", unsigned(command));
        }
        size_t take = whole - reader.pendingSize;
        if (take > size) take = size;
        std::memcpy(reader.pending + reader.pendingSize, data, take);
        reader.pendingSize += static_cast<uint32_t>(take);
        data += take;
        size -= take;
        used += take;
        if (reader.pendingSize == whole) {
            reader.pendingSize = 0;
            return decode(reader, message);
        }
    }
    return SyncReadResult::NeedMore;
}

bool syncReaderTruncated(SyncReader& reader, const char* ending) {
    if (reader.faulted || reader.pendingSize == 0) return false;
    const uint8_t command = reader.pending[0];
    fail(reader, "%s inside %s (%u of %zu bytes)", ending, commandName(command), reader.pendingSize,
         messageSize(command));
    return true;
}
