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

void closeSocket(SyncLink& link) {
    if (link.socket >= 0) close(link.socket);
    link.socket = -1;
    link.state = SyncLinkState::Waiting;
}

// Ends a connection, with the line that says why when the caller had been
// told of it (or its greeting was under way).
void drop(SyncLink& link, const char* why, bool fault) {
    closeSocket(link);
    syncSessionClosed(link.session, why, fault);
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
    syncSessionOpen(link.session);
}

// Sends what the socket takes now. False when the connection broke.
bool flush(SyncLink& link) {
    SyncOutbox& outbox = link.session.outbox;
    size_t sent = 0;
    while (sent < outbox.size) {
        const ssize_t n = send(link.socket, outbox.bytes + sent, outbox.size - sent, MSG_NOSIGNAL);
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
    syncOutboxDrop(outbox, sent);
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
        drop(link, link.state == SyncLinkState::Connected ? "the editor closed the connection"
                                                          : "the connection closed during the greeting",
             false);
    } else {
        char why[160];
        std::snprintf(why, sizeof why, "%s", std::strerror(errno));
        drop(link, why, false);
    }
}

void finishGreeting(SyncLink& link) {
    uint8_t buffer[kSyncServerGreetingSize];
    SyncSession& session = link.session;
    const ssize_t n = receive(link, buffer, kSyncServerGreetingSize - session.greetingSize);
    if (n < 0) return dropOnReceive(link, n);
    size_t used = 0;
    if (syncSessionGreet(session, buffer, size_t(n), used) == SyncTake::Fault) return drop(link, session.fault, true);
    if (session.state == SyncSessionState::Connected) link.state = SyncLinkState::Connected;
}

void readMessages(SyncLink& link, TrackSet& tracks) {
    uint8_t buffer[4096];
    size_t total = 0;
    while (total < kReadPerPoll) {
        const ssize_t n = receive(link, buffer, sizeof buffer);
        if (n == 0) return;
        if (n < 0) return dropOnReceive(link, n);
        total += static_cast<size_t>(n);
        if (syncSessionReceive(link.session, buffer, size_t(n), tracks) == SyncTake::Fault)
            return drop(link, link.session.fault, true);
    }
}

bool saveToFile(void* user, const TrackSet& tracks, uint32_t rows, TrackNames names, std::string& where,
                std::string& error) {
    const SyncLink& link = *static_cast<const SyncLink*>(user);
    where = link.setup.timelinePath;
    return writeTimelineFile(link.setup.timelinePath, tracks, rows, names, error);
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
    if (!colon || colon == address || colon[1] == '\0' || length >= sizeof link.session.where) {
        error = std::string("sync: '") + address + "' is not HOST:PORT";
        return false;
    }
    // Saves call back with the link: it must stay where it was initialised.
    syncSessionInit(link.session, {setup.names, setup.rows, setup.onEvent, setup.user, saveToFile, &link}, address);
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
    syncSessionPlayingRow(link.session, row, playing);
}

bool syncLinkConnected(const SyncLink& link) { return link.state == SyncLinkState::Connected; }

void syncLinkClose(SyncLink& link) {
    closeSocket(link);
    link.session.state = SyncSessionState::Closed;
    link.session.outbox.size = 0;
}
