#include "Disassembler.h"

#include <cstring>

#include "DxbcContainer.h"

namespace dxbc {
namespace {

uint32_t get32(const std::vector<uint8_t>& d, size_t at) {
  return uint32_t(d[at]) | uint32_t(d[at + 1]) << 8 | uint32_t(d[at + 2]) << 16 |
         uint32_t(d[at + 3]) << 24;
}

}  // namespace

bool parseSignature(const std::vector<uint8_t>& data, std::vector<SignatureElement>& out,
                    std::string& error) {
  out.clear();
  if (data.size() < 8) {
    error = "signature chunk too short";
    return false;
  }
  uint32_t count = get32(data, 0), first = get32(data, 4);
  if (first > data.size() || count > (data.size() - first) / 24) {
    error = "signature elements run past the chunk";
    return false;
  }
  for (uint32_t i = 0; i < count; ++i) {
    size_t at = first + 24 * size_t(i);
    SignatureElement e;
    uint32_t nameAt = get32(data, at);
    if (nameAt >= data.size()) {
      error = "signature name outside the chunk";
      return false;
    }
    size_t end = nameAt;
    while (end < data.size() && data[end]) ++end;
    if (end == data.size()) {
      error = "unterminated signature name";
      return false;
    }
    e.name = std::string(reinterpret_cast<const char*>(&data[nameAt]), end - nameAt) +
             std::to_string(get32(data, at + 4));
    e.systemValue = get32(data, at + 8);
    e.componentType = get32(data, at + 12);
    e.reg = get32(data, at + 16);
    e.mask = data[at + 20];
    e.used = data[at + 21];
    out.push_back(e);
  }
  return true;
}

bool readShader(const uint8_t* bytes, size_t size, ContainerView& view, std::string& error) {
  view = ContainerView();
  std::vector<Chunk> chunks;
  if (!readContainer(bytes, size, chunks, error)) return false;
  uint32_t sum[4];
  containerChecksum(bytes, size, sum);
  view.checksumValid = memcmp(sum, bytes + 4, 16) == 0;
  for (const Chunk& c : chunks) {
    view.chunkNames.push_back(fourCCText(c.fourcc));
    if (c.fourcc == fourCC('I', 'S', 'G', 'N')) {
      if (!parseSignature(c.data, view.inputs, error)) return false;
    } else if (c.fourcc == fourCC('O', 'S', 'G', 'N')) {
      if (!parseSignature(c.data, view.outputs, error)) return false;
    } else if (c.fourcc == fourCC('S', 'H', 'E', 'X') || c.fourcc == fourCC('S', 'H', 'D', 'R')) {
      if (c.data.size() % 4) {
        error = "program chunk size is not a multiple of 4";
        return false;
      }
      std::vector<uint32_t> tokens(c.data.size() / 4);
      if (!tokens.empty()) memcpy(tokens.data(), c.data.data(), c.data.size());
      if (!decodeProgram(tokens.data(), tokens.size(), view.program, error)) return false;
      view.hasProgram = true;
      view.programChunk = c.fourcc;
    }
  }
  return true;
}

bool disassemble(const uint8_t* bytes, size_t size, std::string& text, std::string& error) {
  ContainerView view;
  if (!readShader(bytes, size, view, error)) return false;
  text.clear();
  text += "// checksum " + std::string(view.checksumValid ? "valid" : "INVALID") + "\n// chunks:";
  for (auto& n : view.chunkNames) text += " " + n;
  text += "\n";
  static const char kComp[] = "xyzw";
  auto sig = [&](const char* title, const std::vector<SignatureElement>& list) {
    text += std::string("// ") + title + ":\n";
    for (const SignatureElement& e : list) {
      std::string mask, used;
      for (int i = 0; i < 4; ++i) {
        mask += (e.mask & (1 << i)) ? kComp[i] : ' ';
        used += (e.used & (1 << i)) ? kComp[i] : ' ';
      }
      text += "//   " + e.name + " reg " + std::to_string(e.reg) + " mask " + mask + " rw " +
              used + " sv " + std::to_string(e.systemValue) + " type " +
              std::to_string(e.componentType) + "\n";
    }
  };
  sig("input signature", view.inputs);
  sig("output signature", view.outputs);
  if (!view.hasProgram) return true;
  text += view.program.pixel ? "ps_5_0\n" : "vs_5_0\n";
  int indent = 0;
  for (const Instruction& ins : view.program.code) {
    uint16_t op = ins.opcode;
    if (op == OpElse || op == OpEndif || op == OpEndloop) indent = indent > 0 ? indent - 1 : 0;
    text += std::string(size_t(indent) * 2, ' ') + formatInstruction(ins) + "\n";
    if (op == OpIf || op == OpElse || op == OpLoop) ++indent;
  }
  return true;
}

}  // namespace dxbc
