// Values as operands: register views, immediates and the modifiers read
// through them, and the one- and two-operand instructions built from them.
#include "TranslatorState.h"

#include <algorithm>

namespace dxbc {
namespace translate {

Operand Translator::src(const Value& v, uint8_t n, OperandModifier mod) {
  Operand o;
  if (v.kind == Value::Const) {
    uint32_t bits[4] = {0, 0, 0, 0};
    for (int i = 0; i < n; ++i) bits[i] = v.bits[std::min<int>(i, v.n - 1)];
    o = n == 1 ? immScalar(bits[0]) : immVector(bits);
    // Applied to the bits by foldImmediateModifiers, once the instruction
    // says whether they are integers or floats.
    o.modifier = mod;
    return o;
  }
  if (v.kind != Value::Reg) {
    fail("a non-arithmetic value is used as an operand");
    return immScalar(0);
  }
  uint8_t swz[4];
  for (int i = 0; i < 4; ++i) swz[i] = v.swz[std::min<int>(std::min<int>(i, n - 1), v.n - 1)];
  o = regSrc(v.file, v.reg, swz);
  indexElement(o, v);
  o.modifier = combine(v.mod, mod);
  return o;
}

Operand Translator::srcComp(const Value& v, uint8_t comp, uint8_t n) {
  Value c = v;
  if (v.kind == Value::Const) {
    c.bits[0] = v.bits[std::min<int>(comp, v.n - 1)];
  } else {
    c.swz[0] = v.swz[std::min<int>(comp, v.n - 1)];
  }
  c.n = 1;
  return src(c, n);
}

Operand Translator::scalarSrc(const Value& v, uint8_t comp) {
  if (v.kind == Value::Const) return immScalar(v.bits[std::min<int>(comp, v.n - 1)]);
  Operand o = select1(v.file, v.reg, v.swz[std::min<int>(comp, v.n - 1)]);
  indexElement(o, v);
  o.modifier = v.mod;
  return o;
}

uint32_t Translator::toTemp(const Value& v, uint8_t n) {
  if (v.kind == Value::Reg && v.file == OperandTemp && v.mod == ModNone) {
    bool identity = true;
    for (int i = 0; i < n; ++i)
      if (v.swz[i] != i) identity = false;
    if (identity) return v.reg;
  }
  uint32_t r = newTemp();
  emitOp(OpMov, {dst(r, n), src(v, n)});
  return r;
}

void Translator::emitUnary(const Instruction& ins, uint16_t op, uint32_t a, OperandModifier mod,
                           uint32_t controls) {
  uint32_t r = newTemp();
  Value& out = define(ins, r);
  uint8_t n = out.n;
  Value va = operand(a);
  emitOp(op, {dst(r, n), src(va, n, mod)}, controls);
}

void Translator::emitBinary(const Instruction& ins, uint16_t op, uint32_t a, uint32_t b,
                            bool swap, OperandModifier modB) {
  uint32_t r = newTemp();
  Value va = operand(a), vb = operand(b);
  Value& out = define(ins, r);
  uint8_t n = out.n;
  Operand oa = src(va, n), ob = src(vb, n, modB);
  if (swap) std::swap(oa, ob);
  emitOp(op, {dst(r, n), oa, ob});
}

}  // namespace translate
}  // namespace dxbc
