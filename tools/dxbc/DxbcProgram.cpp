#include "DxbcProgram.h"

#include <cstdio>
#include <cstring>

namespace dxbc {

Operand tempDst(uint32_t reg, uint8_t mask) {
  Operand o;
  o.type = OperandTemp;
  o.selection = SelMask;
  o.mask = mask;
  o.index[0].value = reg;
  return o;
}

Operand regSrc(OperandType type, uint32_t reg, const uint8_t swz[4]) {
  Operand o;
  o.type = type;
  o.selection = SelSwizzle;
  memcpy(o.swizzle, swz, 4);
  o.index[0].value = reg;
  return o;
}

Operand select1(OperandType type, uint32_t reg, uint8_t comp) {
  Operand o;
  o.type = type;
  o.selection = SelSelect1;
  o.swizzle[0] = comp;
  o.index[0].value = reg;
  return o;
}

Operand immScalar(uint32_t bits) {
  Operand o;
  o.type = OperandImmediate32;
  o.numComponents = 1;
  o.indexCount = 0;
  o.imm[0] = bits;
  return o;
}

Operand immVector(const uint32_t bits[4]) {
  Operand o;
  o.type = OperandImmediate32;
  o.numComponents = 4;
  o.selection = SelMask;
  o.mask = 0;
  o.indexCount = 0;
  memcpy(o.imm, bits, 16);
  return o;
}

Operand nullDst() {
  Operand o;
  o.type = OperandNull;
  o.numComponents = 0;
  o.indexCount = 0;
  return o;
}

namespace {

void encodeOperand(const Operand& o, std::vector<uint32_t>& out) {
  uint32_t token = 0;
  if (o.numComponents == 1) {
    token |= 1;
  } else if (o.numComponents == 4) {
    token |= 2;
    token |= uint32_t(o.selection) << 2;
    if (o.selection == SelMask) {
      token |= uint32_t(o.mask & 0xf) << 4;
    } else if (o.selection == SelSwizzle) {
      for (int i = 0; i < 4; ++i) token |= uint32_t(o.swizzle[i] & 3) << (4 + 2 * i);
    } else {
      token |= uint32_t(o.swizzle[0] & 3) << 4;
    }
  }
  token |= uint32_t(o.type) << 12;
  token |= uint32_t(o.indexCount) << 20;
  for (int i = 0; i < o.indexCount; ++i)
    token |= uint32_t(o.index[i].relative ? 3 : 0) << (22 + 3 * i);
  bool extended = o.modifier != ModNone;
  if (extended) token |= 1u << 31;
  out.push_back(token);
  if (extended) out.push_back(1u | uint32_t(o.modifier) << 6);
  for (int i = 0; i < o.indexCount; ++i) {
    out.push_back(o.index[i].value);
    if (o.index[i].relative) {
      Operand rel = select1(OperandTemp, o.index[i].relReg, o.index[i].relComp);
      encodeOperand(rel, out);
    }
  }
  if (o.type == OperandImmediate32)
    for (int i = 0; i < (o.numComponents == 4 ? 4 : 1); ++i) out.push_back(o.imm[i]);
}

// How many trailing plain tokens a declaration carries after its operands,
// and how many operands it has. -1 operands: all remaining tokens are operands.
void declarationShape(uint16_t opcode, int& operands, int& extras) {
  operands = -1;
  extras = 0;
  switch (opcode) {
    case OpDclResource: operands = 1; extras = 1; break;
    case OpDclConstantBuffer: case OpDclSampler: case OpDclInput: case OpDclInputPs:
    case OpDclOutput: operands = 1; break;
    case OpDclInputSgv: case OpDclInputSiv: case OpDclInputPsSgv: case OpDclInputPsSiv:
    case OpDclOutputSgv: case OpDclOutputSiv: operands = 1; extras = 1; break;
    case OpDclTemps: operands = 0; extras = 1; break;
    case OpDclIndexableTemp: operands = 0; extras = 3; break;
    case OpDclGlobalFlags: operands = 0; break;
    default: break;
  }
}

}  // namespace

std::vector<uint32_t> encodeProgram(const Program& program) {
  std::vector<uint32_t> out;
  out.push_back((program.pixel ? 0u : 1u) << 16 | 0x50);
  out.push_back(0);
  for (const Instruction& ins : program.code) {
    if (ins.opcode == OpCustomData) {
      out.push_back(OpCustomData | ins.controls);
      out.push_back(uint32_t(ins.customData.size() + 2));
      out.insert(out.end(), ins.customData.begin(), ins.customData.end());
      continue;
    }
    size_t at = out.size();
    out.push_back(0);
    for (const Operand& o : ins.operands) encodeOperand(o, out);
    out.insert(out.end(), ins.extra.begin(), ins.extra.end());
    out[at] = ins.opcode | ins.controls | uint32_t(out.size() - at) << 24;
  }
  out[1] = uint32_t(out.size());
  return out;
}

namespace {

struct Reader {
  const uint32_t* t;
  size_t end;
  size_t at;
  std::string* error;
  bool take(uint32_t& v) {
    if (at >= end) {
      *error = "instruction runs past its length";
      return false;
    }
    v = t[at++];
    return true;
  }
};

bool decodeOperand(Reader& r, Operand& o, int depth) {
  uint32_t token;
  if (!r.take(token)) return false;
  o = Operand();
  uint32_t nc = token & 3;
  o.numComponents = nc == 0 ? 0 : nc == 1 ? 1 : 4;
  if (nc == 3) {
    *r.error = "operand with N-component count is not supported";
    return false;
  }
  if (nc == 2) {
    o.selection = SelectionMode((token >> 2) & 3);
    if (o.selection == SelMask) {
      o.mask = (token >> 4) & 0xf;
    } else if (o.selection == SelSwizzle) {
      for (int i = 0; i < 4; ++i) o.swizzle[i] = (token >> (4 + 2 * i)) & 3;
    } else if (o.selection == SelSelect1) {
      o.swizzle[0] = (token >> 4) & 3;
    } else {
      *r.error = "bad component selection mode";
      return false;
    }
  }
  o.type = OperandType((token >> 12) & 0xff);
  o.indexCount = (token >> 20) & 3;
  if (token >> 31) {
    uint32_t ext;
    if (!r.take(ext)) return false;
    if ((ext & 0x3f) == 1) o.modifier = OperandModifier((ext >> 6) & 3);
  }
  for (int i = 0; i < o.indexCount; ++i) {
    uint32_t rep = (token >> (22 + 3 * i)) & 7;
    if (rep == 0 || rep == 3) {
      if (!r.take(o.index[i].value)) return false;
    } else if (rep != 2) {
      *r.error = "unsupported operand index representation " + std::to_string(rep);
      return false;
    }
    if (rep == 2 || rep == 3) {
      if (depth > 2) {
        *r.error = "relative index nested too deeply";
        return false;
      }
      Operand rel;
      if (!decodeOperand(r, rel, depth + 1)) return false;
      o.index[i].relative = true;
      o.index[i].relReg = rel.index[0].value;
      o.index[i].relComp = rel.selection == SelSelect1 ? rel.swizzle[0] : rel.swizzle[0];
    }
  }
  if (o.type == OperandImmediate32) {
    for (int i = 0; i < (o.numComponents == 4 ? 4 : o.numComponents); ++i)
      if (!r.take(o.imm[i])) return false;
  }
  return true;
}

}  // namespace

bool decodeProgram(const uint32_t* tokens, size_t count, Program& program, std::string& error) {
  program = Program();
  if (count < 2) {
    error = "program shorter than its two header tokens";
    return false;
  }
  uint32_t type = tokens[0] >> 16;
  if (type > 1) {
    error = "only pixel and vertex programs are supported (type " + std::to_string(type) + ")";
    return false;
  }
  program.pixel = type == 0;
  if (tokens[1] != count) {
    error = "program length token " + std::to_string(tokens[1]) + " does not match " +
            std::to_string(count) + " tokens";
    return false;
  }
  size_t at = 2;
  while (at < count) {
    uint32_t token = tokens[at];
    Instruction ins;
    ins.opcode = token & 0x7ff;
    if (ins.opcode == OpCustomData) {
      if (at + 1 >= count || tokens[at + 1] < 2 || tokens[at + 1] > count - at) {
        error = "custom data block with a bad length";
        return false;
      }
      ins.controls = token & ~0x7ffu;
      ins.customData.assign(tokens + at + 2, tokens + at + tokens[at + 1]);
      at += tokens[at + 1];
      program.code.push_back(std::move(ins));
      continue;
    }
    ins.controls = token & 0x00fff800;
    uint32_t length = (token >> 24) & 0x7f;
    if (length == 0 || length > count - at) {
      error = "instruction at token " + std::to_string(at) + " has a bad length";
      return false;
    }
    Reader r{tokens, at + length, at + 1, &error};
    if (token >> 31) {
      uint32_t ext;
      if (!r.take(ext)) return false;  // extended opcode (sample offsets...): skipped
    }
    int operands, extras;
    declarationShape(ins.opcode, operands, extras);
    int n = 0;
    while (r.at < r.end - extras && (operands < 0 || n < operands)) {
      Operand o;
      if (!decodeOperand(r, o, 0)) return false;
      ins.operands.push_back(o);
      ++n;
    }
    while (r.at < r.end) ins.extra.push_back(tokens[r.at++]);
    program.code.push_back(std::move(ins));
    at += length;
  }
  return true;
}

const char* opcodeName(uint16_t op) {
  switch (op) {
    case OpAdd: return "add"; case OpAnd: return "and"; case OpBreak: return "break";
    case OpBreakc: return "breakc"; case OpContinue: return "continue";
    case OpContinuec: return "continuec"; case OpDerivRtx: return "deriv_rtx";
    case OpDerivRty: return "deriv_rty"; case OpDiscard: return "discard";
    case OpDiv: return "div"; case OpDp2: return "dp2"; case OpDp3: return "dp3";
    case OpDp4: return "dp4"; case OpElse: return "else"; case OpEndif: return "endif";
    case OpEndloop: return "endloop"; case OpEq: return "eq"; case OpExp: return "exp";
    case OpFrc: return "frc"; case OpFtoi: return "ftoi"; case OpFtou: return "ftou";
    case OpGe: return "ge"; case OpIadd: return "iadd"; case OpIf: return "if";
    case OpIeq: return "ieq"; case OpIge: return "ige"; case OpIlt: return "ilt";
    case OpImad: return "imad"; case OpImax: return "imax"; case OpImin: return "imin";
    case OpImul: return "imul"; case OpIne: return "ine"; case OpIneg: return "ineg";
    case OpIshl: return "ishl"; case OpIshr: return "ishr"; case OpItof: return "itof";
    case OpLd: return "ld"; case OpLog: return "log"; case OpLoop: return "loop";
    case OpLt: return "lt"; case OpMad: return "mad"; case OpMin: return "min";
    case OpMax: return "max"; case OpCustomData: return "customdata";
    case OpMov: return "mov"; case OpMovc: return "movc"; case OpMul: return "mul";
    case OpNe: return "ne"; case OpNop: return "nop"; case OpNot: return "not";
    case OpOr: return "or"; case OpResinfo: return "resinfo"; case OpRet: return "ret";
    case OpRetc: return "retc"; case OpRoundNe: return "round_ne";
    case OpRoundNi: return "round_ni"; case OpRoundPi: return "round_pi";
    case OpRoundZ: return "round_z"; case OpRsq: return "rsq"; case OpSample: return "sample";
    case OpSampleC: return "sample_c"; case OpSampleCLz: return "sample_c_lz";
    case OpSampleL: return "sample_l"; case OpSampleD: return "sample_d";
    case OpSampleB: return "sample_b"; case OpSqrt: return "sqrt";
    case OpSincos: return "sincos"; case OpUdiv: return "udiv"; case OpUlt: return "ult";
    case OpUge: return "uge"; case OpUmul: return "umul"; case OpUmad: return "umad";
    case OpUmax: return "umax"; case OpUmin: return "umin"; case OpUshr: return "ushr";
    case OpUtof: return "utof"; case OpXor: return "xor";
    case OpDclResource: return "dcl_resource_texture2d";
    case OpDclConstantBuffer: return "dcl_constantbuffer";
    case OpDclSampler: return "dcl_sampler"; case OpDclInput: return "dcl_input";
    case OpDclInputSgv: return "dcl_input_sgv"; case OpDclInputSiv: return "dcl_input_siv";
    case OpDclInputPs: return "dcl_input_ps"; case OpDclInputPsSgv: return "dcl_input_ps_sgv";
    case OpDclInputPsSiv: return "dcl_input_ps_siv"; case OpDclOutput: return "dcl_output";
    case OpDclOutputSgv: return "dcl_output_sgv"; case OpDclOutputSiv: return "dcl_output_siv";
    case OpDclTemps: return "dcl_temps"; case OpDclIndexableTemp: return "dcl_indexableTemp";
    case OpDclGlobalFlags: return "dcl_globalFlags";
    case OpDerivRtxCoarse: return "deriv_rtx_coarse";
    case OpDerivRtxFine: return "deriv_rtx_fine";
    case OpDerivRtyCoarse: return "deriv_rty_coarse";
    case OpDerivRtyFine: return "deriv_rty_fine";
    default: return nullptr;
  }
}

namespace {

const char kComp[] = "xyzw";

std::string formatImm(uint32_t bits) {
  float f;
  memcpy(&f, &bits, 4);
  char buf[64];
  // Small integers and bit patterns read better as integers.
  if ((bits & 0x7f800000) == 0 && bits != 0 && bits < 0x10000)
    snprintf(buf, sizeof buf, "%u", bits);
  else if (bits >= 0xffff0000u)  // small negative integers
    snprintf(buf, sizeof buf, "%d", int(int32_t(bits)));
  else
    snprintf(buf, sizeof buf, "%g", double(f));
  return buf;
}

std::string formatOperand(const Operand& o) {
  std::string s;
  if (o.type == OperandImmediate32) {
    s = "l(";
    int n = o.numComponents == 4 ? 4 : 1;
    for (int i = 0; i < n; ++i) {
      if (i) s += ", ";
      s += formatImm(o.imm[i]);
    }
    s += ")";
  } else {
    switch (o.type) {
      case OperandTemp: s = "r"; break;
      case OperandInput: s = "v"; break;
      case OperandOutput: s = "o"; break;
      case OperandIndexableTemp: s = "x"; break;
      case OperandSampler: s = "s"; break;
      case OperandResource: s = "t"; break;
      case OperandConstantBuffer: s = "cb"; break;
      case OperandImmediateConstantBuffer: s = "icb"; break;
      case OperandNull: s = "null"; break;
      default: s = "?" + std::to_string(o.type) + "?"; break;
    }
    for (int i = 0; i < o.indexCount; ++i) {
      const Index& ix = o.index[i];
      std::string v;
      if (ix.relative) {
        v = "r" + std::to_string(ix.relReg) + "." + kComp[ix.relComp & 3];
        if (ix.value) v += " + " + std::to_string(ix.value);
      } else {
        v = std::to_string(ix.value);
      }
      bool bracket = i > 0 || o.type == OperandImmediateConstantBuffer || ix.relative ||
                     (o.type == OperandIndexableTemp && i > 0);
      s += bracket ? "[" + v + "]" : v;
    }
  }
  if (o.numComponents == 4 && o.type != OperandImmediate32) {
    if (o.selection == SelMask) {
      if (o.mask != 0xf) {
        s += ".";
        for (int i = 0; i < 4; ++i)
          if (o.mask & (1 << i)) s += kComp[i];
      }
    } else if (o.selection == SelSwizzle) {
      s += ".";
      for (int i = 0; i < 4; ++i) s += kComp[o.swizzle[i] & 3];
    } else {
      s += ".";
      s += kComp[o.swizzle[0] & 3];
    }
  }
  if (o.modifier == ModNeg) s = "-" + s;
  if (o.modifier == ModAbs) s = "|" + s + "|";
  if (o.modifier == ModAbsNeg) s = "-|" + s + "|";
  return s;
}

}  // namespace

std::string formatInstruction(const Instruction& ins) {
  const char* name = opcodeName(ins.opcode);
  std::string s = name ? name : "opcode" + std::to_string(ins.opcode);
  if (ins.opcode == OpCustomData) {
    s = "dcl_immediateConstantBuffer {";
    for (size_t i = 0; i < ins.customData.size(); ++i) {
      if (i % 4 == 0) s += i ? " }, { " : " { ";
      else s += ", ";
      s += formatImm(ins.customData[i]);
    }
    if (!ins.customData.empty()) s += " }";
    s += " }";
    return s;
  }
  bool declaration = ins.opcode >= OpDclResource && ins.opcode <= OpDclGlobalFlags;
  if ((ins.controls & kSaturateBit) && !declaration) s += "_sat";
  if ((ins.controls & kPreciseMask) && !declaration && ins.opcode != OpCustomData) {
    s += " [precise(";
    for (int c = 0; c < 4; ++c)
      if (ins.controls & (1u << (kPreciseShift + c))) s += "xyzw"[c];
    s += ")]";
  }
  switch (ins.opcode) {
    case OpIf: case OpBreakc: case OpContinuec: case OpRetc: case OpDiscard:
      s += (ins.controls & kTestNonZeroBit) ? "_nz" : "_z";
      break;
    case OpDclGlobalFlags:
      if (ins.controls & (1u << 11)) s += " refactoringAllowed";
      return s;
    case OpDclTemps:
      return s + " " + (ins.extra.empty() ? "?" : std::to_string(ins.extra[0]));
    case OpDclIndexableTemp:
      if (ins.extra.size() == 3)
        s += " x" + std::to_string(ins.extra[0]) + "[" + std::to_string(ins.extra[1]) + "], " +
             std::to_string(ins.extra[2]);
      return s;
    case OpDclInputPs: case OpDclInputPsSiv: case OpDclInputPsSgv: {
      uint32_t mode = (ins.controls >> 11) & 0xf;
      static const char* kModes[] = {"undefined", "constant", "linear", "linear centroid",
                                     "linear noperspective", "linear noperspective centroid",
                                     "linear sample", "linear noperspective sample"};
      s += std::string(" ") + (mode < 8 ? kModes[mode] : "?");
      break;
    }
    default: break;
  }
  for (size_t i = 0; i < ins.operands.size(); ++i) {
    s += i ? ", " : " ";
    std::string op = formatOperand(ins.operands[i]);
    if (ins.opcode == OpDclConstantBuffer && ins.operands[i].indexCount == 2)
      op = "cb" + std::to_string(ins.operands[i].index[0].value) + "[" +
           std::to_string(ins.operands[i].index[1].value) + "]";
    s += op;
  }
  if (ins.opcode == OpDclConstantBuffer)
    s += (ins.controls & (1u << 11)) ? ", dynamicIndexed" : ", immediateIndexed";
  if (ins.opcode == OpDclResource && !ins.extra.empty()) {
    s += " (float)";
  } else if (!ins.extra.empty()) {
    for (uint32_t e : ins.extra) {
      std::string name = std::to_string(e);
      if (e == SvPosition) name = "position";
      if (e == SvVertexId) name = "vertex_id";
      s += ", " + name;
    }
  }
  return s;
}

}  // namespace dxbc
