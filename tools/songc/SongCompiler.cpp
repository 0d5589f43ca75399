#include "SongCompiler.h"

#include "InstrumentReader.h"
#include "ScoreReader.h"
#include "Synth.h"
#include "XmWriter.h"

bool compileSong(const std::string& instrumentPath, const std::string& scorePath,
                 std::vector<uint8_t>& module, std::string& error) {
  SourceFile instrumentFile, scoreFile;
  if (!readSourceFile(instrumentPath, instrumentFile, error)) return false;
  if (!readSourceFile(scorePath, scoreFile, error)) return false;
  std::vector<InstrumentDef> instruments;
  if (!readInstruments(instrumentFile, instruments, error)) return false;
  ScoreDef score;
  if (!readScore(scoreFile, score, error)) return false;

  for (const PatternDef& pattern : score.patterns) {
    for (size_t i = 0; i < pattern.cells.size(); ++i) {
      uint8_t instrument = pattern.cells[i].instrument;
      if (instrument > instruments.size()) {
        size_t row = i / static_cast<size_t>(score.channels);
        error = sourceError(scoreFile, pattern.rowLines[row],
                            "channel " + std::to_string(i % score.channels + 1) + " names instrument " +
                                std::to_string(instrument) + ", the instrument file defines " +
                                std::to_string(instruments.size()));
        return false;
      }
    }
  }
  for (InstrumentDef& inst : instruments) renderInstrument(inst);
  module = writeXm(score, instruments);
  return true;
}
