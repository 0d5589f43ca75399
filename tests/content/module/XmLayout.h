// Reads an XM module's layout independently of the replayer, for checking
// the embedded song's shape.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

struct XmCell {
  uint8_t note, instrument, volume, effect, param;
};

struct XmSampleInfo {
  uint32_t length, loopStart, loopLength;
  uint8_t volume, type, panning;
  int8_t finetune, relativeNote;
};

struct XmInstrumentInfo {
  uint32_t headerSize;
  uint16_t sampleCount;
  uint32_t sampleHeaderSize;
  std::string name;
  std::vector<XmSampleInfo> samples;
};

struct XmLayout {
  std::string title;
  uint32_t headerSize = 0;
  uint16_t songLength = 0, restart = 0, channels = 0, patternCount = 0, instrumentCount = 0;
  uint16_t flags = 0, tempo = 0, bpm = 0;
  uint8_t order[256] = {};
  std::vector<uint16_t> rowCounts;
  std::vector<std::vector<XmCell>> cells;  // per pattern, row-major
  std::vector<XmInstrumentInfo> instruments;
  uint64_t endOffset = 0;                  // where the last sample's data ends
};

// Strict parse: false with a reason if anything is out of bounds or packed
// data does not describe exactly rows x channels cells.
bool parseXmLayout(const uint8_t* data, uint64_t size, XmLayout& out, std::string& why);

// Rows of one pass through the order list: each position plays until its
// pattern's first row with a break (D) or jump (B), or to its end.
uint32_t rowsInOnePass(const XmLayout& layout);
