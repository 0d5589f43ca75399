#include "edit/SyncSession.h"

#include <cstdio>
#include <cstring>

namespace {

void emit(SyncSession& session, SyncEventKind kind, const char* line, bool fault = false, uint32_t row = 0,
          uint32_t keys = 0) {
    if (!session.setup.onEvent) return;
    SyncEvent event{kind, row, keys, fault, line};
    session.setup.onEvent(session.setup.user, event);
}

SyncTake refuse(SyncSession& session, const char* why) {
    std::snprintf(session.fault, sizeof session.fault, "%s", why);
    return SyncTake::Fault;
}

void save(SyncSession& session, const TrackSet& tracks) {
    uint32_t keys = 0;
    for (uint32_t i = 0; i < tracks.tracks.count; ++i) keys += tracks.tracks[i].keys.count;
    std::string where;
    std::string error;
    char line[512];
    const SyncSessionSetup& s = session.setup;
    if (!s.save) {
        emit(session, SyncEventKind::SaveFailed, "could not save: nowhere to save to", true);
    } else if (s.save(s.saveUser, tracks, s.rows, s.names, where, error)) {
        std::snprintf(line, sizeof line, "saved %u keys to %s", keys, where.c_str());
        emit(session, SyncEventKind::Saved, line, false, 0, keys);
    } else {
        std::snprintf(line, sizeof line, "could not save %s: %s", where.c_str(), error.c_str());
        emit(session, SyncEventKind::SaveFailed, line, true);
    }
}

SyncTake apply(SyncSession& session, const SyncMessage& message, TrackSet& tracks) {
    char line[160];
    switch (message.command) {
        case SyncCommand::SetKey:
            if (!trackSetKey(tracks, message.track, message.row, message.value, message.interpolation)) {
                std::snprintf(line, sizeof line, "no memory for a key at row %u of track %u", message.row,
                              message.track);
                return refuse(session, line);
            }
            break;
        case SyncCommand::DeleteKey: trackDeleteKey(tracks, message.track, message.row); break;
        case SyncCommand::SetRow:
            session.lastRow = message.row;  // the editor knows where it put the cursor
            session.rowSent = true;
            syncSeekLine(line, sizeof line, message.row);
            emit(session, SyncEventKind::Seek, line, false, message.row);
            break;
        case SyncCommand::Pause:
            emit(session, message.pause ? SyncEventKind::Paused : SyncEventKind::Playing,
                 message.pause ? "paused" : "playing");
            break;
        case SyncCommand::SaveTracks: save(session, tracks); break;
        case SyncCommand::GetTrack: break;  // the reader refuses it
    }
    return SyncTake::Ok;
}

}  // namespace

void syncSessionInit(SyncSession& session, const SyncSessionSetup& setup, const char* where) {
    session = SyncSession{};
    session.setup = setup;
    session.state = SyncSessionState::Closed;
    std::snprintf(session.where, sizeof session.where, "%s", where);
}

void syncSessionOpen(SyncSession& session) {
    session.state = SyncSessionState::Greeting;
    session.greetingSize = 0;
    session.outbox.size = 0;
    session.fault[0] = '\0';
    syncWriteGreeting(session.outbox);
}

SyncTake syncSessionGreet(SyncSession& session, const uint8_t* data, size_t size, size_t& used) {
    if (session.state != SyncSessionState::Greeting) return refuse(session, "no greeting is awaited");
    size_t take = kSyncServerGreetingSize - session.greetingSize;
    if (take > size) take = size;
    std::memcpy(session.greeting + session.greetingSize, data, take);
    session.greetingSize += uint32_t(take);
    used += take;
    if (std::memcmp(session.greeting, kSyncServerGreeting, session.greetingSize) != 0)
        return refuse(session, "the server's greeting is not a sync editor's");
    if (session.greetingSize < kSyncServerGreetingSize) return SyncTake::Ok;

    const TrackNames& names = session.setup.names;
    for (uint32_t i = 0; i < names.count; ++i) {
        if (!syncWriteGetTrack(session.outbox, names.names[i], std::strlen(names.names[i])))
            return refuse(session, "a track name cannot be asked for (empty, or too many to send)");
    }
    syncReaderInit(session.reader, names.count, session.setup.rows);
    session.state = SyncSessionState::Connected;
    session.rowSent = false;
    char line[160];
    std::snprintf(line, sizeof line, "connected to %s", session.where);
    emit(session, SyncEventKind::Connected, line);
    return SyncTake::Ok;
}

SyncTake syncSessionReceive(SyncSession& session, const uint8_t* data, size_t size, TrackSet& tracks) {
    if (session.state != SyncSessionState::Connected) return refuse(session, "a message before the greeting");
    size_t at = 0;
    while (at < size) {
        SyncMessage message;
        const SyncReadResult result = syncRead(session.reader, data + at, size - at, at, message);
        if (result == SyncReadResult::Fault) return refuse(session, session.reader.fault);
        if (result == SyncReadResult::Message && apply(session, message, tracks) == SyncTake::Fault)
            return SyncTake::Fault;
    }
    return SyncTake::Ok;
}

void syncSessionClosed(SyncSession& session, const char* why, bool fault) {
    const SyncSessionState was = session.state;
    session.state = SyncSessionState::Closed;
    session.outbox.size = 0;
    if (was == SyncSessionState::Closed) return;
    if (was == SyncSessionState::Connected && !fault && syncReaderTruncated(session.reader)) {
        why = session.reader.fault;
        fault = true;
    }
    char line[320];  // room for the whole address and reason
    std::snprintf(line, sizeof line, "disconnected from %s: %s", session.where, why);
    emit(session, SyncEventKind::Disconnected, line, fault);
}

void syncSessionPlayingRow(SyncSession& session, uint32_t row, bool playing) {
    if (!playing || session.state != SyncSessionState::Connected) return;
    if (session.rowSent && row == session.lastRow) return;
    // A full outbox means the editor has stopped reading; the row goes out
    // with a later change once it reads again.
    if (!syncWriteSetRow(session.outbox, row)) return;
    session.lastRow = row;
    session.rowSent = true;
}

void syncSeekLine(char* out, size_t size, uint32_t row) { std::snprintf(out, size, "seek to row %u", row); }
