#include "XmWriter.h"

#include <cstring>
#include <string>

namespace {

const uint32_t kModuleHeaderSize = 276;    // from offset 60 up to the end of the order table
const uint32_t kPatternHeaderSize = 9;
const uint32_t kInstrumentHeaderSize = 263;
const uint32_t kSampleHeaderSize = 40;

struct Out {
  std::vector<uint8_t> bytes;
  void u8(uint32_t v) { bytes.push_back(static_cast<uint8_t>(v)); }
  void u16(uint32_t v) {
    u8(v & 0xFF);
    u8((v >> 8) & 0xFF);
  }
  void u32(uint32_t v) {
    u16(v & 0xFFFF);
    u16(v >> 16);
  }
  void text(const std::string& s, size_t width, char pad) {
    for (size_t i = 0; i < width; ++i) u8(i < s.size() ? static_cast<uint8_t>(s[i]) : static_cast<uint8_t>(pad));
  }
  void zeros(size_t n) { bytes.insert(bytes.end(), n, 0); }
};

void writeEnvelope(uint8_t* header, const EnvelopeDef& env, size_t pointsAt, size_t countAt,
                   size_t sustainAt, size_t flagsAt) {
  for (size_t i = 0; i < env.ticks.size(); ++i) {
    uint8_t* p = header + pointsAt + i * 4;
    p[0] = env.ticks[i] & 0xFF;
    p[1] = env.ticks[i] >> 8;
    p[2] = env.values[i] & 0xFF;
    p[3] = env.values[i] >> 8;
  }
  header[countAt] = static_cast<uint8_t>(env.ticks.size());
  header[sustainAt] = static_cast<uint8_t>(env.sustainPoint < 0 ? 0 : env.sustainPoint);
  header[sustainAt + 1] = static_cast<uint8_t>(env.loopStart < 0 ? 0 : env.loopStart);
  header[sustainAt + 2] = static_cast<uint8_t>(env.loopEnd < 0 ? 0 : env.loopEnd);
  uint8_t flags = 0;
  if (!env.ticks.empty()) flags |= 1;
  if (env.sustainPoint >= 0) flags |= 2;
  if (env.loopStart >= 0) flags |= 4;
  header[flagsAt] = flags;
}

}  // namespace

std::vector<uint8_t> packPattern(const PatternDef& pattern) {
  std::vector<uint8_t> packed;
  for (const CellDef& c : pattern.cells) {
    uint8_t fields[5] = {c.note, c.instrument, c.volume, c.effect, c.param};
    uint8_t mask = 0x80;
    for (int i = 0; i < 5; ++i)
      if (fields[i]) mask |= static_cast<uint8_t>(1 << i);
    if (mask == 0x9F) {
      packed.insert(packed.end(), fields, fields + 5);
      continue;
    }
    packed.push_back(mask);
    for (int i = 0; i < 5; ++i)
      if (fields[i]) packed.push_back(fields[i]);
  }
  return packed;
}

std::vector<uint8_t> writeXm(const ScoreDef& score, const std::vector<InstrumentDef>& instruments) {
  Out out;
  out.text("Extended Module: ", 17, 0);
  out.text(score.title, 20, ' ');
  out.u8(0x1A);
  out.text(score.tracker, 20, ' ');
  out.u16(0x0104);
  out.u32(kModuleHeaderSize);
  out.u16(static_cast<uint32_t>(score.order.size()));
  out.u16(static_cast<uint32_t>(score.restart));
  out.u16(static_cast<uint32_t>(score.channels));
  out.u16(static_cast<uint32_t>(score.patterns.size()));
  out.u16(static_cast<uint32_t>(instruments.size()));
  out.u16(score.linear ? 1 : 0);
  out.u16(static_cast<uint32_t>(score.tempo));
  out.u16(static_cast<uint32_t>(score.bpm));
  for (size_t i = 0; i < 256; ++i) out.u8(i < score.order.size() ? score.order[i] : 0);

  for (const PatternDef& pattern : score.patterns) {
    std::vector<uint8_t> packed = packPattern(pattern);
    out.u32(kPatternHeaderSize);
    out.u8(0);
    out.u16(static_cast<uint32_t>(pattern.rowCount));
    out.u16(static_cast<uint32_t>(packed.size()));
    out.bytes.insert(out.bytes.end(), packed.begin(), packed.end());
  }

  for (const InstrumentDef& inst : instruments) {
    uint8_t header[kInstrumentHeaderSize];
    std::memset(header, 0, sizeof header);
    header[0] = kInstrumentHeaderSize & 0xFF;
    header[1] = kInstrumentHeaderSize >> 8;
    for (size_t i = 0; i < 22 && i < inst.name.size(); ++i) header[4 + i] = static_cast<uint8_t>(inst.name[i]);
    header[27] = 1;  // one sample
    header[29] = kSampleHeaderSize;
    // Bytes 33..128 map every note to sample 0: already zero.
    writeEnvelope(header, inst.volumeEnvelope, 129, 225, 227, 233);
    writeEnvelope(header, inst.panningEnvelope, 177, 226, 230, 234);
    header[235] = inst.vibratoType;
    header[236] = inst.vibratoSweep;
    header[237] = inst.vibratoDepth;
    header[238] = inst.vibratoRate;
    header[239] = inst.fadeout & 0xFF;
    header[240] = inst.fadeout >> 8;
    out.bytes.insert(out.bytes.end(), header, header + sizeof header);

    out.u32(static_cast<uint32_t>(inst.sample.size()));
    out.u32(inst.loopStart);
    out.u32(inst.loopLength);
    out.u8(inst.volume);
    out.u8(static_cast<uint8_t>(inst.finetune));
    out.u8(inst.loopLength == 0 ? 0 : inst.pingPong ? 2 : 1);
    out.u8(inst.panning);
    out.u8(static_cast<uint8_t>(inst.relativeNote));
    out.u8(0);
    out.text(inst.name, 22, ' ');

    int8_t previous = 0;
    for (int8_t s : inst.sample) {
      out.u8(static_cast<uint8_t>(static_cast<uint8_t>(s) - static_cast<uint8_t>(previous)));
      previous = s;
    }
  }
  return out.bytes;
}
