// Arithmetic: the GLSL.std.450 extended instructions and the core
// instructions that compute values (float, integer, logic, comparisons,
// conversions, derivatives), and the dispatch of every body instruction.
#include "TranslatorState.h"

#include <array>

namespace dxbc {
namespace translate {
namespace {


// The dot product of m components (a product for one).
uint16_t dotOpcode(uint8_t m) { return m == 2 ? OpDp2 : m == 3 ? OpDp3 : m == 4 ? OpDp4 : OpMul; }

}  // namespace

void Translator::translateExt(const Instruction& ins) {
  if (ins.word(3) != glslImport_) {
    unsupported(ins, "unknown extended instruction set");
    return;
  }
  uint32_t e = ins.word(4);
  uint32_t a = ins.word(5), b = ins.word(6), c = ins.word(7);
  uint32_t type = ins.word(1);
  uint8_t n = uint8_t(comps(type));
  Scalar sc = scalarOf(type);
  switch (e) {
    case spv::GlslFAbs: {
      Value v = operand(a);
      if (v.kind == Value::Const) {
        for (uint32_t& bits : v.bits) bits &= 0x7fffffffu;
      } else {
        v.mod = combine(v.mod, ModAbs);
      }
      v.type = type;
      val(ins.word(2)) = v;
      return;
    }
    case spv::GlslSAbs: {
      Value va = operand(a);
      uint32_t r = newTemp();
      define(ins, r);
      emitOp(OpImax, {dst(r, n), src(va, n), src(va, n, ModNeg)});
      return;
    }
    case spv::GlslFloor: emitUnary(ins, OpRoundNi, a); return;
    case spv::GlslCeil: emitUnary(ins, OpRoundPi, a); return;
    case spv::GlslTrunc: emitUnary(ins, OpRoundZ, a); return;
    case spv::GlslRound: case spv::GlslRoundEven: emitUnary(ins, OpRoundNe, a); return;
    case spv::GlslFract: emitUnary(ins, OpFrc, a); return;
    case spv::GlslSqrt: emitUnary(ins, OpSqrt, a); return;
    case spv::GlslInverseSqrt: emitUnary(ins, OpRsq, a); return;
    case spv::GlslExp2: emitUnary(ins, OpExp, a); return;
    case spv::GlslLog2: emitUnary(ins, OpLog, a); return;
    case spv::GlslExp: {
      Value va = operand(a);
      uint32_t t = newTemp(), r = newTemp();
      define(ins, r);
      emitOp(OpMul, {dst(t, n), src(va, n), immFloat(1.442695f, n)});
      emitOp(OpExp, {dst(r, n), src(tempValue(t, n, type), n)});
      return;
    }
    case spv::GlslLog: {
      Value va = operand(a);
      uint32_t t = newTemp(), r = newTemp();
      define(ins, r);
      emitOp(OpLog, {dst(t, n), src(va, n)});
      emitOp(OpMul, {dst(r, n), src(tempValue(t, n, type), n), immFloat(0.693147f, n)});
      return;
    }
    case spv::GlslPow: {
      Value va = operand(a), vb = operand(b);
      uint32_t t = newTemp(), r = newTemp();
      define(ins, r);
      Value tv = tempValue(t, n, type);
      emitOp(OpLog, {dst(t, n), src(va, n)});
      emitOp(OpMul, {dst(t, n), src(tv, n), src(vb, n)});
      emitOp(OpExp, {dst(r, n), src(tv, n)});
      return;
    }
    case spv::GlslSin: case spv::GlslCos: {
      Value va = operand(a);
      uint32_t r = newTemp();
      define(ins, r);
      if (e == spv::GlslSin) emitOp(OpSincos, {dst(r, n), nullDst(), src(va, n)});
      else emitOp(OpSincos, {nullDst(), dst(r, n), src(va, n)});
      return;
    }
    case spv::GlslTan: {
      Value va = operand(a);
      uint32_t s = newTemp(), k = newTemp(), r = newTemp();
      define(ins, r);
      emitOp(OpSincos, {dst(s, n), dst(k, n), src(va, n)});
      emitOp(OpDiv, {dst(r, n), src(tempValue(s, n, type), n), src(tempValue(k, n, type), n)});
      return;
    }
    case spv::GlslFMin: case spv::GlslNMin: emitBinary(ins, OpMin, a, b); return;
    case spv::GlslFMax: case spv::GlslNMax: emitBinary(ins, OpMax, a, b); return;
    case spv::GlslSMin: emitBinary(ins, OpImin, a, b); return;
    case spv::GlslSMax: emitBinary(ins, OpImax, a, b); return;
    case spv::GlslUMin: emitBinary(ins, OpUmin, a, b); return;
    case spv::GlslUMax: emitBinary(ins, OpUmax, a, b); return;
    case spv::GlslFClamp: case spv::GlslNClamp: case spv::GlslSClamp: case spv::GlslUClamp: {
      Value va = operand(a), lo = operand(b), hi = operand(c);
      auto isConst = [&](const Value& v, uint32_t bits) {
        if (v.kind != Value::Const) return false;
        for (int i = 0; i < v.n; ++i)
          if (v.bits[i] != bits) return false;
        return true;
      };
      uint32_t r = newTemp();
      define(ins, r);
      if (sc == Scalar::Float && isConst(lo, 0) && isConst(hi, 0x3f800000)) {
        // saturate: also maps NaN to 0
        emitOp(OpMov, {dst(r, n), src(va, n)}, kSaturateBit);
        return;
      }
      uint16_t mx = sc == Scalar::Float ? OpMax : sc == Scalar::Int ? OpImax : OpUmax;
      uint16_t mn = sc == Scalar::Float ? OpMin : sc == Scalar::Int ? OpImin : OpUmin;
      uint32_t t = newTemp();
      emitOp(mx, {dst(t, n), src(va, n), src(lo, n)});
      emitOp(mn, {dst(r, n), src(tempValue(t, n, type), n), src(hi, n)});
      return;
    }
    case spv::GlslFMix: {
      Value x = operand(a), y = operand(b), s = operand(c);
      uint32_t t = newTemp(), r = newTemp();
      define(ins, r);
      emitOp(OpAdd, {dst(t, n), src(y, n), src(x, n, ModNeg)});
      emitOp(OpMad, {dst(r, n), src(s, n), src(tempValue(t, n, type), n), src(x, n)});
      return;
    }
    case spv::GlslStep: {
      Value edge = operand(a), x = operand(b);
      uint32_t t = newTemp(), r = newTemp();
      define(ins, r);
      emitOp(OpGe, {dst(t, n), src(x, n), src(edge, n)});
      emitOp(OpAnd, {dst(r, n), src(tempValue(t, n, type), n), immBits(0x3f800000, n)});
      return;
    }
    case spv::GlslSmoothStep: {
      Value e0 = operand(a), e1 = operand(b), x = operand(c);
      uint32_t d = newTemp(), w = newTemp(), t = newTemp(), u = newTemp(), r = newTemp();
      define(ins, r);
      emitOp(OpAdd, {dst(d, n), src(x, n), src(e0, n, ModNeg)});
      emitOp(OpAdd, {dst(w, n), src(e1, n), src(e0, n, ModNeg)});
      emitOp(OpDiv, {dst(t, n), src(tempValue(d, n, type), n), src(tempValue(w, n, type), n)},
             kSaturateBit);
      Value tv = tempValue(t, n, type);
      emitOp(OpMad, {dst(u, n), src(tv, n), immFloat(-2.0f, n), immFloat(3.0f, n)});
      emitOp(OpMul, {dst(t, n), src(tv, n), src(tv, n)});
      emitOp(OpMul, {dst(r, n), src(tv, n), src(tempValue(u, n, type), n)});
      return;
    }
    case spv::GlslFma: {
      Value x = operand(a), y = operand(b), z = operand(c);
      uint32_t r = newTemp();
      define(ins, r);
      emitOp(OpMad, {dst(r, n), src(x, n), src(y, n), src(z, n)});
      return;
    }
    case spv::GlslLength: case spv::GlslDistance: case spv::GlslNormalize: {
      Value x = operand(a);
      uint8_t m = x.n;
      if (e == spv::GlslDistance) {
        Value y = operand(b);
        uint32_t d = newTemp();
        emitOp(OpAdd, {dst(d, m), src(x, m), src(y, m, ModNeg)});
        x = tempValue(d, m, x.type);
      }
      uint32_t r = newTemp();
      define(ins, r);
      if (m == 1 && e != spv::GlslNormalize) {
        emitOp(OpMov, {dst(r, 1), src(x, 1, ModAbs)});
        return;
      }
      uint32_t t = newTemp();
      uint16_t dp = m == 1 ? OpMul : m == 2 ? OpDp2 : m == 3 ? OpDp3 : OpDp4;
      emitOp(dp, {dst(t, 1), src(x, m), src(x, m)});
      Value tv = tempValue(t, 1, type);
      if (e == spv::GlslNormalize) {
        emitOp(OpRsq, {dst(t, 1), src(tv, 1)});
        emitOp(OpMul, {dst(r, m), src(x, m), src(tv, m)});
      } else {
        emitOp(OpSqrt, {dst(r, 1), src(tv, 1)});
      }
      return;
    }
    case spv::GlslCross: {
      Value x = operand(a), y = operand(b);
      uint32_t t = newTemp(), r = newTemp();
      define(ins, r);
      auto sw = [&](const Value& v, uint8_t p, uint8_t q, uint8_t s) {
        Value w = v;
        if (v.kind == Value::Const) {
          w.bits[0] = v.bits[p]; w.bits[1] = v.bits[q]; w.bits[2] = v.bits[s];
        } else {
          w.swz[0] = v.swz[p]; w.swz[1] = v.swz[q]; w.swz[2] = v.swz[s];
        }
        return w;
      };
      emitOp(OpMul, {dst(t, 3), src(sw(x, 2, 0, 1), 3), src(sw(y, 1, 2, 0), 3)});
      emitOp(OpMad, {dst(r, 3), src(sw(x, 1, 2, 0), 3), src(sw(y, 2, 0, 1), 3),
                     src(tempValue(t, 3, type), 3, ModNeg)});
      return;
    }
    case spv::GlslReflect: {
      Value i = operand(a), nn = operand(b);
      uint8_t m = i.n;
      uint32_t t = newTemp(), r = newTemp();
      define(ins, r);
      emitOp(dotOpcode(m), {dst(t, 1), src(nn, m), src(i, m)});
      Value tv = tempValue(t, 1, type);
      emitOp(OpAdd, {dst(t, 1), src(tv, 1), src(tv, 1)});
      emitOp(OpMad, {dst(r, m), src(tv, m, ModNeg), src(nn, m), src(i, m)});
      return;
    }
    case spv::GlslFSign: {
      Value x = operand(a);
      uint32_t p = newTemp(), q = newTemp(), r = newTemp();
      define(ins, r);
      Value zero = constValue(type, 1, std::array<uint32_t, 1>{0}.data());
      emitOp(OpLt, {dst(p, n), src(zero, n), src(x, n)});
      emitOp(OpLt, {dst(q, n), src(x, n), src(zero, n)});
      emitOp(OpIadd, {dst(p, n), src(tempValue(p, n, type), n, ModNeg),
                      src(tempValue(q, n, type), n)});
      emitOp(OpItof, {dst(r, n), src(tempValue(p, n, type), n)});
      return;
    }
    case spv::GlslRadians: case spv::GlslDegrees: {
      Value x = operand(a);
      uint32_t r = newTemp();
      define(ins, r);
      float k = e == spv::GlslRadians ? 0.017453292f : 57.29578f;
      emitOp(OpMul, {dst(r, n), src(x, n), immFloat(k, n)});
      return;
    }
    default:
      unsupported(ins);
  }
}

// Marks the arithmetic emitted from body_[first] on as precise in every
// component; settlePreciseMasks narrows the mask once the registers are final.
void Translator::markPrecise(size_t first) {
  for (size_t i = first; i < body_.size(); ++i) {
    uint16_t op = body_[i].opcode;
    if (op == OpSample || op == OpSampleL) continue;
    body_[i].controls |= kPreciseMask;
  }
}

void Translator::translateInstruction(const Instruction& ins) {
  uint32_t type = ins.word(1);
  uint8_t n = uint8_t(comps(type));
  switch (ins.opcode) {
    case spv::OpNop: case spv::OpLine: case 317: return;
    case spv::OpUndef: {
      uint32_t zero[4] = {0, 0, 0, 0};
      val(ins.word(2)) = constValue(type, n, zero);
      return;
    }
    case spv::OpVariable: return;  // collected up front
    case spv::OpLoad: translateLoad(ins); return;
    case spv::OpStore: translateStore(ins); return;
    case spv::OpAccessChain: case spv::OpInBoundsAccessChain: {
      Value base = val(ins.word(3));
      if (base.kind != Value::Pointer) {
        unsupported(ins, "access chain on a non-variable");
        return;
      }
      for (uint32_t w = 4; w < ins.count; ++w) base.chain.push_back(ins.word(w));
      base.type = type;
      val(ins.word(2)) = base;
      return;
    }
    case spv::OpSampledImage: {
      Value img = operand(ins.word(3)), smp = operand(ins.word(4));
      if (img.kind != Value::Image || smp.kind != Value::Sampler) {
        unsupported(ins, "sampled image from something other than a texture and a sampler");
        return;
      }
      Value v;
      v.kind = Value::SampledImage;
      v.slot = img.slot;
      v.slot2 = smp.slot;
      val(ins.word(2)) = v;
      return;
    }
    case spv::OpImage: {
      Value si = operand(ins.word(3));
      Value v;
      v.kind = Value::Image;
      v.slot = si.slot;
      val(ins.word(2)) = v;
      return;
    }
    case spv::OpImageSampleImplicitLod: case spv::OpImageSampleExplicitLod:
      translateSample(ins);
      return;
    case spv::OpCompositeConstruct: case spv::OpCompositeExtract: case spv::OpCompositeInsert:
    case spv::OpVectorShuffle: case spv::OpCopyObject:
      translateComposite(ins);
      return;
    case spv::OpExtInst: translateExt(ins); return;
    case spv::OpBitcast: {
      Value v = operand(ins.word(3));
      if (v.kind == Value::Reg && v.mod != ModNone) {
        uint32_t r = newTemp();
        emitOp(OpMov, {dst(r, v.n), src(v, v.n)});
        v = tempValue(r, v.n, type);
      }
      v.type = type;
      val(ins.word(2)) = v;
      return;
    }
    case spv::OpConvertSToF: emitUnary(ins, OpItof, ins.word(3)); return;
    case spv::OpConvertUToF: emitUnary(ins, OpUtof, ins.word(3)); return;
    case spv::OpConvertFToS: emitUnary(ins, OpFtoi, ins.word(3)); return;
    case spv::OpConvertFToU: emitUnary(ins, OpFtou, ins.word(3)); return;
    case spv::OpFNegate: {
      // A negated view of the operand: the sign goes on each reader's operand.
      Value v = operand(ins.word(3));
      if (v.kind == Value::Const) {
        for (uint32_t& b : v.bits) b ^= 0x80000000u;
      } else {
        v.mod = combine(v.mod, ModNeg);
      }
      v.type = type;
      val(ins.word(2)) = v;
      return;
    }
    case spv::OpSNegate: emitUnary(ins, OpIneg, ins.word(3)); return;
    case spv::OpNot: case spv::OpLogicalNot: emitUnary(ins, OpNot, ins.word(3)); return;
    case spv::OpFAdd: emitBinary(ins, OpAdd, ins.word(3), ins.word(4)); return;
    case spv::OpFSub: emitBinary(ins, OpAdd, ins.word(3), ins.word(4), false, ModNeg); return;
    case spv::OpFMul: case spv::OpVectorTimesScalar:
      emitBinary(ins, OpMul, ins.word(3), ins.word(4));
      return;
    case spv::OpFDiv: emitBinary(ins, OpDiv, ins.word(3), ins.word(4)); return;
    case spv::OpIAdd: emitBinary(ins, OpIadd, ins.word(3), ins.word(4)); return;
    case spv::OpISub: emitBinary(ins, OpIadd, ins.word(3), ins.word(4), false, ModNeg); return;
    case spv::OpIMul: {
      Value a = operand(ins.word(3)), b = operand(ins.word(4));
      uint32_t r = newTemp();
      define(ins, r);
      emitOp(OpImul, {nullDst(), dst(r, n), src(a, n), src(b, n)});
      return;
    }
    case spv::OpUDiv: case spv::OpUMod: {
      Value a = operand(ins.word(3)), b = operand(ins.word(4));
      uint32_t r = newTemp();
      define(ins, r);
      if (ins.opcode == spv::OpUDiv) emitOp(OpUdiv, {dst(r, n), nullDst(), src(a, n), src(b, n)});
      else emitOp(OpUdiv, {nullDst(), dst(r, n), src(a, n), src(b, n)});
      return;
    }
    case spv::OpSDiv: case spv::OpSRem: case spv::OpSMod: {
      // Unsigned division of the magnitudes, then the sign: of a ^ b for the
      // quotient, of a for the remainder (truncating division).
      Value a = operand(ins.word(3)), b = operand(ins.word(4));
      uint32_t ma = newTemp(), mb = newTemp(), q = newTemp(), s = newTemp(), r = newTemp();
      define(ins, r);
      emitOp(OpImax, {dst(ma, n), src(a, n), src(a, n, ModNeg)});
      emitOp(OpImax, {dst(mb, n), src(b, n), src(b, n, ModNeg)});
      Value mav = tempValue(ma, n, type), mbv = tempValue(mb, n, type), qv = tempValue(q, n, type);
      if (ins.opcode == spv::OpSDiv) {
        emitOp(OpUdiv, {dst(q, n), nullDst(), src(mav, n), src(mbv, n)});
        emitOp(OpXor, {dst(s, n), src(a, n), src(b, n)});
      } else {
        emitOp(OpUdiv, {nullDst(), dst(q, n), src(mav, n), src(mbv, n)});
        emitOp(OpMov, {dst(s, n), src(a, n)});
      }
      Value sv = tempValue(s, n, type);
      emitOp(OpIlt, {dst(s, n), src(sv, n), immBits(0, n)});
      uint32_t neg = newTemp();
      Value negv = tempValue(neg, n, type);
      emitOp(OpIneg, {dst(neg, n), src(qv, n)});
      if (ins.opcode != spv::OpSMod) {
        emitOp(OpMovc, {dst(r, n), src(sv, n), src(negv, n), src(qv, n)});
        return;
      }
      // Floored modulo: a non-zero remainder whose sign differs from the
      // divisor's moves by one divisor.
      uint32_t t = newTemp(), w = newTemp();
      Value tv = tempValue(t, n, type), wv = tempValue(w, n, type);
      emitOp(OpMovc, {dst(t, n), src(sv, n), src(negv, n), src(qv, n)});
      emitOp(OpXor, {dst(w, n), src(tv, n), src(b, n)});
      emitOp(OpIlt, {dst(w, n), src(wv, n), immBits(0, n)});
      emitOp(OpIne, {dst(s, n), src(tv, n), immBits(0, n)});
      emitOp(OpAnd, {dst(w, n), src(wv, n), src(sv, n)});
      emitOp(OpIadd, {dst(q, n), src(tv, n), src(b, n)});
      emitOp(OpMovc, {dst(r, n), src(wv, n), src(qv, n), src(tv, n)});
      return;
    }
    case spv::OpFMod: case spv::OpFRem: {
      Value a = operand(ins.word(3)), b = operand(ins.word(4));
      uint32_t t = newTemp(), r = newTemp();
      define(ins, r);
      Value tv = tempValue(t, n, type);
      emitOp(OpDiv, {dst(t, n), src(a, n), src(b, n)});
      emitOp(ins.opcode == spv::OpFMod ? OpRoundNi : OpRoundZ, {dst(t, n), src(tv, n)});
      emitOp(OpMad, {dst(r, n), src(tv, n, ModNeg), src(b, n), src(a, n)});
      return;
    }
    case spv::OpShiftLeftLogical: emitBinary(ins, OpIshl, ins.word(3), ins.word(4)); return;
    case spv::OpShiftRightLogical: emitBinary(ins, OpUshr, ins.word(3), ins.word(4)); return;
    case spv::OpShiftRightArithmetic: emitBinary(ins, OpIshr, ins.word(3), ins.word(4)); return;
    case spv::OpBitwiseAnd: case spv::OpLogicalAnd:
      emitBinary(ins, OpAnd, ins.word(3), ins.word(4));
      return;
    case spv::OpBitwiseOr: case spv::OpLogicalOr:
      emitBinary(ins, OpOr, ins.word(3), ins.word(4));
      return;
    case spv::OpBitwiseXor: case spv::OpLogicalNotEqual:
      emitBinary(ins, OpXor, ins.word(3), ins.word(4));
      return;
    case spv::OpLogicalEqual: case spv::OpIEqual: emitBinary(ins, OpIeq, ins.word(3), ins.word(4)); return;
    case spv::OpINotEqual: emitBinary(ins, OpIne, ins.word(3), ins.word(4)); return;
    case spv::OpSLessThan: emitBinary(ins, OpIlt, ins.word(3), ins.word(4)); return;
    case spv::OpSGreaterThanEqual: emitBinary(ins, OpIge, ins.word(3), ins.word(4)); return;
    case spv::OpSGreaterThan: emitBinary(ins, OpIlt, ins.word(3), ins.word(4), true); return;
    case spv::OpSLessThanEqual: emitBinary(ins, OpIge, ins.word(3), ins.word(4), true); return;
    case spv::OpULessThan: emitBinary(ins, OpUlt, ins.word(3), ins.word(4)); return;
    case spv::OpUGreaterThanEqual: emitBinary(ins, OpUge, ins.word(3), ins.word(4)); return;
    case spv::OpUGreaterThan: emitBinary(ins, OpUlt, ins.word(3), ins.word(4), true); return;
    case spv::OpULessThanEqual: emitBinary(ins, OpUge, ins.word(3), ins.word(4), true); return;
    case spv::OpFOrdEqual: case spv::OpFUnordEqual:
      emitBinary(ins, OpEq, ins.word(3), ins.word(4));
      return;
    case spv::OpFOrdNotEqual: case spv::OpFUnordNotEqual:
      emitBinary(ins, OpNe, ins.word(3), ins.word(4));
      return;
    case spv::OpFOrdLessThan: case spv::OpFUnordLessThan:
      emitBinary(ins, OpLt, ins.word(3), ins.word(4));
      return;
    case spv::OpFOrdGreaterThanEqual: case spv::OpFUnordGreaterThanEqual:
      emitBinary(ins, OpGe, ins.word(3), ins.word(4));
      return;
    case spv::OpFOrdGreaterThan: case spv::OpFUnordGreaterThan:
      emitBinary(ins, OpLt, ins.word(3), ins.word(4), true);
      return;
    case spv::OpFOrdLessThanEqual: case spv::OpFUnordLessThanEqual:
      emitBinary(ins, OpGe, ins.word(3), ins.word(4), true);
      return;
    case spv::OpIsNan: {
      Value a = operand(ins.word(3));
      uint32_t r = newTemp();
      define(ins, r);
      emitOp(OpNe, {dst(r, n), src(a, n), src(a, n)});
      return;
    }
    case spv::OpIsInf: {
      Value a = operand(ins.word(3));
      uint32_t r = newTemp();
      define(ins, r);
      emitOp(OpEq, {dst(r, n), src(a, n, ModAbs), immBits(0x7f800000, n)});
      return;
    }
    case spv::OpAny: case spv::OpAll: {
      Value a = operand(ins.word(3));
      uint32_t r = newTemp();
      define(ins, r);
      uint16_t op = ins.opcode == spv::OpAny ? OpOr : OpAnd;
      if (a.n == 1) {
        emitOp(OpMov, {dst(r, 1), src(a, 1)});
        return;
      }
      emitOp(op, {dst(r, 1), srcComp(a, 0, 1), srcComp(a, 1, 1)});
      for (uint8_t c = 2; c < a.n; ++c)
        emitOp(op, {dst(r, 1), src(tempValue(r, 1, type), 1), srcComp(a, c, 1)});
      return;
    }
    case spv::OpSelect: {
      Value cond = operand(ins.word(3)), x = operand(ins.word(4)), y = operand(ins.word(5));
      if (cond.kind == Value::Const) {
        val(ins.word(2)) = cond.bits[0] ? x : y;
        return;
      }
      // movc copies bits: a negated or absolute view is computed first.
      for (Value* v : {&x, &y}) {
        if (v->kind == Value::Reg && v->mod != ModNone) {
          uint32_t t = newTemp();
          emitOp(OpMov, {dst(t, n), src(*v, n)});
          *v = tempValue(t, n, v->type);
        }
      }
      uint32_t r = newTemp();
      define(ins, r);
      emitOp(OpMovc, {dst(r, n), src(cond, n), src(x, n), src(y, n)});
      return;
    }
    case spv::OpDot: {
      Value a = operand(ins.word(3)), b = operand(ins.word(4));
      uint8_t m = a.n;
      uint32_t r = newTemp();
      define(ins, r);
      emitOp(dotOpcode(m), {dst(r, 1), src(a, m), src(b, m)});
      return;
    }
    case spv::OpVectorTimesMatrix: case spv::OpMatrixTimesVector: {
      bool vm = ins.opcode == spv::OpVectorTimesMatrix;
      Value mat = operand(ins.word(vm ? 4 : 3)), v = operand(ins.word(vm ? 3 : 4));
      if (mat.kind != Value::Composite) {
        unsupported(ins, "only constant matrices");
        return;
      }
      uint32_t r = newTemp();
      define(ins, r);
      uint32_t cols = uint32_t(mat.parts.size());
      if (cols < 2 || cols > 4 || (vm && cols != n) || (!vm && cols != v.n)) {
        fail("malformed matrix product");
        return;
      }
      if (vm) {
        // result[i] = dot(v, column i)
        uint8_t m = v.n;
        uint16_t op = m == 2 ? OpDp2 : m == 3 ? OpDp3 : OpDp4;
        for (uint32_t i = 0; i < cols; ++i) {
          Operand d = tempDst(r, uint8_t(1u << i));
          Operand s1 = src(v, m), s2 = src(operand(mat.parts[i]), m);
          emitOp(op, {d, s1, s2});
        }
      } else {
        // result = sum over i of column i * v[i]
        Value acc = tempValue(r, n, type);
        for (uint32_t i = 0; i < cols; ++i) {
          Value col = operand(mat.parts[i]);
          if (i == 0) emitOp(OpMul, {dst(r, n), src(col, n), srcComp(v, uint8_t(i), n)});
          else emitOp(OpMad, {dst(r, n), src(col, n), srcComp(v, uint8_t(i), n), src(acc, n)});
        }
      }
      return;
    }
    case spv::OpDPdx: emitUnary(ins, OpDerivRtx, ins.word(3)); return;
    case spv::OpDPdy: emitUnary(ins, OpDerivRty, ins.word(3)); return;
    case spv::OpDPdxCoarse: emitUnary(ins, OpDerivRtxCoarse, ins.word(3)); return;
    case spv::OpDPdyCoarse: emitUnary(ins, OpDerivRtyCoarse, ins.word(3)); return;
    case spv::OpDPdxFine: emitUnary(ins, OpDerivRtxFine, ins.word(3)); return;
    case spv::OpDPdyFine: emitUnary(ins, OpDerivRtyFine, ins.word(3)); return;
    case spv::OpFwidth: case spv::OpFwidthCoarse: case spv::OpFwidthFine: {
      Value a = operand(ins.word(3));
      uint32_t x = newTemp(), y = newTemp(), r = newTemp();
      define(ins, r);
      bool coarse = ins.opcode == spv::OpFwidthCoarse;
      bool fine = ins.opcode == spv::OpFwidthFine;
      emitOp(coarse ? OpDerivRtxCoarse : fine ? OpDerivRtxFine : OpDerivRtx, {dst(x, n), src(a, n)});
      emitOp(coarse ? OpDerivRtyCoarse : fine ? OpDerivRtyFine : OpDerivRty, {dst(y, n), src(a, n)});
      emitOp(OpAdd, {dst(r, n), src(tempValue(x, n, type), n, ModAbs),
                     src(tempValue(y, n, type), n, ModAbs)});
      return;
    }
    default:
      unsupported(ins);
  }
}

}  // namespace translate
}  // namespace dxbc
