// Output: immediates made plain and the declarations that precede the code.
#include "TranslatorState.h"

namespace dxbc {
namespace translate {

// Immediates never carry operand modifiers: negation or absolute value is
// applied to the constant itself, as an integer for integer instructions.
bool integerInstruction(uint16_t op) {
  switch (op) {
    case OpIadd: case OpImax: case OpImin: case OpIeq: case OpIne: case OpIlt: case OpIge:
    case OpImul: case OpImad: case OpIneg: case OpIshl: case OpIshr: case OpUshr: case OpAnd:
    case OpOr: case OpXor: case OpNot: case OpUdiv: case OpUlt: case OpUge: case OpUmax:
    case OpUmin: case OpItof: case OpUtof: case OpUmul: case OpUmad:
      return true;
    default:
      return false;
  }
}

void foldImmediateModifiers(std::vector<dxbc::Instruction>& body) {
  for (dxbc::Instruction& ins : body) {
    bool integer = integerInstruction(ins.opcode);
    for (Operand& o : ins.operands) {
      if (o.type != OperandImmediate32 || o.modifier == ModNone) continue;
      for (uint32_t& bits : o.imm) {
        if (integer) {
          int32_t v = int32_t(bits);
          if (o.modifier & ModAbs) v = v < 0 ? int32_t(0u - uint32_t(v)) : v;
          if (o.modifier & ModNeg) v = int32_t(0u - uint32_t(v));
          bits = uint32_t(v);
        } else {
          if (o.modifier & ModAbs) bits &= 0x7fffffffu;
          if (o.modifier & ModNeg) bits ^= 0x80000000u;
        }
      }
      o.modifier = ModNone;
    }
  }
}

bool settlePreciseMasks(std::vector<dxbc::Instruction>& body) {
  bool any = false;
  for (dxbc::Instruction& ins : body) {
    if (!(ins.controls & kPreciseMask)) continue;
    // sincos, udiv, imul and umul write two destinations.
    bool two = ins.opcode == OpSincos || ins.opcode == OpUdiv || ins.opcode == OpImul ||
               ins.opcode == OpUmul;
    uint8_t written = 0;
    for (size_t i = 0; i < ins.operands.size() && i < (two ? 2u : 1u); ++i)
      if (ins.operands[i].type != OperandNull) written |= ins.operands[i].mask;
    ins.controls = (ins.controls & ~kPreciseMask) | uint32_t(written & 0xf) << kPreciseShift;
    any = any || written != 0;
  }
  return any;
}

void Translator::buildDeclarations(std::vector<dxbc::Instruction>& decls, uint32_t temps) {
  auto add = [&](uint16_t op, std::vector<Operand> ops, std::vector<uint32_t> extra,
                 uint32_t controls = 0) {
    dxbc::Instruction d;
    d.opcode = op;
    d.operands = std::move(ops);
    d.extra = std::move(extra);
    d.controls = controls;
    decls.push_back(std::move(d));
  };
  // A program with precise arithmetic must not be reordered as a whole.
  if (!hasPrecise_) add(OpDclGlobalFlags, {}, {}, kRefactoringAllowedBit);
  if (!icb_.empty()) {
    dxbc::Instruction d;
    d.opcode = OpCustomData;
    d.controls = 3u << 11;  // immediate constant buffer
    d.customData = icb_;
    decls.push_back(std::move(d));
  }
  if (cbSlot_ >= 0) {
    uint8_t id4[4] = {0, 1, 2, 3};
    Operand o = regSrc(OperandConstantBuffer, uint32_t(cbSlot_), id4);
    o.indexCount = 2;
    o.index[1].value = cbRows_;
    add(OpDclConstantBuffer, {o}, {}, cbDynamic_ ? 1u << 11 : 0);
  }
  for (auto& s : samplers_) add(OpDclSampler, {slotOperand(OperandSampler, s.first)}, {});
  for (auto& t : textures_)  // texture2d, float x4
    add(OpDclResource, {slotOperand(OperandResource, t.first)}, {0x5555}, 3u << 11);
  for (const SignatureElement& e : inputs_) {
    if (!e.used) continue;
    Operand o = tempDst(e.reg, e.used);
    o.type = OperandInput;
    if (!pixel_) {
      if (e.systemValue == SvVertexId) add(OpDclInputSgv, {o}, {SvVertexId});
      else add(OpDclInput, {o}, {});
    } else if (e.systemValue == SvPosition) {
      add(OpDclInputPsSiv, {o}, {SvPosition}, uint32_t(InterpLinearNoPerspective) << 11);
    } else {
      add(OpDclInputPs, {o}, {}, uint32_t(e.interpolation) << 11);
    }
  }
  for (const SignatureElement& e : outputs_) {
    Operand o = tempDst(e.reg, e.mask);
    o.type = OperandOutput;
    if (e.systemValue == SvPosition) add(OpDclOutputSiv, {o}, {SvPosition});
    else add(OpDclOutput, {o}, {});
  }
  if (temps) add(OpDclTemps, {}, {temps});
  for (auto& a : arrays_)
    if (!a.second.constant) add(OpDclIndexableTemp, {}, {a.second.base, a.second.length, 4});
}

}  // namespace translate
}  // namespace dxbc
