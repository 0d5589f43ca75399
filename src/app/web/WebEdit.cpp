// The page's edit mode, the C++ half: edit mode's core over the page's show,
// and the sync editor's conversation, whose bytes the page carries over a
// WebSocket (the greeting one text message each way, then one binary
// message per command). The page owns the song and the socket; the core
// asks it to seek and pause through the page's hooks (Module.thawEdit).
#include <emscripten/emscripten.h>

#include <cstdio>
#include <cstring>
#include <string>

#include "Orrery/gfx/Gles.h"
#include "Orrery/gfx/GraphRuntime.h"
#include "app/edit/EditCore.h"
#include "app/web/WebShow.h"
#include "content/timeline/ShowParameters.h"
#include "content/timeline/TimelineFile.h"
#include "content/timeline/TimelineTables.h"
#include "edit/SyncSession.h"

EM_JS(void, pageSeek, (double frame), { Module.thawEdit.seek(frame); });
EM_JS(void, pagePause, (int paused), { Module.thawEdit.pause(paused !== 0); });
EM_JS(void, pageLoop, (int on, double start, double end), { Module.thawEdit.loop(on !== 0, start, end); });
EM_JS(void, pageSay, (const char* line, int fault), { Module.thawEdit.say(UTF8ToString(line), fault !== 0); });
EM_JS(void, pageOfferDownload, (const char* name, const char* text, size_t size),
      { Module.thawEdit.download(UTF8ToString(name), UTF8ToString(text, size)); });

namespace {

constexpr char kDownloadName[] = "thawline.rocket";
// Each command is one message of at most 14 bytes; an editor may put several
// in one. Past this a message is refused before it is read.
constexpr size_t kLongestMessage = 1 << 16;

struct WebEdit {
    EditCore core;
    SyncSession sync;
    EditFrame frame;
    uint8_t message[kSyncOutboxSize];  // the next message for the page to send
    char status[256];
};

WebEdit edit = {};

void seek(void*, uint64_t frame) { pageSeek(double(frame)); }
void pause(void*, bool paused) { pagePause(paused ? 1 : 0); }
void loop(void*, bool on, uint64_t start, uint64_t end) { pageLoop(on ? 1 : 0, double(start), double(end)); }
void say(void*, const char* line, bool fault) { pageSay(line, fault ? 1 : 0); }

bool offerDownload(void*, const TrackSet& tracks, uint32_t rows, TrackNames names, std::string& where,
                   std::string& error) {
    where = kDownloadName;
    std::string text;
    if (!formatTimeline(tracks, rows, names, text, error)) return false;
    pageOfferDownload(kDownloadName, text.data(), text.size());
    return true;
}

// A refused connection: the line goes out; the page closes the socket.
int refuse(const char* why) {
    syncSessionClosed(edit.sync, why, true);
    return 1;
}

}  // namespace

