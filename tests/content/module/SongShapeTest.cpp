// The embedded song has the shape the show's timeline is written against.
#include <gtest/gtest.h>

#include <cstring>
#include <vector>

#include "XmLayout.h"
#include "content/module/SongModule.h"

namespace {

XmLayout loadEmbedded() {
  XmLayout layout;
  std::string why;
  EXPECT_TRUE(parseXmLayout(kSongModule, kSongModuleSize, layout, why)) << why;
  return layout;
}

TEST(SongShape, HeaderFields) {
  XmLayout m = loadEmbedded();
  EXPECT_EQ(m.headerSize, 276u);
  EXPECT_EQ(m.songLength, 17);
  EXPECT_EQ(m.restart, 2);
  EXPECT_EQ(m.channels, 4);
  EXPECT_EQ(m.patternCount, 15);
  EXPECT_EQ(m.instrumentCount, 20);
  EXPECT_EQ(m.flags & 1, 1) << "linear frequency table";
  EXPECT_EQ(m.tempo, 3);
  EXPECT_EQ(m.bpm, 170);
  EXPECT_EQ(m.title.substr(0, 8), "Thawline");
  for (int i = m.songLength; i < 256; ++i) EXPECT_EQ(m.order[i], 0) << "order entry " << i;
}

TEST(SongShape, EveryPatternIsSixtyFourFullRows) {
  XmLayout m = loadEmbedded();
  ASSERT_EQ(m.rowCounts.size(), 15u);
  for (size_t p = 0; p < m.rowCounts.size(); ++p) EXPECT_EQ(m.rowCounts[p], 64) << "pattern " << p;
  bool used[15] = {};
  for (int pos = 0; pos < m.songLength; ++pos) {
    ASSERT_LT(m.order[pos], 15) << "order position " << pos;
    used[m.order[pos]] = true;
  }
  for (int p = 0; p < 15; ++p) EXPECT_TRUE(used[p]) << "pattern " << p << " is never played";
}

TEST(SongShape, OnePassIs1056RowsEndingWithABreakAtRow31) {
  XmLayout m = loadEmbedded();
  EXPECT_EQ(rowsInOnePass(m), 1056u);

  // Only the last position breaks, at row 31, back to a row 0; nothing jumps.
  for (int pos = 0; pos < m.songLength; ++pos) {
    const auto& cells = m.cells[m.order[pos]];
    for (size_t i = 0; i < cells.size(); ++i) {
      size_t row = i / m.channels;
      EXPECT_NE(cells[i].effect, 0xB) << "jump at position " << pos << " row " << row;
      if (cells[i].effect != 0xD) continue;
      EXPECT_EQ(pos, m.songLength - 1) << "break at position " << pos << " row " << row;
      EXPECT_EQ(row, 31u);
      EXPECT_EQ(cells[i].param, 0);
    }
  }
  // The restart position is where the drop is, and it is played in the
  // pass, so returning to it ends a single pass.
  EXPECT_LT(m.restart, m.songLength);
}

TEST(SongShape, TwentyInstrumentsOfOneEightBitSample) {
  XmLayout m = loadEmbedded();
  ASSERT_EQ(m.instruments.size(), 20u);
  for (size_t i = 0; i < m.instruments.size(); ++i) {
    const XmInstrumentInfo& inst = m.instruments[i];
    SCOPED_TRACE("instrument " + std::to_string(i + 1));
    EXPECT_EQ(inst.headerSize, 263u);
    EXPECT_EQ(inst.sampleHeaderSize, 40u);
    ASSERT_EQ(inst.sampleCount, 1);
    const XmSampleInfo& s = inst.samples[0];
    EXPECT_GT(s.length, 0u);
    EXPECT_EQ(s.type & 0x10, 0) << "8-bit";
    EXPECT_LE(s.volume, 64);
    EXPECT_NE(inst.name[0], '\0') << "named";
    if (s.type & 3) {
      EXPECT_GT(s.loopLength, 0u);
      EXPECT_LE(static_cast<uint64_t>(s.loopStart) + s.loopLength, s.length);
    }
  }
  EXPECT_EQ(m.endOffset, kSongModuleSize) << "no bytes after the last sample";
}

TEST(SongShape, NotesAndInstrumentsAreInRange) {
  XmLayout m = loadEmbedded();
  for (size_t p = 0; p < m.cells.size(); ++p) {
    for (const XmCell& c : m.cells[p]) {
      EXPECT_TRUE(c.note <= 96 || c.note == 97) << "pattern " << p;
      EXPECT_LE(c.instrument, 20) << "pattern " << p;
      EXPECT_LE(c.effect, 35) << "pattern " << p;
    }
  }
}

// The cells of one pass, indexed by song row (order position x 64 + row).
std::vector<const XmCell*> cellsOfSongRow(const XmLayout& m, uint32_t songRow) {
  std::vector<const XmCell*> cells;
  uint32_t position = songRow / 64, row = songRow % 64;
  if (position >= m.songLength) return cells;
  const auto& pattern = m.cells[m.order[position]];
  for (uint16_t c = 0; c < m.channels; ++c) cells.push_back(&pattern[row * m.channels + c]);
  return cells;
}

bool noteStartsOn(const XmLayout& m, uint32_t songRow, int channel = -1) {
  std::vector<const XmCell*> cells = cellsOfSongRow(m, songRow);
  for (size_t c = 0; c < cells.size(); ++c)
    if ((channel < 0 || static_cast<int>(c) == channel) && cells[c]->note >= 1 && cells[c]->note <= 96)
      return true;
  return false;
}

TEST(SongShape, HitsFallOnTheRowsTheShowMovesOn) {
  XmLayout m = loadEmbedded();
  ASSERT_EQ(m.cells.size(), 15u);
  // Intro flashes and hits, the build's hit every 8 rows (drum channel).
  for (uint32_t row : {32u, 36u, 64u, 72u, 80u, 88u, 96u, 104u, 112u, 120u})
    EXPECT_TRUE(noteStartsOn(m, row, 0)) << "row " << row;
  // The drop starts on every channel.
  for (int c = 0; c < 4; ++c) EXPECT_TRUE(noteStartsOn(m, 128, c)) << "channel " << c;
  // Backbeat snares on rows 8 mod 16 through the first groove.
  for (uint32_t row = 136; row <= 344; row += 16) {
    const XmCell* drum = cellsOfSongRow(m, row)[0];
    EXPECT_EQ(drum->instrument, 2) << "snare at row " << row;
  }
  // The break's stabs, every 4 rows.
  for (uint32_t row = 352; row <= 380; row += 4) EXPECT_TRUE(noteStartsOn(m, row, 3)) << "row " << row;
  // The second groove's thickening snares.
  for (uint32_t row : {456u, 460u, 472u, 480u, 488u, 496u, 504u, 508u}) {
    const XmCell* drum = cellsOfSongRow(m, row)[0];
    EXPECT_EQ(drum->instrument, 2) << "snare at row " << row;
  }
  // Accents of the new section.
  for (uint32_t row = 520; row <= 600; row += 16) EXPECT_TRUE(noteStartsOn(m, row, 0)) << "row " << row;
  // The 16th-note stutters: a hit every 2 rows.
  for (uint32_t row = 607; row <= 639; row += 2) EXPECT_TRUE(noteStartsOn(m, row)) << "row " << row;
  for (uint32_t row = 1024; row <= 1054; row += 2) EXPECT_TRUE(noteStartsOn(m, row)) << "row " << row;
  // The impact and the mood change.
  EXPECT_TRUE(noteStartsOn(m, 689, 0));
  EXPECT_TRUE(noteStartsOn(m, 804, 3));
}

}  // namespace
