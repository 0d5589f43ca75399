// songc: its readers, its writer, and that it still builds the committed
// module from the committed sources.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <string>
#include <vector>

#include "InstrumentReader.h"
#include "ScoreReader.h"
#include "SongCompiler.h"
#include "Synth.h"
#include "XmLayout.h"
#include "XmWriter.h"

namespace {

const std::string kSongDir = THAW_SONG_DIR;

std::vector<uint8_t> readFile(const std::string& path) {
  std::vector<uint8_t> bytes;
  FILE* f = std::fopen(path.c_str(), "rb");
  if (!f) return bytes;
  int c;
  while ((c = std::fgetc(f)) != EOF) bytes.push_back(static_cast<uint8_t>(c));
  std::fclose(f);
  return bytes;
}

bool scoreFromText(const std::string& text, ScoreDef& score, std::string& error) {
  SourceFile file;
  if (!splitSourceText("t.txt", text, file, error)) return false;
  return readScore(file, score, error);
}

bool instrumentsFromText(const std::string& text, std::vector<InstrumentDef>& out, std::string& error) {
  SourceFile file;
  if (!splitSourceText("i.txt", text, file, error)) return false;
  return readInstruments(file, out, error);
}

const char kHead[] = "channels 2\ntempo 3\nbpm 170\nrestart 0\norder 0\npattern 0\n";

TEST(Songc, RebuildsTheCommittedModuleByteForByte) {
  std::vector<uint8_t> built;
  std::string error;
  ASSERT_TRUE(compileSong(kSongDir + "/instruments.txt", kSongDir + "/score.txt", built, error)) << error;
  std::vector<uint8_t> committed = readFile(kSongDir + "/thawline.xm");
  ASSERT_FALSE(committed.empty());
  ASSERT_EQ(built.size(), committed.size()) << "run songc and commit thawline.xm";
  size_t firstDifference = built.size();
  for (size_t i = 0; i < built.size(); ++i) {
    if (built[i] != committed[i]) {
      firstDifference = i;
      break;
    }
  }
  EXPECT_EQ(firstDifference, built.size()) << "run songc and commit thawline.xm";

  std::vector<uint8_t> again;
  ASSERT_TRUE(compileSong(kSongDir + "/instruments.txt", kSongDir + "/score.txt", again, error));
  EXPECT_EQ(again, built);
}

TEST(Songc, CellsParseAsTrackersWriteThem) {
  CellDef cell;
  std::string message;
  ASSERT_TRUE(parseCell("C-4 01 40 ...", cell, message)) << message;
  EXPECT_EQ(cell.note, 49);
  EXPECT_EQ(cell.instrument, 1);
  EXPECT_EQ(cell.volume, 0x50);
  EXPECT_EQ(cell.effect, 0);
  ASSERT_TRUE(parseCell("C#5 14 -4 E93", cell, message)) << message;
  EXPECT_EQ(cell.note, 62);
  EXPECT_EQ(cell.instrument, 0x14);
  EXPECT_EQ(cell.volume, 0x64);
  EXPECT_EQ(cell.effect, 14);
  EXPECT_EQ(cell.param, 0x93);
  ASSERT_TRUE(parseCell("off .. m8 D00", cell, message)) << message;
  EXPECT_EQ(cell.note, 97);
  EXPECT_EQ(cell.volume, 0xF8);
  EXPECT_EQ(cell.effect, 13);
  ASSERT_TRUE(parseCell("B-7 .. 00 R3f", cell, message)) << message;
  EXPECT_EQ(cell.note, 96);
  EXPECT_EQ(cell.volume, 0x10);
  EXPECT_EQ(cell.effect, 27);
  EXPECT_EQ(cell.param, 0x3F);
  ASSERT_TRUE(parseCell("--- .. .. ...", cell, message));
  EXPECT_EQ(cell.note + cell.instrument + cell.volume + cell.effect + cell.param, 0);

  for (const char* bad : {"H-4 01 40 ...", "C-8 01 40 ...", "C-4 00 40 ...", "C-4 01 41 ...",
                          "C-4 01 x4 ...", "C-4 01 40 #00", "C-4 01 40 A0", "C-4 01 40"}) {
    EXPECT_FALSE(parseCell(bad, cell, message)) << bad;
    EXPECT_FALSE(message.empty());
  }
}

TEST(Songc, ScoreErrorsNameFileAndLine) {
  ScoreDef score;
  std::string error;
  std::string good = std::string(kHead) + "00 | C-4 01 .. ... | --- .. .. ...\n";
  ASSERT_TRUE(scoreFromText(good, score, error)) << error;
  EXPECT_EQ(score.patterns[0].rowCount, 1);

  EXPECT_FALSE(scoreFromText(std::string(kHead) + "00 | C-4 01 .. ... | Q-4 .. .. ...\n", score, error));
  EXPECT_EQ(error.rfind("t.txt:7: channel 2", 0), 0u) << error;
  EXPECT_FALSE(scoreFromText(std::string(kHead) + "01 | C-4 01 .. ... | --- .. .. ...\n", score, error));
  EXPECT_EQ(error.rfind("t.txt:7: expected row 0", 0), 0u) << error;
  EXPECT_FALSE(scoreFromText(std::string(kHead) + "00 | C-4 01 .. ...\n", score, error));
  EXPECT_EQ(error.rfind("t.txt:7:", 0), 0u) << error;
  EXPECT_FALSE(scoreFromText("channels 2\norder 1\npattern 0\n00 | --- .. .. ... | --- .. .. ...\n", score, error));
  EXPECT_EQ(error.rfind("t.txt:2: order names pattern 1", 0), 0u) << error;
  EXPECT_FALSE(scoreFromText("channels 2\nrestart 1\norder 0\npattern 0\n00 | --- .. .. ... | --- .. .. ...\n",
                             score, error));
  EXPECT_EQ(error.rfind("t.txt:2:", 0), 0u) << error;
  EXPECT_FALSE(scoreFromText("bpm 999\n", score, error));
  EXPECT_EQ(error.rfind("t.txt:1:", 0), 0u) << error;
  EXPECT_FALSE(scoreFromText("title \"unterminated\n", score, error));
  EXPECT_EQ(error.rfind("t.txt:1:", 0), 0u) << error;
}

TEST(Songc, CompileRejectsInstrumentsTheFileLacks) {
  std::string dir = ::testing::TempDir();
  std::string ins = dir + "/songc_ins.txt", sco = dir + "/songc_score.txt";
  FILE* f = std::fopen(ins.c_str(), "wb");
  ASSERT_NE(f, nullptr);
  std::fputs("instrument 1 \"Beep\"\n  length 0.01\n  layer sine hz 440\nend\n", f);
  std::fclose(f);
  f = std::fopen(sco.c_str(), "wb");
  ASSERT_NE(f, nullptr);
  std::fputs((std::string(kHead) + "00 | C-4 01 .. ... | C-4 02 .. ...\n").c_str(), f);
  std::fclose(f);
  std::vector<uint8_t> module;
  std::string error;
  EXPECT_FALSE(compileSong(ins, sco, module, error));
  EXPECT_EQ(error, sco + ":7: channel 2 names instrument 2, the instrument file defines 1");
  std::remove(ins.c_str());
  std::remove(sco.c_str());
}

TEST(Songc, InstrumentErrorsNameFileAndLine) {
  std::vector<InstrumentDef> out;
  std::string error;
  EXPECT_FALSE(instrumentsFromText("instrument 1 \"A\"\n  length 0.1\n  layer wobble\nend\n", out, error));
  EXPECT_EQ(error, "i.txt:3: unknown wave 'wobble'");
  EXPECT_FALSE(instrumentsFromText("instrument 2 \"A\"\n", out, error));
  EXPECT_EQ(error.rfind("i.txt:1:", 0), 0u) << error;
  EXPECT_FALSE(instrumentsFromText("instrument 1 \"A\"\n  length 0.1\n  layer sine hz 440\n", out, error));
  EXPECT_EQ(error.rfind("i.txt:1:", 0), 0u) << error;  // no 'end'
  EXPECT_FALSE(instrumentsFromText("instrument 1 \"A\"\n  loop 64 cycles 1\n  layer saw hz 50\nend\n", out, error));
  EXPECT_EQ(error.rfind("i.txt:3:", 0), 0u) << error;  // looped layers use cycles
  EXPECT_FALSE(instrumentsFromText("instrument 1 \"A\"\n  length 0.1\n  layer sine hz 440\n"
                                   "  envelope 0:64 4:70\nend\n", out, error));
  EXPECT_EQ(error.rfind("i.txt:4:", 0), 0u) << error;
  EXPECT_FALSE(instrumentsFromText("instrument 1 \"A\"\n  length 0.1\n  layer sine hz 440\n"
                                   "  envelope 0:64 4:30\n  sustain 2\nend\n", out, error));
  EXPECT_EQ(error.rfind("i.txt:6:", 0), 0u) << error;
  EXPECT_FALSE(instrumentsFromText("instrument 1 \"A\"\n  length 0.1 0.2\n  layer sine hz 440\nend\n", out, error));
  EXPECT_EQ(error.rfind("i.txt:2:", 0), 0u) << error;
  EXPECT_FALSE(instrumentsFromText("instrument 1 \"A\"\n  length 0.1\n  layer sine hz 440\n"
                                   "  envelope 0:64\nend\n", out, error));
  EXPECT_EQ(error, "i.txt:4: an envelope needs at least 2 points");
  EXPECT_FALSE(instrumentsFromText("instrument 1 \"A\"\n  rate 8000\n  loop 64 cycles 1\n"
                                   "  layer saw cycles 1\nend\n", out, error));
  EXPECT_EQ(error.rfind("i.txt:5: instrument 1:", 0), 0u) << error;
  EXPECT_FALSE(instrumentsFromText("instrument 1 \"A\"\n  length 0.1\n  layer sine hz 440\n"
                                   "  sustain 0\nend\n", out, error));
  EXPECT_EQ(error.rfind("i.txt:5:", 0), 0u) << error;
}

TEST(Songc, TuningPlaysTheRootNoteAtTheSampleRate) {
  int8_t relative = 0, finetune = 0;
  tuneSample(8363.0, 49, relative, finetune);
  EXPECT_EQ(relative, 0);
  EXPECT_EQ(finetune, 0);
  tuneSample(16726.0, 49, relative, finetune);
  EXPECT_EQ(relative, 12);
  EXPECT_EQ(finetune, 0);
  tuneSample(22050.0, 61, relative, finetune);
  double played = 8363.0 * std::pow(2.0, (61 - 49 + relative + finetune / 128.0) / 12.0);
  EXPECT_NEAR(played / 22050.0, 1.0, 0.0003);
  EXPECT_NEAR(noteFrequency(58), 440.0, 1e-9);
}

TEST(Songc, LoopedSamplesAreSeamlessAndOneShotsEndSilent) {
  std::vector<InstrumentDef> out;
  std::string error;
  ASSERT_TRUE(instrumentsFromText(
      "instrument 1 \"Loop\"\n  root C-4\n  loop 512 cycles 4\n  layer saw cycles 4 lowpass 2000\n"
      "  layer saw cycles 5 amp 0.5\n  layer noise amp 0.3 bandpass 900\nend\n"
      "instrument 2 \"Hit\"\n  root C-5\n  rate 16000\n  length 0.05\n  layer noise\nend\n",
      out, error))
      << error;
  for (InstrumentDef& inst : out) renderInstrument(inst);
  const std::vector<int8_t>& loop = out[0].sample;
  ASSERT_EQ(loop.size(), 512u);
  EXPECT_EQ(out[0].loopLength, 512u);
  // The step across the loop point is no larger than the steps inside it.
  int largestStep = 0;
  for (size_t i = 1; i < loop.size(); ++i) largestStep = std::max(largestStep, std::abs(loop[i] - loop[i - 1]));
  EXPECT_LE(std::abs(loop.front() - loop.back()), largestStep);
  int peak = 0;
  for (int8_t s : loop) peak = std::max(peak, std::abs(static_cast<int>(s)));
  EXPECT_GE(peak, 120) << "normalised near full scale";

  const std::vector<int8_t>& hit = out[1].sample;
  ASSERT_EQ(hit.size(), 800u);
  EXPECT_EQ(out[1].loopLength, 0u);
  EXPECT_EQ(hit.back(), 0);
}

TEST(Songc, PatternsPackLikeTrackersAndReadBack) {
  PatternDef pattern;
  pattern.rowCount = 2;
  pattern.cells = {{49, 1, 0x50, 0xE, 0x93}, {0, 0, 0, 0, 0}, {97, 0, 0, 0xD, 0}, {0, 2, 0, 0, 0}};
  std::vector<uint8_t> packed = packPattern(pattern);
  std::vector<uint8_t> expected = {49, 1, 0x50, 0xE, 0x93, 0x80, 0x89, 97, 0xD, 0x82, 2};
  EXPECT_EQ(packed, expected);

  ScoreDef score;
  score.channels = 2;
  score.tempo = 3;
  score.bpm = 170;
  score.restart = 0;
  score.order = {0, 0};
  score.patterns = {pattern};
  std::vector<InstrumentDef> instruments(1);
  instruments[0].name = "One";
  instruments[0].sample = {0, 16, 32, 16};
  std::vector<uint8_t> module = writeXm(score, instruments);
  XmLayout layout;
  std::string why;
  ASSERT_TRUE(parseXmLayout(module.data(), module.size(), layout, why)) << why;
  EXPECT_EQ(layout.songLength, 2);
  EXPECT_EQ(layout.tempo, 3);
  EXPECT_EQ(layout.bpm, 170);
  EXPECT_EQ(layout.flags, 1);
  ASSERT_EQ(layout.cells.size(), 1u);
  EXPECT_EQ(layout.cells[0][2].note, 97);
  EXPECT_EQ(layout.cells[0][3].instrument, 2);
  EXPECT_EQ(rowsInOnePass(layout), 2u + 2u);
  EXPECT_EQ(layout.endOffset, module.size());
  // Delta-encoded sample data closes the file.
  std::vector<uint8_t> tail(module.end() - 4, module.end());
  EXPECT_EQ(tail, (std::vector<uint8_t>{0, 16, 16, 0xF0}));
}

}  // namespace

