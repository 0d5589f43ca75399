// Sequencing: tick lengths, row order, jumps and breaks, pattern loops, row
// visits and the silence after the loop limit.
#include "PlayerFixture.h"

using namespace xmtest;

namespace {

// Which (order position, row) channel 0 read on the last row start; row -1
// stands for a row outside every pattern's cells.
struct RowPosition {
    int order;
    int row;
};

int rowOfCell(const ModulePlayer* player, const Cell* cell) {
    for (uint32_t p = 0; p < player->patternCount; ++p) {
        const Pattern& pattern = player->patterns[p];
        uint64_t cells = uint64_t(pattern.rowCount) * player->channelCount;
        if (cell >= pattern.cells && cell < pattern.cells + cells) return int((cell - pattern.cells) / player->channelCount);
    }
    return -1;
}

// Plays `rows` rows (whole rows, pattern delays included) and lists the rows
// read.
std::vector<RowPosition> playRows(ModulePlayer* player, uint32_t rows) {
    std::vector<RowPosition> played;
    while (played.size() < rows) {
        bool rowStart = player->tick == 0;
        runTick(player);
        if (rowStart) played.push_back(RowPosition{-1, rowOfCell(player, player->channels[0].cell)});
    }
    return played;
}

std::vector<int> rowsOnly(const std::vector<RowPosition>& positions) {
    std::vector<int> rows;
    for (const RowPosition& p : positions) rows.push_back(p.row);
    return rows;
}

// Frames between consecutive ticks, measured through generateFrames.
std::vector<uint32_t> tickLengths(ModulePlayer* player, uint32_t ticks) {
    std::vector<uint32_t> lengths;
    float frame[2];
    uint32_t sinceTick = 0;
    float previous = player->samplesLeftInTick;
    while (lengths.size() < ticks) {
        generateFrames(player, frame, 1);
        // A tick ran when the counter went up instead of down.
        if (player->samplesLeftInTick > previous && sinceTick > 0) {
            lengths.push_back(sinceTick);
            sinceTick = 0;
        }
        ++sinceTick;
        previous = player->samplesLeftInTick;
    }
    return lengths;
}

SongBuilder soundingSong(uint16_t rows, uint16_t tempo, uint16_t bpm) {
    SongBuilder song(1, rows);
    song.module.tempo = tempo;
    song.module.bpm = bpm;
    song.addInstrument(constantSample(64));
    song.cell(0, 0) = XmCell{49, 1, 0, 0, 0};
    return song;
}

}  // namespace

TEST(TickLength, Bpm125GivesExactly882Frames) {
    SongBuilder song = soundingSong(64, 6, 125);
    PlayerPtr player = loadPlayer(song.bytes());
    for (uint32_t length : tickLengths(player.get(), 40)) EXPECT_EQ(length, 882u);
}

TEST(TickLength, Bpm170AlternatesAndCarriesTheFraction) {
    SongBuilder song = soundingSong(64, 3, 170);
    PlayerPtr player = loadPlayer(song.bytes());
    std::vector<uint32_t> lengths = tickLengths(player.get(), 1000);
    EXPECT_EQ(lengths[0], 649u);
    uint64_t total = 0;
    for (uint32_t length : lengths) {
        EXPECT_TRUE(length == 648 || length == 649) << length;
        total += length;
    }
    // 1000 ticks of 648.5294 frames on average.
    EXPECT_NEAR(double(total), 648529.4, 1.5);
}

TEST(TickLength, ChangesWithTheRate) {
    SongBuilder song = soundingSong(64, 6, 125);
    PlayerPtr player = loadPlayer(song.bytes(), 48000);
    for (uint32_t length : tickLengths(player.get(), 10)) EXPECT_EQ(length, 960u);
}

TEST(TickLength, BpmZeroNeverEndsTheFirstTick) {
    SongBuilder song = soundingSong(64, 6, 0);
    PlayerPtr player = loadPlayer(song.bytes());
    std::vector<float> out = render(player.get(), 100000);
    EXPECT_EQ(player->tick, 1);
    EXPECT_EQ(player->row, 1);
    EXPECT_NE(out[2 * 99999], 0.0f);  // the first row's note keeps playing
}

TEST(TickLength, RateZeroStaysDefined) {
    SongBuilder song = soundingSong(4, 1, 125);
    PlayerPtr player = loadPlayer(song.bytes(), 0);
    std::vector<float> out = render(player.get(), 5000);
    EXPECT_EQ(player->channels[0].step, 0.0f);
    for (float v : out) ASSERT_FALSE(std::isnan(v));
}

