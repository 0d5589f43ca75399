#include "edit/SyncLink.h"

#include <errno.h>
#include <fcntl.h>
#include <netdb.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <unistd.h>

#include <cstdio>
#include <cstring>

namespace {

constexpr double kRetrySeconds = 1.0;
// A connect that neither succeeds nor fails (a host that drops packets) is
// given up after this, and tried again.
constexpr double kConnectSeconds = 3.0;
// Reading stops for the frame after this many bytes, so an editor that
// floods cannot hold a frame; the rest waits in the socket for the next one.
constexpr size_t kReadPerPoll = 1 << 16;

void emit(SyncLink& link, SyncEventKind kind, const char* line, bool fault = false, uint32_t row = 0,
          uint32_t keys = 0) {
    if (!link.setup.onEvent) return;
    SyncEvent event{kind, row, keys, fault, line};
    link.setup.onEvent(link.setup.user, event);
}

void closeSocket(SyncLink& link) {
    if (link.socket >= 0) close(link.socket);
    link.socket = -1;
    link.state = SyncLinkState::Waiting;
    link.outbox.size = 0;
}

// Ends a connection the caller was told of (or whose greeting was under
// way) with the line that says why.
void drop(SyncLink& link, const char* why, bool fault) {
    char line[320];  // room for the whole address and reason
    std::snprintf(line, sizeof line, "disconnected from %s: %s", link.where, why);
    closeSocket(link);
    emit(link, SyncEventKind::Disconnected, line, fault);
}

void startAttempt(SyncLink& link, double now) {
    link.attempted = true;
    link.attemptTime = now;
    link.socket = ::socket(link.address.ss_family, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
    if (link.socket < 0) return;
    const int one = 1;
    // SET_ROW goes out once per row; Nagle's delay would make the editor's
    // cursor trail the show.
    setsockopt(link.socket, IPPROTO_TCP, TCP_NODELAY, &one, sizeof one);
    if (connect(link.socket, reinterpret_cast<const sockaddr*>(&link.address), link.addressSize) == 0) {
        link.state = SyncLinkState::Connecting;  // finished at once; the poll below sees it writable
    } else if (errno == EINPROGRESS) {
        link.state = SyncLinkState::Connecting;
    } else {
        closeSocket(link);
    }
}

// Connecting -> Greeting once the socket reports the outcome.
void finishConnect(SyncLink& link, double now) {
    pollfd p{link.socket, POLLOUT, 0};
    if (poll(&p, 1, 0) <= 0) {
        if (now - link.attemptTime >= kConnectSeconds) closeSocket(link);
        return;
    }
    int error = 0;
    socklen_t size = sizeof error;
    if (getsockopt(link.socket, SOL_SOCKET, SO_ERROR, &error, &size) != 0 || error != 0) {
        closeSocket(link);  // nobody listens yet: quietly try again later
        return;
    }
    link.state = SyncLinkState::Greeting;
    link.greetingSize = 0;
    link.outbox.size = 0;
    syncWriteGreeting(link.outbox);
}

// Sends what the socket takes now. False when the connection broke.
bool flush(SyncLink& link) {
    size_t sent = 0;
    while (sent < link.outbox.size) {
        const ssize_t n = send(link.socket, link.outbox.bytes + sent, link.outbox.size - sent, MSG_NOSIGNAL);
        if (n > 0) {
            sent += static_cast<size_t>(n);
        } else if (n < 0 && errno == EINTR) {
            continue;
        } else if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) {
            break;
        } else {
            return false;
        }
    }
    std::memmove(link.outbox.bytes, link.outbox.bytes + sent, link.outbox.size - sent);
    link.outbox.size -= sent;
    return true;
}

// Reads into `buffer`. >0: bytes read; 0: nothing now; -1: the editor
// closed; -2: an error (errno says which).
ssize_t receive(SyncLink& link, uint8_t* buffer, size_t size) {
    for (;;) {
        const ssize_t n = recv(link.socket, buffer, size, 0);
        if (n > 0) return n;
        if (n == 0) return -1;
        if (errno == EINTR) continue;
        if (errno == EAGAIN || errno == EWOULDBLOCK) return 0;
        return -2;
    }
}

void dropOnReceive(SyncLink& link, ssize_t result) {
    if (result == -1) {
        if (link.state == SyncLinkState::Connected && syncReaderTruncated(link.reader)) {
            drop(link, link.reader.fault, true);
        } else {
            drop(link, link.state == SyncLinkState::Connected ? "the editor closed the connection"
                                                              : "the connection closed during the greeting",
                 false);
        }
    } else {
        char why[160];
        std::snprintf(why, sizeof why, "%s", std::strerror(errno));
        drop(link, why, false);
    }
}

void finishGreeting(SyncLink& link) {
    uint8_t* into = link.greeting + link.greetingSize;
    const ssize_t n = receive(link, into, kSyncServerGreetingSize - link.greetingSize);
    if (n < 0) return dropOnReceive(link, n);
    link.greetingSize += static_cast<uint32_t>(n);
    if (std::memcmp(link.greeting, kSyncServerGreeting, link.greetingSize) != 0)
        return drop(link, "the server's greeting is not a sync editor's", true);
    if (link.greetingSize < kSyncServerGreetingSize) return;

    const TrackNames& names = link.setup.names;
    for (uint32_t i = 0; i < names.count; ++i) {
        if (!syncWriteGetTrack(link.outbox, names.names[i], std::strlen(names.names[i])))
            return drop(link, "a track name cannot be asked for (empty, or too many to send)", true);
    }
    syncReaderInit(link.reader, names.count, link.setup.rows);
    link.state = SyncLinkState::Connected;
    link.rowSent = false;
    char line[160];
    std::snprintf(line, sizeof line, "connected to %s", link.where);
    emit(link, SyncEventKind::Connected, line);
}

void save(SyncLink& link, const TrackSet& tracks) {
    uint32_t keys = 0;
    for (uint32_t i = 0; i < tracks.tracks.count; ++i) keys += tracks.tracks[i].keys.count;
    std::string error;
    char line[512];
    if (writeTimelineFile(link.setup.timelinePath, tracks, link.setup.rows, link.setup.names, error)) {
        std::snprintf(line, sizeof line, "saved %u keys to %s", keys, link.setup.timelinePath);
        emit(link, SyncEventKind::Saved, line, false, 0, keys);
    } else {
        std::snprintf(line, sizeof line, "could not save %s: %s", link.setup.timelinePath,
                      error.c_str());
        emit(link, SyncEventKind::SaveFailed, line, true);
    }
}

// False when the message closed the connection.
bool apply(SyncLink& link, const SyncMessage& message, TrackSet& tracks) {
    char line[160];
    switch (message.command) {
        case SyncCommand::SetKey:
            if (!trackSetKey(tracks, message.track, message.row, message.value, message.interpolation)) {
                std::snprintf(line, sizeof line, "no memory for a key at row %u of track %u", message.row,
                              message.track);
                drop(link, line, true);
                return false;
            }
            break;
        case SyncCommand::DeleteKey: trackDeleteKey(tracks, message.track, message.row); break;
        case SyncCommand::SetRow:
            link.lastRow = message.row;  // the editor knows where it put the cursor
            link.rowSent = true;
            syncSeekLine(line, sizeof line, message.row);
            emit(link, SyncEventKind::Seek, line, false, message.row);
            break;
        case SyncCommand::Pause:
            emit(link, message.pause ? SyncEventKind::Paused : SyncEventKind::Playing,
                 message.pause ? "paused" : "playing");
            break;
        case SyncCommand::SaveTracks: save(link, tracks); break;
        case SyncCommand::GetTrack: break;  // the reader refuses it
    }
    return true;
}

void readMessages(SyncLink& link, TrackSet& tracks) {
    uint8_t buffer[4096];
    size_t total = 0;
    while (total < kReadPerPoll) {
        const ssize_t n = receive(link, buffer, sizeof buffer);
        if (n == 0) return;
        if (n < 0) return dropOnReceive(link, n);
        total += static_cast<size_t>(n);
        size_t at = 0;
        while (at < static_cast<size_t>(n)) {
            SyncMessage message;
            const SyncReadResult result = syncRead(link.reader, buffer + at, static_cast<size_t>(n) - at, at, message);
            if (result == SyncReadResult::Fault) return drop(link, link.reader.fault, true);
            if (result == SyncReadResult::Message && !apply(link, message, tracks)) return;
        }
    }
}

}  // namespace

