// The link against a scripted editor: a listening socket on an ephemeral
// loopback port that speaks the editor's side of the protocol. The test owns
// the clock the link sees, so retries happen when the test says a second has
// passed; waiting for bytes is event-driven with a generous deadline.
#include "edit/SyncLink.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <functional>
#include <sstream>
#include <string>
#include <vector>

#include "content/timeline/ShowParameters.h"

namespace {

const TrackNames kNames{kShowParameterNames, kShowParameterCount};

std::string fileBytes(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
}

std::string u32(uint32_t v) {
    const char b[4] = {char(v >> 24), char(v >> 16), char(v >> 8), char(v)};
    return std::string(b, 4);
}

std::string setKey(uint32_t track, uint32_t row, float value, uint8_t interpolation) {
    uint32_t bits;
    std::memcpy(&bits, &value, 4);
    return std::string(1, '\0') + u32(track) + u32(row) + u32(bits) + std::string(1, char(interpolation));
}

std::string deleteKey(uint32_t track, uint32_t row) { return std::string(1, '\1') + u32(track) + u32(row); }

struct ScriptedEditor {
    int listener = -1;
    int peer = -1;
    uint16_t port = 0;
    std::string received;  // everything the show sent on the current connection
    bool peerClosed = false;

    void listen(uint16_t on = 0) {
        listener = socket(AF_INET, SOCK_STREAM | SOCK_NONBLOCK, 0);
        const int one = 1;
        setsockopt(listener, SOL_SOCKET, SO_REUSEADDR, &one, sizeof one);
        sockaddr_in a{};
        a.sin_family = AF_INET;
        a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        a.sin_port = htons(on);
        ASSERT_EQ(bind(listener, reinterpret_cast<sockaddr*>(&a), sizeof a), 0);
        ASSERT_EQ(::listen(listener, 4), 0);
        socklen_t size = sizeof a;
        getsockname(listener, reinterpret_cast<sockaddr*>(&a), &size);
        port = ntohs(a.sin_port);
    }
    void stopListening() {
        if (listener >= 0) close(listener);
        listener = -1;
    }
    void hangUp() {
        if (peer >= 0) close(peer);
        peer = -1;
        received.clear();
        peerClosed = false;
    }
    ~ScriptedEditor() {
        hangUp();
        stopListening();
    }

    void service() {
        if (peer < 0 && listener >= 0) peer = accept4(listener, nullptr, nullptr, SOCK_NONBLOCK);
        if (peer < 0) return;
        char buffer[4096];
        ssize_t n;
        while ((n = recv(peer, buffer, sizeof buffer, 0)) > 0) received.append(buffer, size_t(n));
        if (n == 0) peerClosed = true;
    }
    void send(const std::string& bytes) {
        size_t sent = 0;
        while (sent < bytes.size()) {
            const ssize_t n = ::send(peer, bytes.data() + sent, bytes.size() - sent, MSG_NOSIGNAL);
            ASSERT_GT(n, 0);
            sent += size_t(n);
        }
    }
};

struct SeenEvent {
    SyncEventKind kind;
    uint32_t row;
    uint32_t keys;
    bool fault;
    std::string line;
};

void collect(void* user, const SyncEvent& e) {
    static_cast<std::vector<SeenEvent>*>(user)->push_back({e.kind, e.row, e.keys, e.fault, e.line});
}

class SyncLinkTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(trackSetInit(tracks));
        std::string error;
        ASSERT_TRUE(readTimelineFile(THAW_TIMELINE_FILE, kNames, tracks, rows, error)) << error;
        savePath = ::testing::TempDir() + "sync-save-" + std::to_string(getpid()) + ".rocket";
        editor.listen();
        address = "127.0.0.1:" + std::to_string(editor.port);
        SyncLinkSetup setup{address.c_str(), kNames, rows, savePath.c_str(), collect, &events};
        ASSERT_TRUE(syncLinkInit(link, setup, error)) << error;
    }
    void TearDown() override {
        syncLinkClose(link);
        trackSetDestroy(tracks);
        std::remove(savePath.c_str());
    }

    // Polls the link and the editor until `done` or a 10 s deadline.
    bool pumpUntil(const std::function<bool()>& done) {
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
        while (std::chrono::steady_clock::now() < deadline) {
            syncLinkPoll(link, now, tracks);
            editor.service();
            if (done()) return true;
            pollfd fds[2] = {{link.socket, POLLIN, 0}, {editor.peer >= 0 ? editor.peer : editor.listener, POLLIN, 0}};
            poll(fds, 2, 5);
        }
        return false;
    }

    std::string getTracks() const {
        std::string all;
        for (uint32_t i = 0; i < kShowParameterCount; ++i) {
            const std::string name = kShowParameterNames[i];
            all += std::string(1, '\2') + u32(uint32_t(name.size())) + name;
        }
        return all;
    }

    // Greetings both ways, then the 27 GET_TRACKs in index order.
    void handshake() {
        ASSERT_TRUE(pumpUntil([&] { return editor.received.size() >= 19; }));
        EXPECT_EQ(editor.received, "hello, synctracker!");  // nothing else before the editor answers
        editor.received.clear();
        events.clear();
        editor.send("hello, demo!");
        const std::string expected = getTracks();
        ASSERT_TRUE(pumpUntil([&] { return editor.received.size() >= expected.size(); }));
        EXPECT_EQ(editor.received, expected);
        ASSERT_EQ(events.size(), 1u);
        EXPECT_EQ(events[0].kind, SyncEventKind::Connected);
        EXPECT_EQ(events[0].line, "connected to " + address);
        EXPECT_TRUE(syncLinkConnected(link));
        editor.received.clear();
        events.clear();
    }

    bool pumpUntilEvents(size_t n) {
        return pumpUntil([&] { return events.size() >= n; });
    }

    TrackSet tracks;
    uint32_t rows = 0;
    std::string savePath, address;
    ScriptedEditor editor;
    SyncLink link;
    std::vector<SeenEvent> events;
    double now = 0.0;
};

