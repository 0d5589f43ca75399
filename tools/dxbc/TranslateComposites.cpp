// Composites: vectors built, taken apart, shuffled and copied, without code
// where the lanes already sit in one register or are constants.
#include "TranslatorState.h"

#include <algorithm>

namespace dxbc {
namespace translate {
namespace {

// Whether v is a view of the same register as other, read with the same
// modifier (the swizzle may differ).
bool sameRegisterAs(const Value& v, const Value& other) {
  return v.kind == Value::Reg && v.file == other.file && v.reg == other.reg &&
         v.elem == other.elem && v.mod == other.mod;
}

int lowestLane(uint8_t mask) {
  int lane = 0;
  while (!(mask & (1u << lane))) ++lane;
  return lane;
}

}  // namespace

void Translator::translateComposite(const Instruction& ins) {
  uint32_t type = ins.word(1), id = ins.word(2);
  switch (ins.opcode) {
    case spv::OpCompositeConstruct: {
      const Type& t = typeAt(type);
      if (t.op != spv::OpTypeVector) {
        // Constant-only composites (e.g. arrays built from constants).
        Value v;
        v.kind = Value::Composite;
        v.type = type;
        for (uint32_t w = 3; w < ins.count; ++w) {
          if (operand(ins.word(w)).kind != Value::Const &&
              operand(ins.word(w)).kind != Value::Composite) {
            unsupported(ins, "non-vector composites must be built from constants");
            return;
          }
          v.parts.push_back(ins.word(w));
        }
        val(id) = v;
        return;
      }
      uint8_t n = uint8_t(t.count);
      // Gather every result component's source.
      Lanes parts;
      for (uint32_t w = 3; w < ins.count; ++w) {
        Value v = operand(ins.word(w));
        for (uint8_t c = 0; c < v.n; ++c) parts.push_back({v, c});
      }
      if (parts.size() < n) {
        fail("composite construct with too few components");
        return;
      }
      if (defineWithoutCode(id, type, n, parts)) return;
      uint32_t r = newTemp();
      // One mov per run of components taken from the same register or from
      // constants.
      std::vector<bool> done(n, false);
      for (int i = 0; i < n; ++i) {
        if (done[i]) continue;
        const Value& a = parts[i].first;
        uint8_t mask = 0;
        for (int j = i; j < n; ++j) {
          const Value& b = parts[j].first;
          if (a.kind == Value::Const ? b.kind != Value::Const : !sameRegisterAs(b, a)) continue;
          mask |= uint8_t(1u << j);
          done[j] = true;
        }
        movLanes(r, mask, i, parts);
      }
      val(id) = tempValue(r, n, type);
      return;
    }
    case spv::OpCompositeExtract: {
      Value v = operand(ins.word(3));
      for (uint32_t w = 4; w < ins.count; ++w) {
        uint32_t index = ins.word(w);
        if (v.kind == Value::Composite) {
          if (index >= v.parts.size()) {
            fail("composite extract index out of range");
            return;
          }
          v = operand(v.parts[index]);
        } else if (v.kind == Value::Const) {
          v.bits[0] = v.bits[std::min<uint32_t>(index, v.n - 1)];
          v.n = 1;
        } else if (v.kind == Value::Reg) {
          v.swz[0] = v.swz[std::min<uint32_t>(index, v.n - 1)];
          v.n = 1;
        } else {
          unsupported(ins);
          return;
        }
      }
      v.type = type;
      val(id) = v;
      return;
    }
    case spv::OpCompositeInsert: {
      Value obj = operand(ins.word(3));
      Value comp = operand(ins.word(4));
      if (ins.count != 6 || typeAt(type).op != spv::OpTypeVector) {
        unsupported(ins, "only inserting into a vector");
        return;
      }
      uint32_t index = ins.word(5);
      uint8_t n = uint8_t(comps(type));
      if (index >= n) {
        fail("composite insert index out of range");
        return;
      }
      if (comp.kind == Value::Const && comp.n == 1 && obj.kind == Value::Const) {
        Value v = obj;
        v.bits[index] = comp.bits[0];
        v.type = type;
        val(id) = v;
        return;
      }
      uint32_t r = newTemp();
      emitOp(OpMov, {dst(r, n), src(obj, n)});
      Operand s = srcComp(comp, 0, 4);
      emitOp(OpMov, {tempDst(r, uint8_t(1u << index)), s});
      val(id) = tempValue(r, n, type);
      return;
    }
    case spv::OpVectorShuffle: {
      Value a = operand(ins.word(3)), b = operand(ins.word(4));
      uint8_t n = uint8_t(ins.count - 5);
      if (ins.count < 6 || ins.count > 9 || n != comps(type)) {
        fail("malformed vector shuffle");
        return;
      }
      for (uint32_t w = 5; w < ins.count; ++w)
        if (ins.word(w) != 0xffffffffu && ins.word(w) >= uint32_t(a.n + b.n)) {
          fail("vector shuffle component out of range");
          return;
        }
      Lanes parts;
      for (uint32_t w = 5; w < ins.count; ++w) {
        uint32_t c = ins.word(w);
        if (c == 0xffffffffu) c = 0;
        if (c < a.n) parts.push_back({a, uint8_t(c)});
        else parts.push_back({b, uint8_t(c - a.n)});
      }
      if (defineWithoutCode(id, type, n, parts)) return;
      uint32_t r = newTemp();
      // One mov for the lanes taken from each source, the first source's first.
      for (int side = 0; side < 2; ++side) {
        const Value& s = side == 0 ? a : b;
        Lanes lanes(n, {s, 0});
        uint8_t mask = 0;
        for (int i = 0; i < n; ++i) {
          uint32_t c = ins.word(5 + i);
          bool fromA = c < a.n || c == 0xffffffffu;
          if (fromA != (side == 0)) continue;
          lanes[i].second = uint8_t(fromA ? (c == 0xffffffffu ? 0 : c) : c - a.n);
          mask |= uint8_t(1u << i);
        }
        if (mask) movLanes(r, mask, lowestLane(mask), lanes);
      }
      val(id) = tempValue(r, n, type);
      return;
    }
    case spv::OpCopyObject: {
      Value v = operand(ins.word(3));
      val(id) = v;
      return;
    }
    default:
      unsupported(ins);
  }
}

// Defines id without emitting code when the lanes are all constants or all
// read one register view (in any order); false when a mov is needed.
bool Translator::defineWithoutCode(uint32_t id, uint32_t type, uint8_t n, const Lanes& lanes) {
  bool allConst = true, sameReg = true;
  for (const auto& lane : lanes)
    if (lane.first.kind != Value::Const) allConst = false;
  for (int i = 0; i < n; ++i)
    if (!sameRegisterAs(lanes[i].first, lanes[0].first)) sameReg = false;
  if (allConst) {
    uint32_t bits[4];
    for (int i = 0; i < n; ++i) bits[i] = lanes[i].first.bits[lanes[i].second];
    val(id) = constValue(type, n, bits);
    return true;
  }
  if (sameReg) {
    Value v = lanes[0].first;
    for (int i = 0; i < n; ++i) v.swz[i] = lanes[i].first.swz[lanes[i].second];
    v.n = n;
    v.type = type;
    val(id) = v;
    return true;
  }
  return false;
}

// One mov into the lanes of temp reg in mask, lane j taking component
// lanes[j].second of lanes[j].first. The lanes are all constants or all views
// of the register of lanes[lead].first; unwritten lanes repeat lane lead.
void Translator::movLanes(uint32_t reg, uint8_t mask, int lead, const Lanes& lanes) {
  const Value& a = lanes[lead].first;
  uint8_t swz[4] = {0, 0, 0, 0};
  uint32_t bits[4] = {0, 0, 0, 0};
  for (int j = 0; j < 4; ++j) {
    if (!(mask & (1u << j))) continue;
    const Value& b = lanes[j].first;
    if (a.kind == Value::Const) bits[j] = b.bits[lanes[j].second];
    else swz[j] = b.swz[lanes[j].second];
  }
  Operand s;
  if (a.kind == Value::Const) {
    s = immVector(bits);
  } else {
    for (int c = 0; c < 4; ++c)
      if (!(mask & (1u << c))) swz[c] = swz[lead];
    s = src(a, 4);
    memcpy(s.swizzle, swz, 4);
  }
  emitOp(OpMov, {tempDst(reg, mask), s});
}

}  // namespace translate
}  // namespace dxbc
