#include "ShaderChunks.h"

#include <cctype>
#include <map>
#include <tuple>

#include "DxbcContainer.h"

namespace dxbc {
namespace {

struct Writer {
  std::vector<uint8_t> bytes;
  void u32(uint32_t v) {
    for (int i = 0; i < 4; ++i) bytes.push_back(uint8_t(v >> (8 * i)));
  }
  void set32(size_t at, uint32_t v) {
    for (int i = 0; i < 4; ++i) bytes[at + i] = uint8_t(v >> (8 * i));
  }
  uint32_t string(const std::string& s) {
    uint32_t at = uint32_t(bytes.size());
    bytes.insert(bytes.end(), s.begin(), s.end());
    bytes.push_back(0);
    return at;
  }
  void align4() {
    while (bytes.size() % 4) bytes.push_back(0xab);
  }
};

// Strings referenced from the chunk's records, written after all of them.
struct PendingString {
  size_t slot;
  std::string text;
};

// A type record (36 bytes in shader model 5) and, after it, its members'
// records and their types.
void writeType(Writer& w, const ConstantType& t, std::vector<PendingString>& strings,
               int depth) {
  w.u32(uint32_t(t.varClass) | uint32_t(t.varType) << 16);
  w.u32(uint32_t(t.rows) | uint32_t(t.columns) << 16);
  bool nested = depth < 8;  // reflection of deeper nesting is not worth a stack
  uint32_t members = nested ? uint32_t(t.members.size()) : 0;
  w.u32(uint32_t(t.elements) | members << 16);
  size_t memberSlot = w.bytes.size();
  w.u32(0);  // member records, patched
  for (int i = 0; i < 4; ++i) w.u32(0);
  strings.push_back({w.bytes.size(), t.name});
  w.u32(0);
  if (!members) return;
  w.set32(memberSlot, uint32_t(w.bytes.size()));
  std::vector<size_t> typeSlots;
  for (const ConstantMember& m : t.members) {
    strings.push_back({w.bytes.size(), m.name});
    w.u32(0);
    typeSlots.push_back(w.bytes.size());
    w.u32(0);  // type, patched
    w.u32(m.offset);
  }
  for (size_t i = 0; i < t.members.size(); ++i) {
    w.set32(typeSlots[i], uint32_t(w.bytes.size()));
    writeType(w, t.members[i].type, strings, depth + 1);
  }
}

}  // namespace

void splitSemantic(const std::string& full, std::string& name, uint32_t& index) {
  size_t end = full.size();
  while (end > 0 && isdigit(static_cast<unsigned char>(full[end - 1]))) --end;
  name = full.substr(0, end);
  index = end < full.size() ? uint32_t(std::stoul(full.substr(end))) : 0;
}

std::vector<uint8_t> signatureChunk(const std::vector<SignatureElement>& elements, bool output) {
  Writer w;
  w.u32(uint32_t(elements.size()));
  w.u32(8);
  std::vector<size_t> nameSlots;
  for (const SignatureElement& e : elements) {
    std::string name;
    uint32_t index;
    splitSemantic(e.name, name, index);
    nameSlots.push_back(w.bytes.size());
    w.u32(0);
    w.u32(index);
    // Render targets carry no system value in the signature itself.
    w.u32(e.systemValue == SvTarget ? 0 : e.systemValue);
    w.u32(e.componentType);
    w.u32(e.reg);
    uint8_t rw = output ? e.used : e.used;
    w.bytes.push_back(e.mask);
    w.bytes.push_back(rw);
    w.bytes.push_back(0);
    w.bytes.push_back(0);
  }
  for (size_t i = 0; i < elements.size(); ++i) {
    std::string name;
    uint32_t index;
    splitSemantic(elements[i].name, name, index);
    w.set32(nameSlots[i], w.string(name));
    w.align4();
  }
  (void)output;
  return w.bytes;
}

std::vector<uint8_t> resourceChunk(const ShaderInfo& info) {
  Writer w;
  bool hasCb = info.constantBufferSlot >= 0;
  uint32_t bindings = uint32_t(info.samplers.size() + info.textures.size() + (hasCb ? 1 : 0));
  w.u32(hasCb ? 1 : 0);  // constant buffers
  w.u32(0);              // their offset, patched
  w.u32(bindings);
  w.u32(0);  // binding offset, patched
  w.u32((info.pixel ? 0xffffu : 0xfffeu) << 16 | 0x0500);
  w.u32(0x100);  // flags: no preshader
  w.u32(0);      // creator string, patched
  w.u32(fourCC('R', 'D', '1', '1'));
  for (uint32_t v : {60u, 24u, 32u, 40u, 36u, 12u, 0u}) w.u32(v);
  size_t bindingStart = w.bytes.size();
  w.set32(12, uint32_t(bindingStart));
  struct Binding {
    std::string name;
    uint32_t type, returnType, dimension, samples, slot, flags;
  };
  std::vector<Binding> list;
  for (auto& s : info.samplers) list.push_back({s.second, 3, 0, 0, 0, s.first, 0});
  for (auto& t : info.textures) list.push_back({t.second, 2, 5, 4, 0xffffffffu, t.first, 0xc});
  if (hasCb)
    list.push_back({info.constantBufferName, 0, 0, 0, 0, uint32_t(info.constantBufferSlot), 0});
  std::vector<size_t> nameSlots;
  for (const Binding& b : list) {
    nameSlots.push_back(w.bytes.size());
    w.u32(0);
    w.u32(b.type);
    w.u32(b.returnType);
    w.u32(b.dimension);
    w.u32(b.samples);
    w.u32(b.slot);
    w.u32(1);
    w.u32(b.flags);
  }
  size_t cbSlot = 0;
  std::vector<PendingString> strings;
  if (hasCb) {
    const std::vector<ConstantVariable>& vars = info.constantBufferVariables;
    w.set32(4, uint32_t(w.bytes.size()));
    cbSlot = w.bytes.size();
    w.u32(0);  // name, patched
    w.u32(uint32_t(vars.size()));
    size_t varsSlot = w.bytes.size();
    w.u32(0);  // variable records, patched
    w.u32(info.constantBufferSize);
    w.u32(0);
    w.u32(0);  // D3D_CT_CBUFFER
    // Variable records (40 bytes each in shader model 5), then their types.
    w.set32(varsSlot, vars.empty() ? 0 : uint32_t(w.bytes.size()));
    std::vector<size_t> typeSlots;
    for (const ConstantVariable& v : vars) {
      strings.push_back({w.bytes.size(), v.name});
      w.u32(0);
      w.u32(v.offset);
      w.u32(v.size);
      w.u32(v.used ? 2 : 0);  // D3D_SVF_USED
      typeSlots.push_back(w.bytes.size());
      w.u32(0);  // type, patched
      w.u32(0);  // no default value
      w.u32(0xffffffffu);  // no textures or samplers
      w.u32(0);
      w.u32(0xffffffffu);
      w.u32(0);
    }
    // Variables of the same plain type share one type record.
    std::map<std::tuple<uint16_t, uint16_t, uint16_t, uint16_t, uint16_t, std::string>, uint32_t>
        plainTypes;
    for (size_t i = 0; i < vars.size(); ++i) {
      const ConstantType& t = vars[i].type;
      auto key = std::make_tuple(t.varClass, t.varType, t.rows, t.columns, t.elements, t.name);
      auto it = plainTypes.find(key);
      if (t.members.empty() && it != plainTypes.end()) {
        w.set32(typeSlots[i], it->second);
        continue;
      }
      uint32_t at = uint32_t(w.bytes.size());
      w.set32(typeSlots[i], at);
      if (t.members.empty()) plainTypes.emplace(key, at);
      writeType(w, t, strings, 0);
    }
  }
  for (size_t i = 0; i < list.size(); ++i) {
    uint32_t at = w.string(list[i].name);
    w.set32(nameSlots[i], at);
    if (hasCb && i + 1 == list.size()) w.set32(cbSlot, at);
  }
  // Type names repeat: each text is stored once.
  std::map<std::string, uint32_t> written;
  for (const PendingString& s : strings) {
    auto it = written.find(s.text);
    if (it == written.end()) it = written.emplace(s.text, w.string(s.text)).first;
    w.set32(s.slot, it->second);
  }
  w.set32(24, w.string("thaw-dxbc (SPIR-V translator)"));
  w.align4();
  return w.bytes;
}

std::vector<uint8_t> statisticsChunk(const ShaderInfo& info) {
  uint32_t s[37] = {};
  s[0] = info.instructionCount;
  s[1] = info.tempCount;
  s[3] = info.declarationCount;
  for (const Instruction& ins : info.body) {
    switch (ins.opcode) {
      case OpAdd: case OpMul: case OpMad: case OpDiv: case OpMin: case OpMax: case OpDp2:
      case OpDp3: case OpDp4: case OpExp: case OpLog: case OpSqrt: case OpRsq: case OpFrc:
      case OpRoundNe: case OpRoundNi: case OpRoundPi: case OpRoundZ: case OpSincos: case OpEq:
      case OpNe: case OpLt: case OpGe: case OpDerivRtx: case OpDerivRty: case OpDerivRtxCoarse:
      case OpDerivRtyCoarse: case OpDerivRtxFine: case OpDerivRtyFine:
        s[4]++;
        break;
      case OpIadd: case OpImul: case OpIeq: case OpIne: case OpIlt: case OpIge: case OpImax:
      case OpImin: case OpIneg: case OpIshl: case OpIshr: case OpAnd: case OpOr: case OpXor:
      case OpNot:
        s[5]++;
        break;
      case OpUdiv: case OpUlt: case OpUge: case OpUmax: case OpUmin: case OpUshr:
        s[6]++;
        break;
      case OpIf: case OpLoop: case OpBreakc: case OpContinuec:
        s[8]++;
        break;
      case OpSample:
        s[14]++;
        break;
      case OpSampleL:
        s[14]++;
        break;
      case OpMov:
        s[19]++;
        break;
      case OpMovc:
        s[20]++;
        break;
      case OpItof: case OpUtof: case OpFtoi: case OpFtou:
        s[21]++;
        break;
      default:
        break;
    }
  }
  s[10] = info.indexableTemps;
  std::vector<uint8_t> out;
  for (uint32_t v : s)
    for (int i = 0; i < 4; ++i) out.push_back(uint8_t(v >> (8 * i)));
  return out;
}

std::vector<uint8_t> buildContainer(const ShaderInfo& info, const std::vector<uint32_t>& tokens) {
  std::vector<Chunk> chunks(5);
  chunks[0].fourcc = fourCC('R', 'D', 'E', 'F');
  chunks[0].data = resourceChunk(info);
  chunks[1].fourcc = fourCC('I', 'S', 'G', 'N');
  chunks[1].data = signatureChunk(info.inputs, false);
  chunks[2].fourcc = fourCC('O', 'S', 'G', 'N');
  chunks[2].data = signatureChunk(info.outputs, true);
  chunks[3].fourcc = fourCC('S', 'H', 'E', 'X');
  for (uint32_t t : tokens)
    for (int i = 0; i < 4; ++i) chunks[3].data.push_back(uint8_t(t >> (8 * i)));
  chunks[4].fourcc = fourCC('S', 'T', 'A', 'T');
  chunks[4].data = statisticsChunk(info);
  return writeContainer(chunks);
}

}  // namespace dxbc
