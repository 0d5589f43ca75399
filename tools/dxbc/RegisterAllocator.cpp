#include "RegisterAllocator.h"

#include <algorithm>

namespace dxbc {
namespace {

// Calls f with every temp register number an instruction names, directly or
// as a relative index; f may rewrite them.
template <typename F>
void forEachTemp(Instruction& ins, F f) {
  for (Operand& o : ins.operands) {
    if (o.type == OperandTemp && o.indexCount >= 1) f(o.index[0].value);
    for (int i = 0; i < o.indexCount; ++i)
      if (o.index[i].relative) f(o.index[i].relReg);
  }
}

// Every temp's positions in the body, each position once.
std::vector<std::vector<uint32_t>> usePositions(std::vector<Instruction>& body,
                                                uint32_t virtualCount) {
  std::vector<std::vector<uint32_t>> where(virtualCount);
  for (uint32_t pos = 0; pos < body.size(); ++pos)
    forEachTemp(body[pos], [&](uint32_t v) {
      if (v < virtualCount && (where[v].empty() || where[v].back() != pos)) where[v].push_back(pos);
    });
  return where;
}

void eraseMarked(std::vector<Instruction>& body, const std::vector<bool>& erase) {
  std::vector<Instruction> kept;
  kept.reserve(body.size());
  for (uint32_t pos = 0; pos < body.size(); ++pos)
    if (!erase[pos]) kept.push_back(std::move(body[pos]));
  body.swap(kept);
}

// True when every lane in mask reads the same lane of the source.
bool identityOver(uint8_t mask, const uint8_t swizzle[4]) {
  for (int c = 0; c < 4; ++c)
    if ((mask & (1 << c)) && swizzle[c] != c) return false;
  return true;
}

bool isControlFlow(uint16_t op) {
  switch (op) {
    case OpIf: case OpElse: case OpEndif: case OpLoop: case OpEndloop: case OpBreak:
    case OpBreakc: case OpContinue: case OpContinuec: case OpRet: case OpRetc:
      return true;
    default:
      return false;
  }
}

// Whether an operand names register reg of the given file (temps also
// through relative indices).
bool operandTouches(const Operand& o, OperandType type, uint32_t reg) {
  if (o.type == type && o.indexCount >= 1 && o.index[0].value == reg) return true;
  if (type == OperandTemp)
    for (int i = 0; i < o.indexCount; ++i)
      if (o.index[i].relative && o.index[i].relReg == reg) return true;
  return false;
}

bool touches(const Instruction& ins, OperandType type, uint32_t reg) {
  for (const Operand& o : ins.operands)
    if (operandTouches(o, type, reg)) return true;
  return false;
}

bool componentWise(uint16_t op) {
  switch (op) {
    case OpAdd: case OpMul: case OpMad: case OpDiv: case OpMin: case OpMax: case OpExp:
    case OpLog: case OpSqrt: case OpRsq: case OpFrc: case OpRoundNe: case OpRoundNi:
    case OpRoundPi: case OpRoundZ: case OpMov: case OpMovc: case OpItof: case OpUtof:
    case OpFtoi: case OpFtou: case OpIadd: case OpImax: case OpImin: case OpIshl: case OpIshr:
    case OpUshr: case OpAnd: case OpOr: case OpXor: case OpNot: case OpIneg: case OpEq:
    case OpNe: case OpLt: case OpGe: case OpIeq: case OpIne: case OpIlt: case OpIge: case OpUlt:
    case OpUge: case OpUmin: case OpUmax: case OpDerivRtx: case OpDerivRty:
    case OpDerivRtxCoarse: case OpDerivRtyCoarse: case OpDerivRtxFine: case OpDerivRtyFine:
      return true;
    default:
      return false;
  }
}

bool supportsSaturate(uint16_t op) {
  switch (op) {
    case OpAdd: case OpMul: case OpMad: case OpDiv: case OpMin: case OpMax: case OpDp2:
    case OpDp3: case OpDp4: case OpExp: case OpLog: case OpSqrt: case OpRsq: case OpFrc:
    case OpRoundNe: case OpRoundNi: case OpRoundPi: case OpRoundZ: case OpMov:
    case OpSample: case OpSampleL: case OpDerivRtx: case OpDerivRty: case OpDerivRtxCoarse:
    case OpDerivRtyCoarse: case OpItof: case OpUtof:
      return true;
    default:
      return false;
  }
}

}  // namespace

void foldSaturate(std::vector<Instruction>& body, uint32_t virtualCount) {
  // Occurrences of each temp, definitions included: exactly two means one
  // write and one read.
  std::vector<uint32_t> uses(virtualCount, 0);
  for (Instruction& ins : body) forEachTemp(ins, [&](uint32_t v) {
      if (v < virtualCount) uses[v]++;
    });
  std::vector<Instruction> out;
  out.reserve(body.size());
  for (size_t i = 0; i < body.size(); ++i) {
    Instruction& ins = body[i];
    if (ins.opcode == OpMov && (ins.controls & kSaturateBit) && !out.empty() &&
        ins.operands.size() == 2) {
      Instruction& prev = out.back();
      const Operand& src = ins.operands[1];
      const Operand& dst = ins.operands[0];
      bool ok = supportsSaturate(prev.opcode) && !(prev.controls & kSaturateBit) &&
                !prev.operands.empty() && prev.operands[0].type == OperandTemp &&
                src.type == OperandTemp && src.modifier == ModNone &&
                src.selection == SelSwizzle && src.indexCount == 1 && !src.index[0].relative &&
                src.index[0].value == prev.operands[0].index[0].value &&
                uses[src.index[0].value] == 2 && prev.operands[0].mask == dst.mask &&
                dst.selection == SelMask && identityOver(dst.mask, src.swizzle);
      if (ok) {
        prev.operands[0] = dst;
        prev.controls |= kSaturateBit | (ins.controls & kPreciseMask);
        continue;
      }
    }
    out.push_back(std::move(ins));
  }
  body.swap(out);
}

void forwardOutputs(std::vector<Instruction>& body, uint32_t virtualCount) {
  std::vector<std::vector<uint32_t>> where = usePositions(body, virtualCount);
  std::vector<bool> erase(body.size(), false);
  for (uint32_t pos = 0; pos < body.size(); ++pos) {
    Instruction& store = body[pos];
    if (store.opcode != OpMov || store.controls || store.operands.size() != 2) continue;
    const Operand& out = store.operands[0];
    const Operand& in = store.operands[1];
    if (out.type != OperandOutput || in.type != OperandTemp || in.modifier != ModNone ||
        in.selection != SelSwizzle || in.index[0].relative)
      continue;
    uint32_t v = in.index[0].value;
    if (!identityOver(out.mask, in.swizzle) || v >= virtualCount || where[v].size() < 2 ||
        where[v].back() != pos)
      continue;
    bool ok = true;
    for (size_t k = 0; k + 1 < where[v].size() && ok; ++k) {
      const Instruction& def = body[where[v][k]];
      // Only as the single destination, inside the stored components.
      if (def.operands.empty() || def.operands[0].type != OperandTemp ||
          def.operands[0].index[0].value != v || (def.operands[0].mask & ~out.mask) ||
          def.opcode == OpSincos || def.opcode == OpUdiv || def.opcode == OpImul)
        ok = false;
      for (size_t i = 1; i < def.operands.size() && ok; ++i)
        if (operandTouches(def.operands[i], OperandTemp, v)) ok = false;
    }
    for (uint32_t p = where[v].front(); p < pos && ok; ++p) {
      const Instruction& between = body[p];
      if (isControlFlow(between.opcode) ||
          (!between.operands.empty() && between.operands[0].type == OperandOutput &&
           between.operands[0].index[0].value == out.index[0].value))
        ok = false;
    }
    if (!ok) continue;
    for (size_t k = 0; k + 1 < where[v].size(); ++k) {
      Operand& d = body[where[v][k]].operands[0];
      d.type = OperandOutput;
      d.index[0].value = out.index[0].value;
    }
    erase[pos] = true;
  }
  eraseMarked(body, erase);
}

void coalesceLanes(std::vector<Instruction>& body, uint32_t virtualCount) {
  std::vector<std::vector<uint32_t>> where = usePositions(body, virtualCount);
  std::vector<bool> erase(body.size(), false);
  for (uint32_t pos = 0; pos < body.size(); ++pos) {
    Instruction& mov = body[pos];
    if (mov.opcode != OpMov || mov.controls || mov.operands.size() != 2) continue;
    const Operand& out = mov.operands[0];
    const Operand& in = mov.operands[1];
    if ((out.type != OperandTemp && out.type != OperandOutput) || out.selection != SelMask ||
        out.indexCount != 1 || in.type != OperandTemp || in.modifier != ModNone ||
        in.selection != SelSwizzle || in.indexCount != 1 || in.index[0].relative)
      continue;
    int lane = -1;
    for (int c = 0; c < 4; ++c)
      if (out.mask == (1 << c)) lane = c;
    if (lane < 0) continue;
    uint32_t v = in.index[0].value;
    if (v >= virtualCount || where[v].size() != 2 || where[v][1] != pos) continue;
    uint32_t defPos = where[v][0];
    if (erase[defPos]) continue;
    Instruction& def = body[defPos];
    uint8_t from = in.swizzle[lane];
    bool dot = def.opcode == OpDp2 || def.opcode == OpDp3 || def.opcode == OpDp4;
    if (!(componentWise(def.opcode) || dot) || def.operands.empty()) continue;
    const Operand& d = def.operands[0];
    if (d.type != OperandTemp || d.index[0].value != v || d.mask != (1 << from)) continue;
    if (out.type == OperandTemp && out.index[0].value == v) continue;
    // The defining instruction may read the new destination (all sources are
    // read before anything is written) but not v itself.
    bool ok = true;
    for (size_t i = 1; i < def.operands.size(); ++i)
      if (operandTouches(def.operands[i], OperandTemp, v)) ok = false;
    for (uint32_t p = defPos + 1; p < pos && ok; ++p)
      if (!erase[p] &&
          (isControlFlow(body[p].opcode) || touches(body[p], out.type, out.index[0].value)))
        ok = false;
    if (!ok) continue;
    if (!dot) {
      for (size_t i = 1; i < def.operands.size(); ++i) {
        Operand& o = def.operands[i];
        if (o.type == OperandImmediate32) {
          if (o.numComponents == 4) o.imm[lane] = o.imm[from];
        } else if (o.numComponents == 4 && o.selection == SelSwizzle) {
          uint8_t s = o.swizzle[from];
          for (int c = 0; c < 4; ++c) o.swizzle[c] = s;
        }
      }
    }
    def.operands[0] = out;
    erase[pos] = true;
  }
  eraseMarked(body, erase);
}

uint32_t allocateTemps(std::vector<Instruction>& body, uint32_t virtualCount) {
  const uint32_t kNone = 0xffffffffu;
  std::vector<uint32_t> first(virtualCount, kNone), last(virtualCount, 0);
  for (uint32_t pos = 0; pos < body.size(); ++pos) {
    forEachTemp(body[pos], [&](uint32_t v) {
      if (v >= virtualCount) return;
      if (first[v] == kNone) first[v] = pos;
      last[v] = pos;
    });
  }
  std::vector<std::pair<uint32_t, uint32_t>> loops;
  std::vector<uint32_t> open;
  for (uint32_t pos = 0; pos < body.size(); ++pos) {
    if (body[pos].opcode == OpLoop) open.push_back(pos);
    if (body[pos].opcode == OpEndloop && !open.empty()) {
      loops.push_back({open.back(), pos});
      open.pop_back();
    }
  }
  // A value alive when a loop starts and touched inside it must last the loop.
  for (bool changed = true; changed;) {
    changed = false;
    for (uint32_t v = 0; v < virtualCount; ++v) {
      if (first[v] == kNone) continue;
      for (auto& loop : loops) {
        if (first[v] < loop.first && last[v] > loop.first && last[v] < loop.second) {
          last[v] = loop.second;
          changed = true;
        }
      }
    }
  }
  std::vector<uint32_t> order;
  for (uint32_t v = 0; v < virtualCount; ++v)
    if (first[v] != kNone) order.push_back(v);
  std::sort(order.begin(), order.end(), [&](uint32_t a, uint32_t b) {
    return first[a] != first[b] ? first[a] < first[b] : a < b;
  });
  std::vector<uint32_t> physical(virtualCount, 0);
  std::vector<uint32_t> busyUntil;  // per physical register: last position in use
  for (uint32_t v : order) {
    uint32_t chosen = kNone;
    for (uint32_t p = 0; p < busyUntil.size(); ++p) {
      // Strictly after: an instruction never writes a register it also reads
      // for another value (multi-destination instructions depend on that).
      if (busyUntil[p] < first[v]) {
        chosen = p;
        break;
      }
    }
    if (chosen == kNone) {
      chosen = uint32_t(busyUntil.size());
      busyUntil.push_back(0);
    }
    busyUntil[chosen] = last[v];
    physical[v] = chosen;
  }
  for (Instruction& ins : body)
    forEachTemp(ins, [&](uint32_t& v) {
      if (v < virtualCount) v = physical[v];
    });
  return uint32_t(busyUntil.size());
}

}  // namespace dxbc
