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
std::vector<SyncMessage> readAll(const Bytes& bytes, size_t piece, std::string* fault = nullptr,
                                 uint32_t tracks = 27, uint32_t rows = 1344) {
    SyncReader reader;
    syncReaderInit(reader, tracks, rows);
    std::vector<SyncMessage> messages;
    for (size_t start = 0; start < bytes.size(); start += piece) {
        const size_t size = std::min(piece, bytes.size() - start);
        size_t used = 0;
        while (used < size) {
            SyncMessage m;
            const SyncReadResult r = syncRead(reader, bytes.data() + start + used, size - used, used, m);
            if (r == SyncReadResult::Fault) {
                if (fault) *fault = reader.fault;
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
        const std::vector<SyncMessage> m = readAll(stream, piece, &fault);
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

TEST(SyncReader, EachMalformedMessageIsOneFaultNamingIt) {
    const float inf = 1.0f / 0.0f;
    const struct {
        Bytes bytes;
        const char* fault;
    } cases[] = {
        {Bytes{9}, "unknown command byte 9"},
        {Bytes{2, 0, 0, 0, 1, 'x'}, "GET_TRACK (command 2) from the editor, which only the show sends"},
        {setKey(27, 0, 1.0f, 0), "SET_KEY for track 27, past the 27 tracks asked for"},
        {deleteKey(0xffffffffu, 0), "DELETE_KEY for track 4294967295, past the 27 tracks asked for"},
        {setKey(3, 0, 1.0f, 4), "SET_KEY with interpolation 4, which the editor never sends"},
        {setKey(3, 1344, 1.0f, 1), "SET_KEY at row 1344, past the timeline's 1344 rows"},
        {deleteKey(3, 5000), "DELETE_KEY at row 5000, past the timeline's 1344 rows"},
        {rowMessage(3, 1344), "SET_ROW at row 1344, past the timeline's 1344 rows"},
        {setKey(3, 7, inf, 1), "SET_KEY at row 7 with a value that is not a finite number"},
    };
    for (const auto& c : cases) {
        // After a good message, and with a good one behind it that the
        // reader must no longer take.
        const Bytes stream = Bytes{5} + c.bytes + Bytes{4, 1};
        std::string fault;
        const std::vector<SyncMessage> m = readAll(stream, stream.size(), &fault);
        EXPECT_EQ(m.size(), 1u) << c.fault;
        EXPECT_EQ(fault, c.fault);
    }
}

TEST(SyncReader, AMessageCutShortIsTruncatedOnlyInsideIt) {
    SyncReader reader;
    syncReaderInit(reader, 27, 1344);
    const Bytes key = setKey(1, 2, 3.0f, 1);
    size_t used = 0;
    SyncMessage m;
    EXPECT_EQ(syncRead(reader, key.data(), key.size(), used, m), SyncReadResult::Message);
    EXPECT_FALSE(syncReaderTruncated(reader));
    used = 0;
    EXPECT_EQ(syncRead(reader, key.data(), 5, used, m), SyncReadResult::NeedMore);
    EXPECT_EQ(used, 5u);
    EXPECT_TRUE(syncReaderTruncated(reader));
    EXPECT_STREQ(reader.fault, "the connection ended inside SET_KEY (5 of 14 bytes)");
}

TEST(SyncWriter, TheShowsMessagesGoOutWholeAndBigEndian) {
    static SyncOutbox out;
    out.size = 0;
    ASSERT_TRUE(syncWriteGreeting(out));
    ASSERT_TRUE(syncWriteGetTrack(out, "bg_transp", 9));
    ASSERT_TRUE(syncWriteSetRow(out, 0x01020304));
    const std::string expected = std::string("hello, synctracker!") + std::string("\x02\0\0\0\x09", 5) + "bg_transp" +
                                 std::string("\x03\x01\x02\x03\x04", 5);
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(out.bytes), out.size), expected);

    // Names the editor would drop us for are never sent.
    EXPECT_FALSE(syncWriteGetTrack(out, "", 0));
    EXPECT_FALSE(syncWriteGetTrack(out, "a\0b", 3));
    EXPECT_EQ(out.size, expected.size());

    // A full outbox takes nothing rather than part of a message.
    out.size = kSyncOutboxSize - 4;
    EXPECT_FALSE(syncWriteSetRow(out, 1));
    EXPECT_FALSE(syncWriteGetTrack(out, "ab", 2));
    EXPECT_EQ(out.size, kSyncOutboxSize - 4);
}

}  // namespace
