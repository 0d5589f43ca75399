// Output: immediates made plain, the declarations that precede the code, and
// the constant buffer's members as the resource definitions list them.
#include "TranslatorState.h"

#include <algorithm>
#include <string>

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

// The reflection type of a constant buffer member, and its size under the
// HLSL packing rules. glslang turns an HLSL floatRxC into R SPIR-V columns of
// C components and its column_major layout into the RowMajor decoration, so
// the HLSL shape is the SPIR-V one read the other way round.
ConstantType Translator::describeType(uint32_t type, bool columnMajor, uint32_t& size,
                                      int depth) {
  ConstantType ct;
  size = 0;
  if (depth > 8) return ct;  // a valid module cannot nest this deep
  const Type& t = typeAt(type);
  switch (t.op) {
    case spv::OpTypeBool: case spv::OpTypeInt: case spv::OpTypeFloat:
    case spv::OpTypeVector: case spv::OpTypeMatrix: {
      uint32_t columns = 1, rows = 1;
      uint32_t scalar = type;
      if (t.op == spv::OpTypeVector) {
        columns = t.count;
        scalar = t.elem;
      } else if (t.op == spv::OpTypeMatrix) {
        rows = t.count;
        columns = comps(t.elem);
        scalar = typeAt(t.elem).elem;
      }
      Scalar sc = scalarOf(scalar);
      ct.varType = sc == Scalar::Bool ? kTypeBool : sc == Scalar::Int ? kTypeInt
                   : sc == Scalar::UInt ? kTypeUInt : kTypeFloat;
      ct.varClass = t.op == spv::OpTypeMatrix ? (columnMajor ? kClassMatrixColumns : kClassMatrixRows)
                    : t.op == spv::OpTypeVector ? kClassVector : kClassScalar;
      ct.rows = uint16_t(rows);
      ct.columns = uint16_t(columns);
      ct.name = ct.varType == kTypeBool ? "bool" : ct.varType == kTypeInt ? "int"
                : ct.varType == kTypeUInt ? "uint" : "float";
      if (t.op == spv::OpTypeMatrix)
        ct.name += std::to_string(rows) + "x" + std::to_string(columns);
      else if (t.op == spv::OpTypeVector)
        ct.name += std::to_string(columns);
      // Each register holds one column of a column-major matrix, one row of a
      // row-major one; the last register is only filled as far as needed.
      if (t.op != spv::OpTypeMatrix) size = 4 * columns;
      else if (columnMajor) size = 16 * (columns - 1) + 4 * rows;
      else size = 16 * (rows - 1) + 4 * columns;
      return ct;
    }
    case spv::OpTypeArray: {
      uint32_t elementSize = 0;
      ct = describeType(t.elem, columnMajor, elementSize, depth + 1);
      auto it = arrayStride_.find(type);
      uint32_t stride = it != arrayStride_.end() ? it->second : (elementSize + 15) / 16 * 16;
      ct.elements = uint16_t(std::min<uint32_t>(t.count, 0xffff));
      size = t.count ? stride * (t.count - 1) + elementSize : 0;
      return ct;
    }
    case spv::OpTypeStruct: {
      ct.varClass = kClassStruct;
      ct.varType = 0;  // D3D_SVT_VOID, as for every structure
      ct.rows = 1;
      ct.name = names_.count(type) ? names_[type] : "struct";
      uint32_t end = 0;
      for (uint32_t m = 0; m < t.members.size(); ++m) {
        ConstantMember member;
        auto name = memberNames_.find({type, m});
        member.name = name != memberNames_.end() ? name->second : "m" + std::to_string(m);
        auto off = memberOffsets_.find({type, m});
        member.offset = off != memberOffsets_.end() ? off->second : end;
        uint32_t memberSize = 0;
        member.type = describeType(t.members[m], memberRowMajor_.count({type, m}) > 0,
                                   memberSize, depth + 1);
        end = std::max(end, member.offset + memberSize);
        ct.members.push_back(std::move(member));
      }
      ct.columns = uint16_t(std::min<uint32_t>((end + 3) / 4, 0xffff));
      size = end;
      return ct;
    }
    default:
      return ct;
  }
}

// The buffer's members with names, offsets, sizes and types as declared.
std::vector<ConstantVariable> Translator::describeConstantBuffer() {
  std::vector<ConstantVariable> vars;
  auto vit = variables_.find(cbVar_);
  if (cbSlot_ < 0 || vit == variables_.end()) return vars;
  uint32_t block = vit->second.type;
  const Type& t = typeAt(block);
  if (t.op != spv::OpTypeStruct) return vars;
  for (uint32_t m = 0; m < t.members.size(); ++m) {
    ConstantVariable v;
    auto name = memberNames_.find({block, m});
    v.name = name != memberNames_.end() ? name->second : "m" + std::to_string(m);
    auto off = memberOffsets_.find({block, m});
    v.offset = off != memberOffsets_.end() ? off->second : 0;
    v.type = describeType(t.members[m], memberRowMajor_.count({block, m}) > 0, v.size, 0);
    v.used = cbMembersRead_.count(m) > 0;
    vars.push_back(std::move(v));
  }
  return vars;
}

}  // namespace translate
}  // namespace dxbc
