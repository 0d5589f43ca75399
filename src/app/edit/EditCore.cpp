#include "app/edit/EditCore.h"

#include <cstdio>

#include "app/MusicClock.h"
#include "app/edit/TrailPreroll.h"
#include "content/scene/Show.h"

namespace {

uint64_t hashBytes(const uint8_t* bytes, size_t size, uint64_t hash) {
    for (size_t i = 0; i < size; ++i) hash = (hash ^ bytes[i]) * 1099511628211ull;
    return hash;
}

// Changes of keys the editor made while paused ask for a new picture.
uint64_t keysStamp(const TrackSet& set) {
    uint64_t hash = hashBytes(reinterpret_cast<const uint8_t*>(&set.tracks.count), 4, 1469598103934665603ull);
    for (uint32_t i = 0; i < set.tracks.count; ++i) {
        const GrowArray<Keyframe>& keys = set.tracks[i].keys;
        hash = hashBytes(reinterpret_cast<const uint8_t*>(&keys.count), 4, hash);
        if (keys.count)
            hash = hashBytes(reinterpret_cast<const uint8_t*>(keys.items), keys.count * sizeof(Keyframe), hash);
    }
    return hash;
}

uint64_t showEndFrame() {
    uint64_t end = uint64_t(kShowEndTime * kAudioSampleRate) + 1;
    while (end > 0 && showHasEnded(musicTimeFromFrames(uint32_t(end - 1)))) --end;
    return end;
}

void seekToFrame(EditCore& core, uint64_t frame) {
    core.song.seek(core.song.user, frame);
    core.redraw = true;
}

void say(EditCore& core, const char* line, bool fault = false) { core.say(core.sayUser, line, fault); }

void loopChanged(EditCore& core) {
    const Transport& t = core.transport;
    core.song.setLoop(core.song.user, transportLoopActive(t), transportFrameAtRow(t, t.loopStart),
                      transportFrameAtRow(t, t.loopEnd));
}

}  // namespace

void editCoreInit(EditCore& core, ShowSession& session, EditSong song, EditSay say, void* sayUser,
                  uint32_t prerollFrames) {
    core = EditCore{};
    core.session = &session;
    core.song = song;
    core.say = say;
    core.sayUser = sayUser;
    core.prerollFrames = prerollFrames;
    const TrackSet& tracks = session.show.tracks;
    transportInit(core.transport, tracks.beatsPerMinute, tracks.ticksPerBeat, showEndFrame());
    core.redraw = true;
    core.song.setPaused(core.song.user, false);
}

void editSeekToRow(EditCore& core, uint32_t row) {
    char line[64];
    syncSeekLine(line, sizeof line, row);
    say(core, line);
    seekToFrame(core, transportFrameAtRow(core.transport, row));
}

void editSetPaused(EditCore& core, bool paused) {
    if (paused == core.paused) return;
    core.paused = paused;
    core.song.setPaused(core.song.user, paused);
    core.keysStamp = keysStamp(core.session->show.tracks);
}

void editKey(EditCore& core, EditKey key, uint64_t position) {
    Transport& t = core.transport;
    const uint32_t row = transportRowAtFrame(t, position);
    switch (key) {
        case EditKey::PlayPause:
            editSetPaused(core, !core.paused);
            say(core, core.paused ? "paused" : "playing");
            return;
        case EditKey::BeatBack: return editSeekToRow(core, transportStepRow(t, row, -8));
        case EditKey::BeatOn: return editSeekToRow(core, transportStepRow(t, row, 8));
        case EditKey::RowBack: return editSeekToRow(core, transportStepRow(t, row, -1));
        case EditKey::RowOn: return editSeekToRow(core, transportStepRow(t, row, 1));
        case EditKey::PageBack: return editSeekToRow(core, transportStepRow(t, row, -64));
        case EditKey::PageOn: return editSeekToRow(core, transportStepRow(t, row, 64));
        case EditKey::Start: return editSeekToRow(core, 0);
        case EditKey::LoopStart:
            t.loopStart = row;
            t.loopStartSet = true;
            return loopChanged(core);
        case EditKey::LoopEnd:
            t.loopEnd = row;
            t.loopEndSet = true;
            return loopChanged(core);
        case EditKey::LoopClear:
            t.loopStartSet = t.loopEndSet = false;
            return loopChanged(core);
    }
}

void editSyncEvent(void* user, const SyncEvent& event) {
    EditCore& core = *static_cast<EditCore*>(user);
    switch (event.kind) {
        case SyncEventKind::Seek: return editSeekToRow(core, transportStepRow(core.transport, event.row, 0));
        case SyncEventKind::Paused:
        case SyncEventKind::Playing:
            say(core, event.line);
            return editSetPaused(core, event.kind == SyncEventKind::Paused);
        default: say(core, event.line, event.fault);
    }
}

void editRedraw(EditCore& core) { core.redraw = true; }

EditFrame editFrame(EditCore& core, uint64_t position, double now, SyncSession* sync) {
    // The song looped by itself: the trail is built again at the loop's start.
    if (!core.paused && position < core.lastPosition) core.redraw = true;
    uint64_t to = 0;
    if (!core.paused && transportLoopWrap(core.transport, position, to)) {
        seekToFrame(core, to);
        position = to;
    } else if (!core.paused && position >= core.transport.endFrame) {
        position = core.transport.endFrame - 1;
        core.song.seek(core.song.user, position);
        editSetPaused(core, true);
        say(core, "paused");
    }
    if (core.paused) {
        const uint64_t stamp = keysStamp(core.session->show.tracks);
        if (stamp != core.keysStamp) {
            core.quick = true;
            core.settleAt = now + kEditSettleSeconds;
        }
        core.keysStamp = stamp;
        if (core.settleAt > 0.0 && now >= core.settleAt) core.redraw = true;
    }
    core.lastPosition = position;
    EditFrame frame{position, transportRowAtFrame(core.transport, position), musicTimeFromFrames(uint32_t(position)),
                    false, false};
    if (sync) syncSessionPlayingRow(*sync, frame.row, !core.paused);

    // Paused, the picture holds: it is drawn again only when asked.
    frame.drawn = core.redraw || core.quick || !core.paused;
    if (core.redraw || !core.paused) {
        if (core.redraw)
            prerollTrail(*core.session, core.prerollFrames, core.frameIndex, frame.time, core.previousTime);
        drawShowSessionFrame(*core.session, core.frameIndex++, frame.time, frame.time - core.previousTime);
        core.previousTime = frame.time;
        core.settleAt = 0.0;
    } else if (core.quick) {
        drawHoldingTrail(*core.session, core.frameIndex, frame.time);
        frame.trailHeld = true;
    }
    core.redraw = core.quick = false;
    return frame;
}

void editStatusLine(const EditCore& core, const EditFrame& frame, float fps, const char* connection, bool shaderError,
                    char* out, size_t size) {
    char loop[48] = "no loop";
    const Transport& t = core.transport;
    if (t.loopStartSet || t.loopEndSet) {
        char start[12] = "?";
        char end[12] = "?";
        if (t.loopStartSet) std::snprintf(start, sizeof start, "%u", t.loopStart);
        if (t.loopEndSet) std::snprintf(end, sizeof end, "%u", t.loopEnd);
        std::snprintf(loop, sizeof loop, "loop %s-%s%s", start, end, transportLoopActive(t) ? "" : " (off)");
    }
    std::snprintf(out, size, "row %u | %.2f s | %.1f fps | %s | %s%s%s", frame.row, double(frame.time), double(fps),
                  connection, loop, core.paused ? " | paused" : "", shaderError ? " | shader error" : "");
}