bool syncLinkInit(SyncLink& link, const SyncLinkSetup& setup, std::string& error) {
    link = SyncLink{};
    link.setup = setup;
    link.socket = -1;
    link.state = SyncLinkState::Waiting;
    const char* address = setup.address ? setup.address : kSyncDefaultAddress;
    const size_t length = std::strlen(address);
    const char* colon = std::strrchr(address, ':');
    if (!colon || colon == address || colon[1] == '\0' || length >= sizeof link.where) {
        error = std::string("sync: '") + address + "' is not HOST:PORT";
        return false;
    }
    std::snprintf(link.where, sizeof link.where, "%s", address);
    std::string host(address, colon);
    if (host.size() > 2 && host.front() == '[' && host.back() == ']') host = host.substr(1, host.size() - 2);

    addrinfo hints{};
    hints.ai_family = AF_UNSPEC;
    hints.ai_socktype = SOCK_STREAM;
    hints.ai_flags = AI_NUMERICSERV;
    addrinfo* found = nullptr;
    const int status = getaddrinfo(host.c_str(), colon + 1, &hints, &found);
    if (status != 0 || !found) {
        error = std::string("sync: cannot resolve '") + address + "': " + gai_strerror(status);
        return false;
    }
    std::memcpy(&link.address, found->ai_addr, found->ai_addrlen);
    link.addressSize = found->ai_addrlen;
    freeaddrinfo(found);
    return true;
}

void syncLinkPoll(SyncLink& link, double now, TrackSet& tracks) {
    if (link.state == SyncLinkState::Waiting) {
        if (link.attempted && now - link.attemptTime < kRetrySeconds) return;
        startAttempt(link, now);
    }
    if (link.state == SyncLinkState::Connecting) finishConnect(link, now);
    if (link.state == SyncLinkState::Greeting) {
        if (!flush(link)) return drop(link, std::strerror(errno), false);
        finishGreeting(link);
    }
    if (link.state == SyncLinkState::Connected) {
        readMessages(link, tracks);
        if (link.state == SyncLinkState::Connected && !flush(link)) drop(link, std::strerror(errno), false);
    }
}

void syncLinkPlayingRow(SyncLink& link, uint32_t row, bool playing) {
    if (!playing || link.state != SyncLinkState::Connected) return;
    if (link.rowSent && row == link.lastRow) return;
    // A full outbox means the editor has stopped reading; the row goes out
    // with a later change once it reads again.
    if (!syncWriteSetRow(link.outbox, row)) return;
    link.lastRow = row;
    link.rowSent = true;
}

bool syncLinkConnected(const SyncLink& link) { return link.state == SyncLinkState::Connected; }

void syncLinkClose(SyncLink& link) { closeSocket(link); }

void syncSeekLine(char* out, size_t size, uint32_t row) { std::snprintf(out, size, "seek to row %u", row); }