extern "C" {

// Edit mode on the show the page built, its sync editor at `where` (the
// WebSocket's address, for the lines). The song is playing from frame 0.
EMSCRIPTEN_KEEPALIVE void thaw_web_edit_begin(uint32_t prerollFrames, const char* where) {
    editCoreInit(edit.core, web.session, EditSong{nullptr, seek, pause, loop}, say, nullptr, prerollFrames);
    const SyncSessionSetup setup{TrackNames{kShowParameterNames, kShowParameterCount}, kTimelineRows,
                                 editSyncEvent, &edit.core, offerDownload, nullptr};
    syncSessionInit(edit.sync, setup, where);
}

// A transport key (EditKey's number) at the song's played frame.
EMSCRIPTEN_KEEPALIVE void thaw_web_edit_key(int key, uint32_t position) {
    if (key >= 0 && key <= int(EditKey::LoopClear)) editKey(edit.core, EditKey(key), position);
}

// One frame at the song's played frame, shown on the canvas when drawn.
// 1 when a new picture was drawn, 0 when the last one stands (paused).
EMSCRIPTEN_KEEPALIVE int thaw_web_edit_frame(uint32_t position, int width, int height) {
    edit.frame = editFrame(edit.core, position, emscripten_get_now() / 1000.0, &edit.sync);
    if (!edit.frame.drawn) return 0;
    Orrery::Gfx::glesPresent(*web.session.show.runtime->outputTexture, 0, width, height);
    return 1;
}

// The last frame's song frame and row.
EMSCRIPTEN_KEEPALIVE double thaw_web_edit_position() { return double(edit.frame.position); }
EMSCRIPTEN_KEEPALIVE uint32_t thaw_web_edit_row() { return edit.frame.row; }
EMSCRIPTEN_KEEPALIVE int thaw_web_edit_paused() { return edit.core.paused ? 1 : 0; }
// 1 when the last picture is exact: no picture with the trail held awaits
// its trail.
EMSCRIPTEN_KEEPALIVE int thaw_web_edit_settled() { return edit.core.settleAt == 0.0 && !edit.frame.trailHeld ? 1 : 0; }

EMSCRIPTEN_KEEPALIVE const char* thaw_web_edit_status(float fps, const char* connection) {
    editStatusLine(edit.core, edit.frame, fps, connection, false, edit.status, sizeof edit.status);
    return edit.status;
}

// The screen's pixels, for the tests' read-back. 0 on a GL error.
EMSCRIPTEN_KEEPALIVE int thaw_web_read_screen(uint8_t* pixels) { return readScreen(pixels) ? 1 : 0; }

// The socket opened: the greeting waits to be sent.
EMSCRIPTEN_KEEPALIVE void thaw_web_sync_open() { syncSessionOpen(edit.sync); }

// The next message to send, copied to thaw_web_sync_message(); its size,
// 0 when nothing waits. The first after opening is the greeting (text).
EMSCRIPTEN_KEEPALIVE uint32_t thaw_web_sync_next() {
    const size_t size = syncOutboxNextMessage(edit.sync.outbox);
    std::memcpy(edit.message, edit.sync.outbox.bytes, size);
    syncOutboxDrop(edit.sync.outbox, size);
    return uint32_t(size);
}

EMSCRIPTEN_KEEPALIVE const uint8_t* thaw_web_sync_message() { return edit.message; }

// A message from the editor (`text`: a text message, which only the
// greeting may be). 0 when taken; 1 when it refused the connection, which
// the page then closes (the line has gone out).
EMSCRIPTEN_KEEPALIVE int thaw_web_sync_receive(const uint8_t* data, uint32_t size, int text) {
    SyncSession& s = edit.sync;
    char why[160];
    if (size > kLongestMessage) {
        std::snprintf(why, sizeof why, "a message of %u bytes, past the %zu a message may hold", size,
                      kLongestMessage);
        return refuse(why);
    }
    if (s.state == SyncSessionState::Greeting) {
        size_t used = 0;
        if (!text) return refuse("a binary message where the greeting (a text message) was due");
        if (syncSessionGreet(s, data, size, used) == SyncTake::Fault || used != size ||
            s.state != SyncSessionState::Connected)
            return refuse("the server's greeting is not a sync editor's");
        return 0;
    }
    if (text) return refuse("a text message after the greeting");
    if (syncSessionReceive(s, data, size, web.session.show.tracks) == SyncTake::Fault) return refuse(s.fault);
    if (syncReaderTruncated(s.reader, "a message ended")) return refuse(s.reader.fault);
    return 0;
}

// The socket closed by the editor or the network; `why` for the line.
EMSCRIPTEN_KEEPALIVE void thaw_web_sync_closed(const char* why) { syncSessionClosed(edit.sync, why, false); }

// 0 closed, 1 greeting, 2 connected.
EMSCRIPTEN_KEEPALIVE int thaw_web_sync_state() { return int(edit.sync.state); }

}  // extern "C"