namespace {

std::string readText(const std::string& path) {
  std::vector<uint8_t> bytes = readFile(path);
  return std::string(bytes.begin(), bytes.end());
}

// Damaged sources never crash the readers: each either reads or reports a
// line of the file.
TEST(Songc, DamagedSourcesAreReportedNotFatal) {
  const std::string score = readText(kSongDir + "/score.txt");
  const std::string instruments = readText(kSongDir + "/instruments.txt");
  ASSERT_FALSE(score.empty());
  ASSERT_FALSE(instruments.empty());
  const char kJunk[] = {'|', ' ', '\n', '"', '#', '.', '-', '0', '9', 'F', 'x', ':', '\t', '\x7f', 'C'};
  uint32_t state = 12345;
  auto next = [&state] {
    state = state * 1664525u + 1013904223u;
    return state >> 8;
  };
  int rejectedScores = 0, rejectedInstruments = 0;
  for (int round = 0; round < 300; ++round) {
    std::string s = score, i = instruments;
    for (int k = 0; k < 3; ++k) {
      s[next() % s.size()] = kJunk[next() % sizeof kJunk];
      i[next() % i.size()] = kJunk[next() % sizeof kJunk];
    }
    if (round % 10 == 0) s.resize(next() % s.size());
    if (round % 10 == 5) i.resize(next() % i.size());

    ScoreDef parsedScore;
    std::string error;
    if (!scoreFromText(s, parsedScore, error)) {
      ++rejectedScores;
      EXPECT_EQ(error.rfind("t.txt", 0), 0u) << error;
    }
    std::vector<InstrumentDef> parsedInstruments;
    if (!instrumentsFromText(i, parsedInstruments, error)) {
      ++rejectedInstruments;
      EXPECT_EQ(error.rfind("i.txt", 0), 0u) << error;
    } else {
      for (InstrumentDef& inst : parsedInstruments) renderInstrument(inst);
    }
  }
  // Most damage lands in cells and settings the readers check.
  EXPECT_GT(rejectedScores, 100);
  EXPECT_GT(rejectedInstruments, 100);
}

}  // namespace
