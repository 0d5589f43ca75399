#include "RegisterAllocator.h"

#include <algorithm>

namespace dxbc {
namespace {

template <typename F>
void forEachTemp(Instruction& ins, F f) {
  for (Operand& o : ins.operands) {
    if (o.type == OperandTemp && o.indexCount >= 1) f(o.index[0].value);
    for (int i = 0; i < o.indexCount; ++i)
      if (o.index[i].relative) f(o.index[i].relReg);
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
                dst.selection == SelMask;
      if (ok) {
        for (int c = 0; c < 4; ++c)
          if ((dst.mask & (1 << c)) && src.swizzle[c] != c) ok = false;
      }
      if (ok) {
        prev.operands[0] = dst;
        prev.controls |= kSaturateBit;
        continue;
      }
    }
    out.push_back(std::move(ins));
  }
  body.swap(out);
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
  std::vector<bool> used;
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
  for (Instruction& ins : body) {
    for (Operand& o : ins.operands) {
      if (o.type == OperandTemp && o.indexCount >= 1 && o.index[0].value < virtualCount)
        o.index[0].value = physical[o.index[0].value];
      for (int i = 0; i < o.indexCount; ++i)
        if (o.index[i].relative && o.index[i].relReg < virtualCount)
          o.index[i].relReg = physical[o.index[i].relReg];
    }
  }
  return uint32_t(busyUntil.size());
}

}  // namespace dxbc
