// libFuzzer target: any bytes from an editor through the sync message
// reader, as one piece and again in pieces whose sizes come from the input,
// with every message applied to a set of tracks. Besides the sanitizers'
// checks it traps when the two readings disagree, when a message breaks a
// promise of the reader (a track past the ones asked for, a row past the
// bound, an interpolation the editor never sends, a value that is not
// finite), when a fault line is empty or holds a newline, when a faulted
// reader takes more, and when the keys of a track stop being ascending.
#include <cmath>
#include <cstdint>
#include <cstring>
#include <vector>

#include "anim/TrackSet.h"
#include "edit/SyncMessages.h"

namespace {

constexpr uint32_t kTracks = 5;
constexpr uint32_t kRows = 4096;

struct Reading {
    std::vector<SyncMessage> messages;
    bool faulted = false;
    bool truncated = false;
};

void checkMessage(const SyncMessage& m) {
    switch (m.command) {
        case SyncCommand::SetKey:
            if (m.interpolation >= kSyncInterpolationCount || !std::isfinite(m.value)) __builtin_trap();
            [[fallthrough]];
        case SyncCommand::DeleteKey:
            if (m.track >= kTracks) __builtin_trap();
            [[fallthrough]];
        case SyncCommand::SetRow:
            if (m.row >= kRows) __builtin_trap();
            break;
        case SyncCommand::Pause:
        case SyncCommand::SaveTracks: break;
        default: __builtin_trap();
    }
}

void checkFault(const SyncReader& reader) {
    const size_t length = strnlen(reader.fault, sizeof reader.fault);
    if (length == 0 || length == sizeof reader.fault || std::memchr(reader.fault, '\n', length)) __builtin_trap();
}

// pieces == nullptr: the whole input at once.
Reading read(const uint8_t* data, size_t size, const uint8_t* pieces, size_t pieceCount) {
    SyncReader reader;
    syncReaderInit(reader, kTracks, kRows);
    Reading out;
    size_t at = 0, next = 0;
    while (at < size && !out.faulted) {
        size_t piece = size - at;
        if (pieces) piece = std::min<size_t>(piece, 1 + pieces[next++ % pieceCount] % 17);
        size_t used = 0;
        while (used < piece) {
            SyncMessage m;
            const size_t before = used;
            const SyncReadResult r = syncRead(reader, data + at + used, piece - used, used, m);
            if (used <= before || used > piece) __builtin_trap();  // always progress, never past the end
            if (r == SyncReadResult::Fault) {
                checkFault(reader);
                out.faulted = true;
                size_t none = 0;
                if (syncRead(reader, data, size, none, m) != SyncReadResult::Fault || none != 0) __builtin_trap();
                break;
            }
            if (r == SyncReadResult::Message) {
                checkMessage(m);
                out.messages.push_back(m);
            }
        }
        at += piece;
    }
    if (!out.faulted && syncReaderTruncated(reader)) {
        checkFault(reader);
        out.truncated = true;
    }
    return out;
}

bool sameMessages(const Reading& a, const Reading& b) {
    if (a.faulted != b.faulted || a.truncated != b.truncated || a.messages.size() != b.messages.size()) return false;
    for (size_t i = 0; i < a.messages.size(); ++i) {
        const SyncMessage& x = a.messages[i];
        const SyncMessage& y = b.messages[i];
        if (x.command != y.command || x.track != y.track || x.row != y.row || x.interpolation != y.interpolation ||
            x.pause != y.pause || std::memcmp(&x.value, &y.value, sizeof x.value) != 0)
            return false;
    }
    return true;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    // The first bytes choose the pieces of the second reading.
    const size_t pieceCount = size ? 1 + data[0] % 8 : 0;
    if (size < 1 + pieceCount) return 0;
    const uint8_t* pieces = data + 1;
    data += 1 + pieceCount;
    size -= 1 + pieceCount;

    const Reading whole = read(data, size, nullptr, 0);
    const Reading split = read(data, size, pieces, pieceCount);
    if (!sameMessages(whole, split)) __builtin_trap();

    TrackSet set;
    if (!trackSetInit(set) || !trackSetResize(set, kTracks)) __builtin_trap();
    for (const SyncMessage& m : whole.messages) {
        if (m.command == SyncCommand::SetKey) trackSetKey(set, m.track, m.row, m.value, m.interpolation);
        if (m.command == SyncCommand::DeleteKey) trackDeleteKey(set, m.track, m.row);
    }
    for (uint32_t t = 0; t < kTracks; ++t) {
        const GrowArray<Keyframe>& keys = set.tracks[t].keys;
        for (uint32_t k = 1; k < keys.count; ++k)
            if (keys[k].tick <= keys[k - 1].tick) __builtin_trap();
    }
    trackSetDestroy(set);
    return 0;
}