TEST_F(SyncLinkTest, KeysSetAndDeletedChangeTheTracksAndSavingThenWritesTheOriginalFile) {
    handshake();
    // As the editor does on connecting: every key it holds, here the file's.
    std::string all;
    for (uint32_t t = 0; t < tracks.tracks.count; ++t)
        for (uint32_t k = 0; k < tracks.tracks[t].keys.count; ++k) {
            const Keyframe& key = tracks.tracks[t].keys[k];
            all += setKey(t, key.tick, key.value, uint8_t(key.mode));
        }
    editor.send(all);

    // Track 20 (SCANLINES) holds 0.5 from row 804 to 1024, no key at 900.
    const uint32_t track = 20;
    const float t = 900.5f / trackTickRate(tracks);
    const float before = evaluateTrack(tracks, track, t);
    editor.send(setKey(track, 900, before + 7.25f, 0));
    ASSERT_TRUE(pumpUntil([&] { return evaluateTrack(tracks, track, t) == before + 7.25f; }));
    editor.send(deleteKey(track, 900) + std::string(1, '\5'));
    ASSERT_TRUE(pumpUntilEvents(1));
    EXPECT_EQ(evaluateTrack(tracks, track, t), before);
    EXPECT_EQ(events[0].kind, SyncEventKind::Saved);
    EXPECT_EQ(events[0].keys, 416u);
    EXPECT_EQ(events[0].line, "saved 416 keys to " + savePath);
    EXPECT_EQ(fileBytes(savePath), fileBytes(THAW_TIMELINE_FILE));
    EXPECT_NE(access((savePath + ".saving").c_str(), F_OK), 0);
    EXPECT_TRUE(syncLinkConnected(link));
}

TEST_F(SyncLinkTest, SeeksAndPauseReachTheCallerAndPlayingRowsReachTheEditorOncePerChange) {
    handshake();
    editor.send(std::string("\3") + u32(100) + std::string("\4\1", 2) + std::string("\4\0", 2));
    ASSERT_TRUE(pumpUntilEvents(3));
    EXPECT_EQ(events[0].kind, SyncEventKind::Seek);
    EXPECT_EQ(events[0].row, 100u);
    EXPECT_EQ(events[0].line, "seek to row 100");
    EXPECT_EQ(events[1].kind, SyncEventKind::Paused);
    EXPECT_EQ(events[1].line, "paused");
    EXPECT_EQ(events[2].kind, SyncEventKind::Playing);
    EXPECT_EQ(events[2].line, "playing");

    // The row the editor set is not echoed; a changed row goes out once; a
    // paused show sends nothing.
    syncLinkPlayingRow(link, 100, true);
    syncLinkPlayingRow(link, 101, true);
    syncLinkPlayingRow(link, 101, true);
    syncLinkPlayingRow(link, 102, false);
    syncLinkPlayingRow(link, 103, true);
    const std::string expected = std::string("\3") + u32(101) + std::string("\3") + u32(103);
    ASSERT_TRUE(pumpUntil([&] { return editor.received.size() >= expected.size(); }));
    EXPECT_EQ(editor.received, expected);
}

TEST_F(SyncLinkTest, RetriesEverySecondAndAnEditorThatLeavesAndComesBackIsGreetedAgain) {
    // No editor yet: the attempt at time 0 is refused, and none follows
    // within the second.
    const uint16_t port = editor.port;
    editor.stopListening();
    syncLinkPoll(link, now, tracks);
    ASSERT_TRUE(pumpUntil([&] { return link.state == SyncLinkState::Waiting; }));
    editor.listen(port);
    now = 0.9;
    syncLinkPoll(link, now, tracks);
    EXPECT_EQ(link.state, SyncLinkState::Waiting);
    now = 1.0;
    handshake();

    editor.send(setKey(9, 3, 42.0f, 0));
    ASSERT_TRUE(pumpUntil([&] { return evaluateTrack(tracks, 9, 3.5f / trackTickRate(tracks)) == 42.0f; }));
    editor.hangUp();
    ASSERT_TRUE(pumpUntilEvents(1));
    EXPECT_EQ(events[0].kind, SyncEventKind::Disconnected);
    EXPECT_EQ(events[0].line, "disconnected from " + address + ": the editor closed the connection");
    EXPECT_FALSE(events[0].fault);
    EXPECT_EQ(evaluateTrack(tracks, 9, 3.5f / trackTickRate(tracks)), 42.0f);  // keys stay

    now = 2.0;
    handshake();
}