TEST(Rows, TempoZeroStartsARowEveryTick) {
    SongBuilder song = soundingSong(8, 0, 125);
    song.cell(1, 0) = XmCell{0, 0, 0, 0x0A, 0x0F};  // a slide that would run on later ticks
    PlayerPtr player = loadPlayer(song.bytes());
    runTicks(player.get(), 3);
    EXPECT_EQ(player->row, 3);
    EXPECT_EQ(player->channels[0].volume, 1.0f);
}

TEST(Rows, SpeedCommand) {
    SongBuilder song = soundingSong(8, 6, 125);
    song.cell(0, 0).effect = 0x0F;
    song.cell(0, 0).param = 0x1F;
    song.cell(1, 0) = XmCell{0, 0, 0, 0x0F, 0x20};
    song.cell(2, 0) = XmCell{0, 0, 0, 0x0F, 0x00};
    PlayerPtr player = loadPlayer(song.bytes());
    runTick(player.get());
    EXPECT_EQ(player->tempo, 31);
    runTicks(player.get(), 31);
    EXPECT_EQ(player->bpm, 32);
    EXPECT_EQ(player->tempo, 31);
    runTicks(player.get(), 31);
    EXPECT_EQ(player->bpm, 32);
    EXPECT_EQ(player->tempo, 31);
}

TEST(Rows, PatternDelayRepeatsTheRowsTicks) {
    SongBuilder song = soundingSong(8, 3, 125);
    song.cell(1, 0) = XmCell{0, 0, 0, 0x0E, 0xE2};
    PlayerPtr player = loadPlayer(song.bytes());
    runTicks(player.get(), 3);  // row 0
    runTick(player.get());      // row 1 starts, delay of 2 x 3 ticks
    EXPECT_EQ(player->patternDelayTicks, 6);
    runTicks(player.get(), 8);
    EXPECT_EQ(player->row, 2);  // row 2 not read yet
    runTick(player.get());
    EXPECT_EQ(player->row, 3);
}

TEST(Rows, BreakJumpAndTheirCombination) {
    SongBuilder song(2, 32);
    song.module.tempo = 1;
    uint32_t second = song.addPattern(32);
    uint32_t third = song.addPattern(32);
    song.module.orders = {0, uint8_t(second), uint8_t(third)};
    song.cell(0, 0) = XmCell{0, 0, 0, 0x0D, 0x12};           // D12: row 12 of the next position
    song.cell(12, 0, second) = XmCell{0, 0, 0, 0x0D, 0x1F};  // D1F: row 25
    song.cell(25, 0, third) = XmCell{0, 0, 0, 0x0B, 0x01};   // B01 with D05 next to it
    song.cell(25, 1, third) = XmCell{0, 0, 0, 0x0D, 0x05};
    song.cell(5, 0, second) = XmCell{0, 0, 0, 0x0B, 0x03};   // beyond the song: ignored
    PlayerPtr player = loadPlayer(song.bytes());
    std::vector<RowPosition> rows = playRows(player.get(), 1);
    EXPECT_EQ(player->orderIndex, 0);
    rows = playRows(player.get(), 1);
    EXPECT_EQ(rows[0].row, 12);
    EXPECT_EQ(player->orderIndex, 1);
    rows = playRows(player.get(), 1);
    EXPECT_EQ(player->orderIndex, 2);
    EXPECT_EQ(rows[0].row, 25);
    rows = playRows(player.get(), 1);
    EXPECT_EQ(player->orderIndex, 1);
    EXPECT_EQ(rows[0].row, 5);
    rows = playRows(player.get(), 1);
    EXPECT_EQ(rows[0].row, 6);
}

TEST(Rows, PatternLoopPlaysThreeTimesAndMovesTheNextPatternsStart) {
    SongBuilder song(1, 12);
    song.module.tempo = 1;
    uint32_t next = song.addPattern(12);
    song.module.orders = {0, uint8_t(next)};
    song.cell(8, 0) = XmCell{0, 0, 0, 0x0E, 0x60};
    song.cell(10, 0) = XmCell{0, 0, 0, 0x0E, 0x62};
    PlayerPtr player = loadPlayer(song.bytes());
    std::vector<int> rows = rowsOnly(playRows(player.get(), 12 + 6 + 2));
    std::vector<int> expected = {0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 8, 9, 10, 8, 9, 10, 11, 8, 9};
    EXPECT_EQ(rows, expected);
    EXPECT_EQ(player->orderIndex, 1);
}

