#include "edit/SyncMessages.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

namespace {

using Bytes = std::vector<uint8_t>;

void putU32(Bytes& b, uint32_t v) {
    for (int shift = 24; shift >= 0; shift -= 8) b.push_back(uint8_t(v >> shift));
}

Bytes setKey(uint32_t track, uint32_t row, float value, uint8_t interpolation) {
    Bytes b{0};
    putU32(b, track);
    putU32(b, row);
    uint32_t bits;
    std::memcpy(&bits, &value, 4);
    putU32(b, bits);
    b.push_back(interpolation);
    return b;
}

Bytes rowMessage(uint8_t command, uint32_t row) {
    Bytes b{command};
    putU32(b, row);
    return b;
}

Bytes deleteKey(uint32_t track, uint32_t row) {
    Bytes b{1};
    putU32(b, track);
    putU32(b, row);
    return b;
}

Bytes operator+(Bytes a, const Bytes& b) {
    a.insert(a.end(), b.begin(), b.end());
    return a;
}

// Feeds `bytes` in pieces of `piece` bytes and collects the messages, or the
// fault line.
std::vector<SyncMessage> readAll(const Bytes& bytes, size_t piece, std::string& fault) {
    SyncReader reader;
    syncReaderInit(reader, 27, 1344);
    std::vector<SyncMessage> messages;
    for (size_t start = 0; start < bytes.size(); start += piece) {
        const size_t size = std::min(piece, bytes.size() - start);
        size_t used = 0;
        while (used < size) {
            SyncMessage m;
            const SyncReadResult r = syncRead(reader, bytes.data() + start + used, size - used, used, m);
            if (r == SyncReadResult::Fault) {
                fault = reader.fault;
                return messages;
            }
            if (r == SyncReadResult::Message) messages.push_back(m);
        }
    }
    return messages;
}

TEST(SyncReader, WholeCommandsWhateverPiecesTheBytesArriveIn) {
    const Bytes stream = setKey(26, 0x0102, -2.5f, 3) + deleteKey(8, 1343) + rowMessage(3, 0x00010203 % 1344) +
                         Bytes{4, 1} + Bytes{4, 0} + Bytes{5} + setKey(0, 0, 1e-30f, 0);
    for (size_t piece = 1; piece <= stream.size(); ++piece) {
        std::string fault;
        const std::vector<SyncMessage> m = readAll(stream, piece, fault);
        ASSERT_EQ(m.size(), 7u) << "pieces of " << piece << ": " << fault;
        EXPECT_EQ(m[0].command, SyncCommand::SetKey);
        EXPECT_EQ(m[0].track, 26u);
        EXPECT_EQ(m[0].row, 0x0102u);
        EXPECT_EQ(m[0].value, -2.5f);
        EXPECT_EQ(m[0].interpolation, 3);
        EXPECT_EQ(m[1].command, SyncCommand::DeleteKey);
        EXPECT_EQ(m[1].track, 8u);
        EXPECT_EQ(m[1].row, 1343u);
        EXPECT_EQ(m[2].command, SyncCommand::SetRow);
        EXPECT_EQ(m[2].row, 0x00010203u % 1344);
        EXPECT_EQ(m[3].command, SyncCommand::Pause);
        EXPECT_TRUE(m[3].pause);
        EXPECT_FALSE(m[4].pause);
        EXPECT_EQ(m[5].command, SyncCommand::SaveTracks);
        EXPECT_EQ(m[6].value, 1e-30f);
    }
}

TEST(SyncWriter, NamesTheEditorRefusesAndMessagesWithoutRoomAreNotSent) {
    static SyncOutbox out;
    out.size = 0;
    EXPECT_FALSE(syncWriteGetTrack(out, "", 0));
    EXPECT_FALSE(syncWriteGetTrack(out, "a\0b", 3));
    EXPECT_EQ(out.size, 0u);
    // A full outbox takes nothing rather than part of a message.
    out.size = kSyncOutboxSize - 4;
    EXPECT_FALSE(syncWriteSetRow(out, 1));
    EXPECT_FALSE(syncWriteGetTrack(out, "ab", 2));
    EXPECT_EQ(out.size, kSyncOutboxSize - 4);
}

}  // namespace
