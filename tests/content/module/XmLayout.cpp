#include "XmLayout.h"

#include <cstring>

namespace {

struct Bytes {
  const uint8_t* data;
  uint64_t size;
  bool has(uint64_t offset, uint64_t count) const { return offset <= size && count <= size - offset; }
  uint16_t u16(uint64_t o) const { return static_cast<uint16_t>(data[o] | data[o + 1] << 8); }
  uint32_t u32(uint64_t o) const { return u16(o) | static_cast<uint32_t>(u16(o + 2)) << 16; }
};

}  // namespace

bool parseXmLayout(const uint8_t* data, uint64_t size, XmLayout& out, std::string& why) {
  Bytes b{data, size};
  out = XmLayout{};
  if (!b.has(0, 336)) return why = "shorter than a module header", false;
  if (std::memcmp(data, "Extended Module: ", 17) != 0) return why = "no signature", false;
  if (data[37] != 0x1A) return why = "no 0x1A marker", false;
  if (b.u16(58) != 0x0104) return why = "not version 1.04", false;
  out.title.assign(reinterpret_cast<const char*>(data + 17), 20);
  out.headerSize = b.u32(60);
  out.songLength = b.u16(64);
  out.restart = b.u16(66);
  out.channels = b.u16(68);
  out.patternCount = b.u16(70);
  out.instrumentCount = b.u16(72);
  out.flags = b.u16(74);
  out.tempo = b.u16(76);
  out.bpm = b.u16(78);
  std::memcpy(out.order, data + 80, 256);

  uint64_t o = 60 + static_cast<uint64_t>(out.headerSize);
  for (uint16_t p = 0; p < out.patternCount; ++p) {
    if (!b.has(o, 9)) return why = "pattern header past the end", false;
    uint32_t headerLength = b.u32(o);
    uint16_t rows = b.u16(o + 5);
    uint16_t packedSize = b.u16(o + 7);
    uint64_t start = o + headerLength;
    if (!b.has(start, packedSize)) return why = "pattern data past the end", false;
    std::vector<XmCell> cells;
    uint64_t q = start, end = start + packedSize;
    while (q < end) {
      XmCell cell{0, 0, 0, 0, 0};
      uint8_t* fields = &cell.note;
      uint8_t first = data[q++];
      if (first & 0x80) {
        for (int i = 0; i < 5; ++i) {
          if (!(first & (1 << i))) continue;
          if (q >= end) return why = "packed cell runs past its pattern", false;
          fields[i] = data[q++];
        }
      } else {
        if (end - q < 4) return why = "packed cell runs past its pattern", false;
        fields[0] = first;
        for (int i = 1; i < 5; ++i) fields[i] = data[q++];
      }
      cells.push_back(cell);
    }
    if (cells.size() != static_cast<size_t>(rows) * out.channels)
      return why = "pattern " + std::to_string(p) + " packs " + std::to_string(cells.size()) + " cells", false;
    out.rowCounts.push_back(rows);
    out.cells.push_back(cells);
    o = end;
  }

  for (uint16_t i = 0; i < out.instrumentCount; ++i) {
    if (!b.has(o, 29)) return why = "instrument header past the end", false;
    XmInstrumentInfo inst{};
    inst.headerSize = b.u32(o);
    inst.name.assign(reinterpret_cast<const char*>(data + o + 4), 22);
    inst.sampleCount = b.u16(o + 27);
    if (!b.has(o, inst.headerSize) || inst.headerSize < 243) return why = "short instrument header", false;
    inst.sampleHeaderSize = b.u32(o + 29);
    uint64_t t = o + inst.headerSize;
    uint64_t dataTotal = 0;
    for (uint16_t s = 0; s < inst.sampleCount; ++s) {
      if (!b.has(t, 40)) return why = "sample header past the end", false;
      XmSampleInfo info{};
      info.length = b.u32(t);
      info.loopStart = b.u32(t + 4);
      info.loopLength = b.u32(t + 8);
      info.volume = data[t + 12];
      info.finetune = static_cast<int8_t>(data[t + 13]);
      info.type = data[t + 14];
      info.panning = data[t + 15];
      info.relativeNote = static_cast<int8_t>(data[t + 16]);
      inst.samples.push_back(info);
      dataTotal += info.length;
      t += inst.sampleHeaderSize;
    }
    if (!b.has(t, dataTotal)) return why = "sample data past the end", false;
    o = t + dataTotal;
    out.instruments.push_back(inst);
  }
  out.endOffset = o;
  return true;
}

uint32_t rowsInOnePass(const XmLayout& layout) {
  uint32_t total = 0;
  for (uint16_t pos = 0; pos < layout.songLength; ++pos) {
    uint8_t pattern = layout.order[pos];
    if (pattern >= layout.patternCount) {
      total += 64;
      continue;
    }
    uint16_t rows = layout.rowCounts[pattern];
    uint32_t played = rows;
    for (uint16_t r = 0; r < rows && played == rows; ++r) {
      for (uint16_t c = 0; c < layout.channels; ++c) {
        uint8_t effect = layout.cells[pattern][static_cast<size_t>(r) * layout.channels + c].effect;
        if (effect == 0xB || effect == 0xD) played = r + 1u;
      }
    }
    total += played;
  }
  return total;
}