TEST(Rows, MissingPatternsZeroRowPatternsAndRowsBeyondTheEnd) {
    SongBuilder song(1, 4);
    song.module.tempo = 1;
    uint32_t none = song.addPattern(0);
    uint32_t shortOne = song.addPattern(2);
    song.module.orders = {0, uint8_t(none), 9, uint8_t(shortOne), 0};
    song.cell(3, 0) = XmCell{0, 0, 0, 0x0D, 0x00};
    song.cell(1, 0, shortOne) = XmCell{0, 0, 0, 0x0D, 0x07};  // pattern 0 has only 4 rows
    PlayerPtr player = loadPlayer(song.bytes());
    std::vector<int> rows = rowsOnly(playRows(player.get(), 4 + 1 + 64 + 2 + 1 + 1));
    std::vector<int> expected = {0, 1, 2, 3, -1};
    expected.insert(expected.end(), 64, -1);  // pattern 9 does not exist: 64 empty rows
    expected.insert(expected.end(), {0, 1, -1, 0});
    EXPECT_EQ(rows, expected);
}

TEST(Rows, RestartOutsideTheSongAndEmptySongsStayInside) {
    SongBuilder song = soundingSong(2, 1, 125);
    song.module.orders = {0, 0};
    song.module.restart = 7;  // beyond the two positions: position 0
    PlayerPtr player = loadPlayer(song.bytes());
    setMaxLoops(player.get(), 1);
    runTicks(player.get(), 4);
    EXPECT_EQ(player->orderIndex, 0);
    runTick(player.get());
    EXPECT_EQ(player->loopCount, 1);

    song.module.songLengthOverride = 0;
    player = loadPlayer(song.bytes());
    setMaxLoops(player.get(), 1);
    std::vector<float> out = render(player.get(), 882 * 20);
    EXPECT_EQ(player->orderIndex, 0);
    EXPECT_EQ(player->loopCount, 0);  // no counters: never taken as looped
    EXPECT_NE(out[out.size() - 2], 0.0f);
}

TEST(RowVisits, MaxLoopsSilencesAtTheFirstRepeatedRow) {
    SongBuilder song = soundingSong(4, 1, 125);
    uint32_t second = song.addPattern(4);
    song.cell(0, 0, second) = XmCell{0, 0, 0, 0, 0};
    song.module.orders = {0, uint8_t(second)};
    song.module.restart = 1;
    PlayerPtr player = loadPlayer(song.bytes());
    setMaxLoops(player.get(), 1);
    // Eight rows of one 882-frame tick, then position 1 comes round again.
    std::vector<float> out = render(player.get(), 8 * 882 + 50000);
    EXPECT_NE(out[2 * (8 * 882 - 1)], 0.0f);
    for (size_t i = 2 * 8 * 882; i < out.size(); ++i) ASSERT_EQ(bitsOf(out[i]), 0u) << i;
    // Ticks keep running in the silence and the voice stays where it was.
    EXPECT_GT(player->rowVisits[1 * 256 + 0], 2);
    float position = player->channels[0].position;
    render(player.get(), 1000);
    EXPECT_EQ(player->channels[0].position, position);
}

TEST(RowVisits, LoopedRowsCountOnceAndCountersSaturate) {
    SongBuilder song = soundingSong(4, 1, 125);
    song.cell(1, 0) = XmCell{0, 0, 0, 0x0E, 0x60};
    song.cell(2, 0) = XmCell{0, 0, 0, 0x0E, 0x63};
    PlayerPtr player = loadPlayer(song.bytes());
    setMaxLoops(player.get(), 1);
    runTicks(player.get(), 4 + 3 * 2);
    EXPECT_EQ(player->rowVisits[1], 1);
    EXPECT_EQ(player->rowVisits[2], 1);
    EXPECT_EQ(player->loopCount, 0);

    // 300 passes without a limit: the counters stop at 255. (The E60 leaves
    // the pass after the loop starting at row 1.)
    setMaxLoops(player.get(), 0);
    runTicks(player.get(), 300 * 10);
    EXPECT_EQ(player->rowVisits[0], 1);
    EXPECT_EQ(player->rowVisits[1], 255);
    EXPECT_EQ(player->rowVisits[3], 255);
    setMaxLoops(player.get(), 255);
    runTicks(player.get(), 4);
    EXPECT_EQ(player->loopCount, 255);
}