TEST_F(SyncLinkTest, EachMalformedMessageClosesWithItsLineAndTheNextConnectionWorks) {
    const struct {
        std::string bytes;
        const char* fault;
        bool cutShort = false;  // the editor goes away after these bytes
    } cases[] = {
        {"\x07", "unknown command byte 7"},
        {std::string("\2\0\0\0\1x", 6), "GET_TRACK (command 2) from the editor, which only the show sends"},
        {setKey(27, 0, 1.0f, 1), "SET_KEY for track 27, past the 27 tracks asked for"},
        {deleteKey(0xffffffffu, 0), "DELETE_KEY for track 4294967295, past the 27 tracks asked for"},
        {setKey(8, 0, 1.0f, 4), "SET_KEY with interpolation 4, which the editor never sends"},
        {setKey(8, 1344, 1.0f, 1), "SET_KEY at row 1344, past the timeline's 1344 rows"},
        {deleteKey(8, 5000), "DELETE_KEY at row 5000, past the timeline's 1344 rows"},
        {std::string("\3") + u32(1u << 20), "SET_ROW at row 1048576, past the timeline's 1344 rows"},
        {setKey(8, 7, INFINITY, 1), "SET_KEY at row 7 with a value that is not a finite number"},
        {setKey(8, 0, 1.0f, 1).substr(0, 9), "the connection ended inside SET_KEY (9 of 14 bytes)", true},
    };
    for (const auto& c : cases) {
        handshake();
        editor.send(c.bytes);
        if (c.cutShort) editor.hangUp();
        ASSERT_TRUE(pumpUntilEvents(1)) << c.fault;
        EXPECT_EQ(events[0].kind, SyncEventKind::Disconnected);
        EXPECT_EQ(events[0].line, "disconnected from " + address + ": " + c.fault);
        EXPECT_TRUE(events[0].fault);
        EXPECT_EQ(events.size(), 1u);
        // The show closed its side.
        if (editor.peer >= 0) {
            ASSERT_TRUE(pumpUntil([&] { return editor.peerClosed; })) << c.fault;
        }
        editor.hangUp();
        now += 1.0;
    }
    handshake();

    // An editor that resets the connection (closing with the show's bytes
    // unread) inside a message: the message cut short is still named.
    editor.send(setKey(8, 0, 1.0f, 1).substr(0, 9));
    ASSERT_TRUE(pumpUntil([&] { return link.session.reader.pendingSize == 9; }));
    const linger reset{1, 0};
    setsockopt(editor.peer, SOL_SOCKET, SO_LINGER, &reset, sizeof reset);
    editor.hangUp();
    ASSERT_TRUE(pumpUntilEvents(1));
    EXPECT_EQ(events[0].line, "disconnected from " + address + ": the connection ended inside SET_KEY (9 of 14 bytes)");
    EXPECT_TRUE(events[0].fault);
    now += 1.0;
    handshake();

    // A server whose greeting is not the editor's is left at once.
    editor.hangUp();
    ASSERT_TRUE(pumpUntilEvents(1));
    now += 1.0;
    ASSERT_TRUE(pumpUntil([&] { return editor.received.size() >= 19; }));
    events.clear();
    editor.send("hello, world");
    ASSERT_TRUE(pumpUntilEvents(1));
    EXPECT_EQ(events[0].line, "disconnected from " + address + ": the server's greeting is not a sync editor's");
    EXPECT_TRUE(events[0].fault);
}

TEST(SyncLinkAddress, NumericHostsOfEitherFamilyResolveAndAnythingElseIsOneLine) {
    SyncLink link;
    std::string error;
    const SyncLinkSetup setup{nullptr, kNames, 1344, "unused.rocket", nullptr, nullptr};
    EXPECT_TRUE(syncLinkInit(link, setup, error));  // the default, 127.0.0.1:1338
    EXPECT_STREQ(link.session.where, "127.0.0.1:1338");
    SyncLinkSetup v6 = setup;
    v6.address = "[::1]:1338";
    EXPECT_TRUE(syncLinkInit(link, v6, error));
    EXPECT_EQ(link.address.ss_family, AF_INET6);
    for (const char* bad : {"127.0.0.1", ":1338", "127.0.0.1:", "127.0.0.1:port"}) {
        SyncLinkSetup b = setup;
        b.address = bad;
        error.clear();
        EXPECT_FALSE(syncLinkInit(link, b, error)) << bad;
        EXPECT_EQ(error.rfind(std::string("sync: "), 0), 0u) << error;
        EXPECT_EQ(error.find('\n'), std::string::npos);
    }
}

}  // namespace
